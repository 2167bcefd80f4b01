#include "files/FileAccess.h"

#include <QFile>
#include <algorithm>
#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFileInfo>
#include <QSaveFile>
#endif

namespace dnp {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr qint64 kReadChunk = 64 * 1024;

// The length of the valid UTF-8 sequence at `at`, or 0.
int utf8SequenceAt(QByteArrayView bytes, qsizetype at)
{
    const auto b = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = b(at);
    int length = 0;
    char32_t value = 0;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((b(at + k) & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (b(at + k) & 0x3F);
    }
    const char32_t lowest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < lowest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

QString notRegular(const QString& path)
{
    return QStringLiteral("%1 is not a regular file").arg(path);
}

// An input that cannot be opened (the reason given), or is no file to read.
Error unopenable(const QString& message)
{
    Error e = failure(message);
    e.cannotOpen = true;
    return e;
}

Error refusedInput(const QString& path)
{
    return unopenable(notRegular(path));
}

Error tooLarge(const QString& path, const QString& what, qint64 maxBytes)
{
    return failure(QStringLiteral("%1 is too large for %2 (more than %3 bytes)").arg(path, what).arg(maxBytes));
}

#ifdef Q_OS_UNIX
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

Error cannotOpen(const QString& path, int error)
{
    return unopenable(QStringLiteral("%1: %2").arg(path, systemReason(error)));
}

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
    if (input->fd < 0)
        return errno == ENXIO ? refusedInput(path) : cannotOpen(path, errno);
    struct stat st {};
    if (::fstat(input->fd, &st) != 0)
        return cannotOpen(path, errno);
    if (!S_ISREG(st.st_mode))
        return refusedInput(path);
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

// The file a path names once every symbolic link on the way is followed (it may not
// exist yet).
QByteArray resolveLinks(QByteArray name)
{
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(name.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return name;
        char target[PATH_MAX];
        const ssize_t n = ::readlink(name.constData(), target, sizeof target);
        if (n <= 0)
            return name;
        QByteArray next(target, n);
        if (!next.startsWith('/')) {
            const qsizetype slash = name.lastIndexOf('/');
            next = (slash >= 0 ? name.left(slash + 1) : QByteArray()) + next;
        }
        name = next;
    }
    return name;
}

bool writeAll(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}
#endif

}  // namespace

QString decodeFileName(QByteArrayView bytes)
{
    QString name;
    name.reserve(bytes.size());
    qsizetype at = 0;
    while (at < bytes.size()) {
        const int length = utf8SequenceAt(bytes, at);
        if (length == 0) {
            name += QChar(static_cast<char16_t>(kEscapeBase + static_cast<unsigned char>(bytes[at])));
            ++at;
            continue;
        }
        name += QString::fromUtf8(bytes.sliced(at, length));
        at += length;
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

#ifdef Q_OS_UNIX

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

bool isRegularFileOrAbsent(const QString& path)
{
    struct stat st {};
    if (::stat(encodeFileName(path).constData(), &st) != 0)
        return errno == ENOENT;
    return S_ISREG(st.st_mode);
}

Result<void> writeFileSafely(const QString& path, const QByteArray& bytes)
{
    const auto cannotWrite = [&path](int error) {
        return failure(QStringLiteral("Cannot write %1: %2").arg(path, systemReason(error)));
    };
    const QByteArray target = resolveLinks(encodeFileName(path));
    struct stat st {};
    mode_t mode = 0;
    if (::stat(target.constData(), &st) == 0) {
        if (!S_ISREG(st.st_mode))
            return failure(notRegular(path));
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            return failure(QStringLiteral("%1 is read-only").arg(path));
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }

    const qsizetype slash = target.lastIndexOf('/');
    QByteArray temp = (slash >= 0 ? target.left(slash + 1) : QByteArray()) + '.' +
                      target.mid(slash + 1) + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return cannotWrite(errno);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    int error = 0;
    if (!writeAll(fd, bytes) || ::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.constData(), target.constData()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.constData());
        return cannotWrite(error);
    }
    return {};
}

#else  // the same rules through Qt where the platform has no POSIX calls

Result<QByteArray> readInputFile(const QString& path, qint64 maxBytes, const QString& what)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refusedInput(path);
    if (info.size() > maxBytes)
        return tooLarge(path, what, maxBytes);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unopenable(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return file.read(maxBytes + 1);
}

Result<QByteArray> readInputStart(const QString& path, qint64 maxBytes, bool (*enough)(QByteArrayView))
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return refusedInput(path);
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

bool isRegularFileOrAbsent(const QString& path)
{
    const QFileInfo info(path);
    return !info.exists() || info.isFile();
}

Result<void> writeFileSafely(const QString& path, const QByteArray& bytes)
{
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return failure(notRegular(path));
    if (info.exists() && !info.isWritable())
        return failure(QStringLiteral("%1 is read-only").arg(path));
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

#endif

}  // namespace dnp
