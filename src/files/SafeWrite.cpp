#include "files/SafeWrite.h"

#include "files/FileAccess.h"

#ifdef Q_OS_UNIX
#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#else
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#endif

namespace dnp {
namespace {

Error readOnly(const QString& path)
{
    return failure(QStringLiteral("%1 is read-only").arg(path));
}

Error sameFile(const QString& output)
{
    return failure(QStringLiteral("%1 is the configuration being read; choose another file.").arg(output));
}

#ifdef Q_OS_UNIX

Error otherHardLinks(const QString& path)
{
    return failure(QStringLiteral("%1 has other hard links; it was not replaced.").arg(path));
}

Error otherOwner(const QString& path)
{
    return failure(QStringLiteral("%1 belongs to another user; it was not replaced.").arg(path));
}

// The kernel follows at most 40 symbolic links in a path; so does the writer.
constexpr int kMaxLinkHops = 40;
// The temporary file's name: short, so that it fits wherever the target's name fits.
constexpr char kTemporaryName[] = ".dnp-XXXXXX";
constexpr mode_t kNewFileBits = 0666;
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kSetIdBits = S_ISUID | S_ISGID;

Error cannotWrite(const QString& path, int error)
{
    return failure(QStringLiteral("Cannot write %1: %2").arg(path, systemReason(error)));
}

// The file a name leads to once its symbolic links are followed, and what lies there
// (nothing when no file does yet).
struct Followed {
    QByteArray name;
    std::optional<struct stat> file;
};

QByteArray folderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : name.left(slash);
}

Result<Followed> followLinks(const QString& path)
{
    QByteArray name = encodeFileName(path);
    for (int hops = 0; hops <= kMaxLinkHops; ++hops) {
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0) {
            if (errno == ENOENT)
                return Followed{name, std::nullopt};
            return cannotWrite(path, errno);
        }
        if (!S_ISLNK(st.st_mode))
            return Followed{name, st};
        char target[PATH_MAX];
        const ssize_t n = ::readlink(name.constData(), target, sizeof target);
        if (n < 0)
            return cannotWrite(path, errno);
        if (static_cast<std::size_t>(n) == sizeof target)
            return cannotWrite(path, ENAMETOOLONG);
        QByteArray next(target, n);
        name = next.startsWith('/') ? next : folderOf(name) + '/' + next;
    }
    return cannotWrite(path, ELOOP);
}

bool inOwnGroups(gid_t group)
{
    if (group == ::getegid())
        return true;
    const int count = ::getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, group) != groups.begin() + got;
}

// Whether a file made now could be given this file's owner and group: the superuser
// gives a file to anyone, a user keeps their own files in one of their groups.
bool canKeepOwner(const struct stat& file)
{
    return ::geteuid() == 0 || (file.st_uid == ::geteuid() && inOwnGroups(file.st_gid));
}

mode_t newFileBits()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return kNewFileBits & ~mask;
}

// Where the bytes go and what the written file keeps, once every refusal was checked.
struct Target {
    QByteArray name;
    QByteArray folder;
    std::optional<struct stat> replaced;
    mode_t bits = 0;
};

Result<Target> inspectTarget(const QString& path)
{
    const Result<Followed> followed = followLinks(path);
    if (!followed)
        return followed.error();
    Target target{followed->name, folderOf(followed->name), followed->file, newFileBits()};
    if (const std::optional<struct stat>& file = target.replaced) {
        if (!S_ISREG(file->st_mode))
            return failure(notRegularFileMessage(path));
        if ((file->st_mode & kAnyWriteBit) == 0)
            return readOnly(path);
        if (::faccessat(AT_FDCWD, target.name.constData(), W_OK, AT_EACCESS) != 0)
            return errno == EACCES ? readOnly(path) : cannotWrite(path, errno);
        if (file->st_nlink > 1)
            return otherHardLinks(path);
        if (!canKeepOwner(*file))
            return otherOwner(path);
        target.bits = file->st_mode & kPermissionBits & ~kSetIdBits;
    }
    struct stat folder {};
    if (::stat(target.folder.constData(), &folder) != 0)
        return cannotWrite(path, errno);
    if (!S_ISDIR(folder.st_mode))
        return cannotWrite(path, ENOTDIR);
    if (::faccessat(AT_FDCWD, target.folder.constData(), W_OK | X_OK, AT_EACCESS) != 0)
        return cannotWrite(path, errno);
    return target;
}

