// The file rules (files/FileAccess.h): the refusals worded once, then what a path leads
// to, whose a file is, inputs, outputs and folders; POSIX calls where the platform has
// them, the same rules through Qt where it has not.

#include "files/FileAccess.h"

#include <QByteArrayList>
#include <QDir>
#include <QHashFunctions>
#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#else
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <filesystem>
#include <system_error>
#endif

namespace dnp {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr qint64 kReadChunk = 64 * 1024;

// --- the refusals, each worded once ---

// An input that cannot be opened (the reason given), or is no file to read.
Error unopenable(const QString& message)
{
    return Error{message, Unopened{}};
}

QString notRegularFile(const QString& path)
{
    return QStringLiteral("%1 is not a regular file").arg(path);
}

Error tooLarge(const QString& path, const QString& what, qint64 maxBytes)
{
    return failure(QStringLiteral("%1 is too large for %2 (more than %3 bytes)").arg(path, what).arg(maxBytes));
}

Error cannotWrite(const QString& path, const QString& reason)
{
    return failure(QStringLiteral("Cannot write %1: %2").arg(path, reason));
}

Error readOnly(const QString& path)
{
    return failure(QStringLiteral("%1 is read-only").arg(path));
}

Error sameFile(const QString& output)
{
    return failure(QStringLiteral("%1 is the configuration being read; choose another file.").arg(output));
}

Error cannotCreateFolder(const QString& folder, const QString& reason)
{
    return failure(QStringLiteral("Cannot create the folder %1: %2").arg(folder, reason));
}

Error cannotMake(const QString& path, const QString& why)
{
    return failure(QStringLiteral("%1 cannot be made: %2").arg(path, why));
}

Error noFolder(const QString& path, const QString& folder)
{
    return cannotMake(path, QStringLiteral("its folder %1 does not exist").arg(folder));
}

// --- names ---

// A valid UTF-8 sequence: its length and the character it encodes.
struct Utf8Sequence {
    int length = 0;
    char32_t value = 0;
};

// The valid UTF-8 sequence at `at`; length 0 where there is none.
Utf8Sequence utf8SequenceAt(QByteArrayView bytes, qsizetype at)
{
    const auto b = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = b(at);
    Utf8Sequence sequence;
    if (lead < 0x80)
        return {1, lead};
    if (lead >= 0xC2 && lead <= 0xDF)
        sequence = {2, static_cast<char32_t>(lead & 0x1F)};
    else if (lead >= 0xE0 && lead <= 0xEF)
        sequence = {3, static_cast<char32_t>(lead & 0x0F)};
    else if (lead >= 0xF0 && lead <= 0xF4)
        sequence = {4, static_cast<char32_t>(lead & 0x07)};
    else
        return {};
    if (at + sequence.length > bytes.size())
        return {};
    for (int k = 1; k < sequence.length; ++k) {
        if ((b(at + k) & 0xC0) != 0x80)
            return {};
        sequence.value = sequence.value << 6 | (b(at + k) & 0x3F);
    }
    const char32_t lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    const char32_t value = sequence.value;
    if (value < lowest[sequence.length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return {};
    return sequence;
}

#ifdef Q_OS_UNIX

// The kernel follows at most 40 symbolic links in a path; so does the writer.
constexpr int kMaxLinkHops = 40;
// The temporary file's name: short, so that it fits wherever the target's name fits.
constexpr char kTemporaryName[] = ".dnp-XXXXXX";
constexpr mode_t kNewFileBits = 0666;
constexpr mode_t kNewFolderBits = 0777;
constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr mode_t kSetIdBits = S_ISUID | S_ISGID;
constexpr mode_t kOwnerOnlyFolderBits = 0700;
constexpr mode_t kOwnerOnlyFileBits = 0600;

Error cannotWrite(const QString& path, int error)
{
    return cannotWrite(path, systemReason(error));
}

Error cannotOpen(const QString& path, int error)
{
    return unopenable(QStringLiteral("%1: %2").arg(path, systemReason(error)));
}

Error otherOwner(const QString& path)
{
    return failure(QStringLiteral("%1 belongs to another user; it was not replaced.").arg(path));
}

Error otherHardLinks(const QString& path)
{
    return failure(QStringLiteral("%1 has other hard links; it was not replaced.").arg(path));
}

// --- where a path leads ---

// Whether a folder is shared: anyone may write it, and the sticky bit keeps each user's
// entries their own (/tmp).
bool isSharedFolder(const struct stat& folder)
{
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

QByteArray folderOf(const QByteArray& name)
{
    const qsizetype slash = name.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : name.left(slash);
}

// A user by their login name, else by number.
QString userName(uid_t user)
{
    if (const passwd* entry = ::getpwuid(user))
        return QString::fromLocal8Bit(entry->pw_name);
    return QString::number(user);
}

// In a shared folder, what another user left (a link or a file that is neither the
// user's own nor the folder owner's) is theirs to choose: it is refused, naming them.
Result<void> refuseOthersInSharedFolder(const QByteArray& name, const struct stat& entry)
{
    struct stat folder {};
    if (::stat(folderOf(name).constData(), &folder) != 0 || !isSharedFolder(folder) || entry.st_uid == ::geteuid() ||
        entry.st_uid == folder.st_uid)
        return {};
    const QString message = S_ISLNK(entry.st_mode)
                                ? QStringLiteral("%1 is a link owned by another user (%2) in a shared folder; it was "
                                                 "not followed.")
                                : QStringLiteral("%1 belongs to another user (%2) in a shared folder; it was left as it is.");
    return failure(message.arg(decodeFileName(name), userName(entry.st_uid)));
}

// The file a name leads to once its symbolic links are followed, and what lies there
// (nothing when no file does yet).
struct Followed {
    QByteArray name;
    std::optional<struct stat> file;
};

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
        // A link another user put in a shared folder leads where they chose: it is
        // followed only when it is the user's own or the folder owner's, as the system
        // follows links.
        if (const Result<void> own = refuseOthersInSharedFolder(name, st); !own)
            return own.error();
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

// --- who a file belongs to ---

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

// The owner and group a new file or folder is given, made by the superuser in `folder`;
// nothing where it keeps its maker's.
std::optional<std::pair<uid_t, gid_t>> newOwner(const struct stat& folder, NewFileOwner owner)
{
    if (owner != NewFileOwner::FolderOwner || ::geteuid() != 0)
        return std::nullopt;
    return std::make_pair(folder.st_uid, folder.st_gid);
}

// The same for a file made in the folder of `name`.
std::optional<std::pair<uid_t, gid_t>> newOwnerIn(const QByteArray& name, NewFileOwner owner)
{
    struct stat folder {};
    return ::stat(folderOf(name).constData(), &folder) == 0 ? newOwner(folder, owner) : std::nullopt;
}

mode_t newFileBits()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return kNewFileBits & ~mask;
}

// --- inputs ---

// An input opened for reading, refused unless it is a regular file.
struct Input {
    int fd = -1;
    qint64 size = 0;
    ~Input()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

Result<std::shared_ptr<Input>> openInput(const QString& path)
{
    const QByteArray name = encodeFileName(path);
    auto input = std::make_shared<Input>();
    // Non-blocking, so that opening a FIFO without a writer does not wait.
    input->fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (input->fd < 0) {
        // A device on a file system that forbids opening devices is no file to read either.
        const int error = errno;
        struct stat st {};
        if (error == ENXIO || (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)))
            return unopenable(notRegularFile(path));
        return cannotOpen(path, error);
    }
    struct stat st {};
    if (::fstat(input->fd, &st) != 0)
        return cannotOpen(path, errno);
    if (!S_ISREG(st.st_mode))
        return unopenable(notRegularFile(path));
    input->size = st.st_size;
    return input;
}

Result<QByteArray> readFrom(const QString& path, Input& input, qint64 maxBytes, bool (*enough)(QByteArrayView))
{
    QByteArray bytes;
    char buffer[kReadChunk];
    while (bytes.size() < maxBytes && !(enough && enough(bytes))) {
        const ssize_t n = ::read(input.fd, buffer, static_cast<size_t>(std::min<qint64>(kReadChunk, maxBytes - bytes.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failure(QStringLiteral("%1: %2").arg(path, systemReason(errno)));
        if (n == 0)
            break;
        bytes.append(buffer, n);
    }
    return bytes;
}

// --- outputs ---

// Where the bytes go and what the written file keeps, once every refusal was checked.
struct Target {
    QByteArray name;
    QByteArray folder;
    std::optional<struct stat> replaced;
    mode_t bits = 0;
    struct stat folderStat {};
};

Result<Target> inspectTarget(const QString& path)
{
    const Result<Followed> followed = followLinks(path);
    if (!followed)
        return followed.error();
    Target target{followed->name, folderOf(followed->name), followed->file, newFileBits()};
    if (const std::optional<struct stat>& file = target.replaced) {
        if (!S_ISREG(file->st_mode))
            return failure(notRegularFile(path));
        if (const Result<void> own = refuseOthersInSharedFolder(target.name, *file); !own)
            return own.error();
        if ((file->st_mode & kAnyWriteBit) == 0)
            return readOnly(path);
        if (::faccessat(AT_FDCWD, target.name.constData(), W_OK, AT_EACCESS) != 0) {
            if (errno != EACCES)
                return cannotWrite(path, errno);
            // Not read-only to its owner: the file is another user's.
            const bool othersFile = file->st_uid != ::geteuid() && (file->st_mode & S_IWUSR) != 0;
            return othersFile ? otherOwner(path) : readOnly(path);
        }
        if (file->st_nlink > 1)
            return otherHardLinks(path);
        if (!canKeepOwner(*file))
            return otherOwner(path);
        target.bits = file->st_mode & kPermissionBits & ~kSetIdBits;
    }
    if (::stat(target.folder.constData(), &target.folderStat) != 0)
        return cannotWrite(path, errno);
    if (!S_ISDIR(target.folderStat.st_mode))
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

// The temporary file made whole: the replaced file's owner and group (a new file's as
// `owner` says), the bytes, the permission bits, on the disk.
Result<void> fillTemporary(int fd, const Target& target, const QString& path, const QByteArray& bytes,
                           NewFileOwner owner)
{
    const std::optional<std::pair<uid_t, gid_t>> given =
        target.replaced ? std::make_optional(std::make_pair(target.replaced->st_uid, target.replaced->st_gid))
                        : newOwner(target.folderStat, owner);
    if (given) {
        struct stat made {};
        if (::fstat(fd, &made) != 0)
            return cannotWrite(path, errno);
        const bool sameOwner = made.st_uid == given->first && made.st_gid == given->second;
        if (!sameOwner && ::fchown(fd, given->first, given->second) != 0)
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

// --- folders ---

// The folder `step` below the open folder `at`, made when missing and then given away as
// `owner` says; each is taken from the folder above it, so that the folder given away
// is the one made, whatever is renamed meanwhile. -1 with errno when it fails.
int openOrMakeFolder(int at, const char* step, NewFileOwner owner, NewFolderBits bits)
{
    const int found = ::openat(at, step, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (found >= 0 || errno != ENOENT)
        return found;
    const bool ownerOnly = bits == NewFolderBits::OwnerOnly;
    if (::mkdirat(at, step, ownerOnly ? kOwnerOnlyFolderBits : kNewFolderBits) != 0) {
        if (errno != EEXIST)
            return -1;
        return ::openat(at, step, O_RDONLY | O_DIRECTORY | O_CLOEXEC);  // made meanwhile by another
    }
    const int made = ::openat(at, step, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat above {};
    if (made < 0 || ::fstat(at, &above) != 0)
        return made;
    const auto given = newOwner(above, owner);
    if ((ownerOnly && ::fchmod(made, kOwnerOnlyFolderBits) != 0) ||
        (given && ::fchown(made, given->first, given->second) != 0)) {
        const int error = errno;
        ::close(made);
        errno = error;
        return -1;
    }
    return made;
}

#endif

}  // namespace

// --- names ---

QString decodeFileName(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    for (qsizetype at = 0; at < bytes.size();) {
        const Utf8Sequence sequence = utf8SequenceAt(bytes, at);
        if (sequence.length == 0) {
            name += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        // U+FEFF too is a character of a name.
        if (QChar::requiresSurrogates(sequence.value)) {
            name += QChar(QChar::highSurrogate(sequence.value));
            name += QChar(QChar::lowSurrogate(sequence.value));
        } else {
            name += QChar(static_cast<char16_t>(sequence.value));
        }
        at += sequence.length;
    }
    return name;
}

QByteArray encodeFileName(const QString& name)
{
    QByteArray bytes;
    bytes.reserve(name.size());
    qsizetype start = 0;
    const auto flush = [&](qsizetype end) {
        if (end > start)
            bytes += QStringView(name).sliced(start, end - start).toUtf8();
    };
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        const bool escaped = c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF &&
                             !(i > 0 && name[i - 1].isHighSurrogate());
        if (!escaped)
            continue;
        flush(i);
        bytes += static_cast<char>(c - kEscapeBase);
        start = i + 1;
    }
    flush(name.size());
    return bytes;
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Result<QString> userFolder(const char* variable, const QString& underHome)
{
    const QString named = decodeFileName(qgetenv(variable));
    if (QDir::isAbsolutePath(named))
        return QDir::cleanPath(named);
    const QString home = decodeFileName(qgetenv("HOME"));
    if (!QDir::isAbsolutePath(home))
        return failure(QStringLiteral("neither %1 nor HOME names one").arg(QLatin1String(variable)));
    return QDir::cleanPath(home + QLatin1Char('/') + underHome);
}

#ifdef Q_OS_UNIX

// --- inputs ---

Result<QByteArray> readInputFile(const QString& path, qint64 maxBytes, const QString& what)
{
    Result<std::shared_ptr<Input>> input = openInput(path);
    if (!input)
        return input.error();
    if ((*input)->size > maxBytes)
        return tooLarge(path, what, maxBytes);
    // A file that grew since it was looked at is still read no further than the bound.
    Result<QByteArray> bytes = readFrom(path, **input, maxBytes + 1, nullptr);
    if (bytes && bytes->size() > maxBytes)
        return tooLarge(path, what, maxBytes);
    return bytes;
}

Result<QByteArray> readInputStart(const QString& path, qint64 maxBytes, bool (*enough)(QByteArrayView))
{
    Result<std::shared_ptr<Input>> input = openInput(path);
    if (!input)
        return input.error();
    return readFrom(path, **input, maxBytes, enough);
}

// --- outputs ---

Result<void> writeFileSafely(const QString& path, const QByteArray& bytes, NewFileOwner owner)
{
    const Result<Target> target = inspectTarget(path);
    if (!target)
        return target.error();
    QByteArray temporary = target->folder + '/' + kTemporaryName;
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return cannotWrite(path, errno);
    Result<void> written = fillTemporary(fd, *target, path, bytes, owner);
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

Result<FileIdentity> fileIdentity(const QString& path)
{
    const Result<Followed> followed = followLinks(path);
    if (!followed)
        return followed.error();
    if (const std::optional<struct stat>& file = followed->file)
        return FileIdentity{static_cast<std::uint64_t>(file->st_dev), static_cast<std::uint64_t>(file->st_ino), true, {}};
    struct stat folder {};
    if (::stat(folderOf(followed->name).constData(), &folder) != 0)
        return cannotWrite(path, errno);
    return FileIdentity{static_cast<std::uint64_t>(folder.st_dev), static_cast<std::uint64_t>(folder.st_ino), false,
                        followed->name.mid(followed->name.lastIndexOf('/') + 1)};
}

// --- the user's own files ---

Result<void> makeFolders(const QString& folder, NewFileOwner owner, NewFolderBits bits)
{
    const QByteArray name = encodeFileName(folder);
    int at = ::open(name.startsWith('/') ? "/" : ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (at < 0)
        return cannotCreateFolder(folder, systemReason(errno));
    for (const QByteArray& step : name.split('/')) {
        if (step.isEmpty() || step == ".")
            continue;
        const int next = openOrMakeFolder(at, step.constData(), owner, bits);
        const int error = errno;
        ::close(at);
        if (next < 0)
            return cannotCreateFolder(folder, systemReason(error));
        at = next;
    }
    ::close(at);
    return {};
}

Result<void> makeKeptFile(const QString& path, NewFileOwner owner, MissingFolders folders)
{
    const QByteArray folder = folderOf(encodeFileName(path));
    if (folders == MissingFolders::Made) {
        if (const Result<void> made = makeFolders(decodeFileName(folder), owner, NewFolderBits::OwnerOnly); !made)
            return made;
    }
    struct stat folderStat {};
    if (::stat(folder.constData(), &folderStat) != 0 || !S_ISDIR(folderStat.st_mode))
        return noFolder(path, decodeFileName(folder));
    const Result<Followed> followed = followLinks(path);
    if (!followed)
        return followed.error();
    if (const std::optional<struct stat>& file = followed->file) {
        if (!S_ISREG(file->st_mode))
            return failure(notRegularFile(path));
        return refuseOthersInSharedFolder(followed->name, *file);
    }
    const int fd = ::open(followed->name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          kOwnerOnlyFileBits);
    if (fd < 0 && errno == EEXIST)  // made meanwhile by another program: taken as it is found
        return makeKeptFile(path, owner, MissingFolders::Refused);
    if (fd < 0)
        return cannotMake(path, systemReason(errno));
    const auto given = newOwnerIn(followed->name, owner);
    const bool made = ::fchmod(fd, kOwnerOnlyFileBits) == 0 && (!given || ::fchown(fd, given->first, given->second) == 0);
    const int error = errno;
    ::close(fd);
    if (!made) {
        ::unlink(followed->name.constData());
        return cannotMake(path, systemReason(error));
    }
    return {};
}

struct FileLock::Held {
    int fd = -1;
    ~Held() { ::close(fd); }
};

Result<FileLock> FileLock::take(const QString& path, NewFileOwner owner)
{
    const Result<Followed> followed = followLinks(path);
    if (!followed)
        return followed.error();
    const QByteArray name = followed->name + ".lock";
    const auto cannotLock = [&name](int error) {
        return failure(QStringLiteral("Cannot lock %1: %2").arg(decodeFileName(name), systemReason(error)));
    };
    constexpr int kOpen = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    auto held = std::make_unique<Held>();
    held->fd = ::open(name.constData(), kOpen | O_CREAT | O_EXCL, kNewFileBits);
    if (held->fd >= 0) {
        const auto given = newOwnerIn(name, owner);
        if (given && ::fchown(held->fd, given->first, given->second) != 0)
            return cannotLock(errno);
    } else if (errno == EEXIST) {
        held->fd = ::open(name.constData(), kOpen);
    }
    if (held->fd < 0)
        return cannotLock(errno);
    while (::flock(held->fd, LOCK_EX) != 0)
        if (errno != EINTR)
            return cannotLock(errno);
    return FileLock(std::move(held));
}

#else  // the same rules through Qt where the platform has no POSIX calls

Result<QByteArray> readInputStart(const QString& path, qint64 maxBytes, bool (*enough)(QByteArrayView))
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return unopenable(notRegularFile(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unopenable(QStringLiteral("%1: %2").arg(path, file.errorString()));
    QByteArray bytes;
    while (bytes.size() < maxBytes && !(enough && enough(bytes))) {
        const QByteArray chunk = file.read(std::min<qint64>(kReadChunk, maxBytes - bytes.size()));
        if (chunk.isEmpty())
            break;
        bytes += chunk;
    }
    return bytes;
}

Result<QByteArray> readInputFile(const QString& path, qint64 maxBytes, const QString& what)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return unopenable(notRegularFile(path));
    if (info.size() > maxBytes)
        return tooLarge(path, what, maxBytes);
    Result<QByteArray> bytes = readInputStart(path, maxBytes + 1, nullptr);
    if (bytes && bytes->size() > maxBytes)
        return tooLarge(path, what, maxBytes);
    return bytes;
}

Result<void> checkWritable(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return failure(notRegularFile(path));
    if (info.exists() && !info.isWritable())
        return readOnly(path);
    if (!info.absoluteDir().exists())
        return cannotWrite(path, QStringLiteral("No such file or directory"));
    return {};
}

Result<void> writeFileSafely(const QString& path, const QByteArray& bytes, NewFileOwner)
{
    if (const Result<void> writable = checkWritable(path); !writable)
        return writable;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(path, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return cannotWrite(path, error);
    }
    if (!file.commit())
        return cannotWrite(path, file.errorString());
    return {};
}

Result<FileIdentity> fileIdentity(const QString& path)
{
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return FileIdentity{0, 0, !canonical.isEmpty(),
                        (canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical).toUtf8()};
}

Result<void> makeFolders(const QString& folder, NewFileOwner, NewFolderBits)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(folder.toStdU16String()), error);
    if (error)
        return cannotCreateFolder(folder, QString::fromLocal8Bit(error.message()));
    return {};
}

Result<void> makeKeptFile(const QString& path, NewFileOwner owner, MissingFolders folders)
{
    const QFileInfo info(path);
    if (folders == MissingFolders::Made) {
        if (const Result<void> made = makeFolders(info.absolutePath(), owner); !made)
            return made;
    } else if (!info.absoluteDir().exists()) {
        return noFolder(path, info.absolutePath());
    }
    if (info.exists())
        return info.isFile() ? Result<void>() : failure(notRegularFile(path));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return cannotMake(path, file.errorString());
    return {};
}

struct FileLock::Held {
    explicit Held(const QString& name) : file(name) {}
    QLockFile file;
};

Result<FileLock> FileLock::take(const QString& path, NewFileOwner)
{
    auto held = std::make_unique<Held>(path + QStringLiteral(".lock"));
    held->file.setStaleLockTime(0);
    if (!held->file.lock())
        return failure(QStringLiteral("Cannot lock %1.lock").arg(path));
    return FileLock(std::move(held));
}

#endif

Result<void> refuseSameFile(const QString& output, const QString& input)
{
    const Result<FileIdentity> out = fileIdentity(output);
    const Result<FileIdentity> in = fileIdentity(input);
    if (out && in && out->exists && *out == *in)
        return sameFile(output);
    return {};
}

std::size_t qHash(const FileIdentity& identity, std::size_t seed)
{
    return qHashMulti(seed, identity.device, identity.inode, identity.exists, identity.name);
}

FileLock::FileLock(std::unique_ptr<Held> held) : held_(std::move(held)) {}
FileLock::FileLock(FileLock&&) noexcept = default;
FileLock& FileLock::operator=(FileLock&&) noexcept = default;
FileLock::~FileLock() = default;

}  // namespace dnp