// 0, or the errno of the write that failed.
int writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<std::size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        done += n;
    }
    return 0;
}

// The temporary file made whole: the replaced file's owner and group, the bytes, the
// permission bits, on the disk.
Result<void> fillTemporary(int fd, const Target& target, const QString& path, const QByteArray& bytes)
{
    if (const std::optional<struct stat>& replaced = target.replaced) {
        struct stat made {};
        if (::fstat(fd, &made) != 0)
            return cannotWrite(path, errno);
        const bool sameOwner = made.st_uid == replaced->st_uid && made.st_gid == replaced->st_gid;
        if (!sameOwner && ::fchown(fd, replaced->st_uid, replaced->st_gid) != 0)
            return errno == EPERM ? otherOwner(path) : cannotWrite(path, errno);
    }
    if (const int error = writeAll(fd, bytes))
        return cannotWrite(path, error);
    if (::fchmod(fd, target.bits) != 0 || ::fsync(fd) != 0)
        return cannotWrite(path, errno);
    return {};
}

// The rename made lasting; the file is replaced whether this succeeds or not.
void syncFolder(const QByteArray& folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

#endif

}  // namespace

#ifdef Q_OS_UNIX

Result<void> writeFileSafely(const QString& path, const QByteArray& bytes)
{
    const Result<Target> target = inspectTarget(path);
    if (!target)
        return target.error();
    QByteArray temporary = target->folder + '/' + kTemporaryName;
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return cannotWrite(path, errno);
    Result<void> written = fillTemporary(fd, *target, path, bytes);
    if (::close(fd) != 0 && written)
        written = cannotWrite(path, errno);
    if (written && ::rename(temporary.constData(), target->name.constData()) != 0)
        written = cannotWrite(path, errno);
    if (!written) {
        ::unlink(temporary.constData());
        return written;
    }
    syncFolder(target->folder);
    return {};
}

Result<void> checkWritable(const QString& path)
{
    const Result<Target> target = inspectTarget(path);
    if (!target)
        return target.error();
    return {};
}

Result<void> refuseSameFile(const QString& output, const QString& input)
{
    struct stat out {};
    struct stat in {};
    if (::stat(encodeFileName(output).constData(), &out) != 0 || ::stat(encodeFileName(input).constData(), &in) != 0)
        return {};
    if (out.st_dev == in.st_dev && out.st_ino == in.st_ino)
        return sameFile(output);
    return {};
}

#else  // the same rules through Qt where the platform has no POSIX calls

Result<void> checkWritable(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return failure(notRegularFileMessage(path));
    if (info.exists() && !info.isWritable())
        return readOnly(path);
    if (!info.absoluteDir().exists())
        return failure(QStringLiteral("Cannot write %1: No such file or directory").arg(path));
    return {};
}

Result<void> writeFileSafely(const QString& path, const QByteArray& bytes)
{
    if (const Result<void> writable = checkWritable(path); !writable)
        return writable;
    QSaveFile file(path);
    const auto cannotWrite = [&path](const QString& reason) {
        return failure(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    };
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return cannotWrite(error);
    }
    if (!file.commit())
        return cannotWrite(file.errorString());
    return {};
}

Result<void> refuseSameFile(const QString& output, const QString& input)
{
    const QString out = QFileInfo(output).canonicalFilePath();
    if (!out.isEmpty() && out == QFileInfo(input).canonicalFilePath())
        return sameFile(output);
    return {};
}

#endif

}  // namespace dnp
