#include "files/FileAccess.h"

#include <QDir>
#include <QStringDecoder>
#include <algorithm>
#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <QFile>
#include <QFileInfo>
#endif

namespace dnp {
namespace {

constexpr char16_t kEscapeBase = 0xDC00;
constexpr QByteArrayView kUtf8ByteOrderMark = "\xEF\xBB\xBF";
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

// UTF-8 as it is: a byte-order mark decodes to U+FEFF like any other character.
QString utf8Text(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return decoder(bytes);
}

// An input that cannot be opened (the reason given), or is no file to read.
Error unopenable(const QString& message)
{
    return Error{message, Unopened{}};
}

Error refusedInput(const QString& path)
{
    return unopenable(notRegularFileMessage(path));
}

Error tooLarge(const QString& path, const QString& what, qint64 maxBytes)
{
    return failure(QStringLiteral("%1 is too large for %2 (more than %3 bytes)").arg(path, what).arg(maxBytes));
}

#ifdef Q_OS_UNIX
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
    if (input->fd < 0) {
        // A device on a file system that forbids opening devices is no file to read either.
        const int error = errno;
        struct stat st {};
        if (error == ENXIO || (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)))
            return refusedInput(path);
        return cannotOpen(path, error);
    }
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

#endif

}  // namespace

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

std::optional<QString> userFolder(const char* variable, const QString& underHome)
{
    const QString named = decodeFileName(qgetenv(variable));
    if (QDir::isAbsolutePath(named))
        return QDir::cleanPath(named);
    const QString home = decodeFileName(qgetenv("HOME"));
    if (!QDir::isAbsolutePath(home))
        return std::nullopt;
    return QDir::cleanPath(home + QLatin1Char('/') + underHome);
}

QString notRegularFileMessage(const QString& path)
{
    return QStringLiteral("%1 is not a regular file").arg(path);
}

QByteArrayView withoutByteOrderMark(QByteArrayView bytes)
{
    return bytes.startsWith(kUtf8ByteOrderMark) ? bytes.sliced(kUtf8ByteOrderMark.size()) : bytes;
}

QString utf8FileText(QByteArrayView bytes)
{
    // Decoded with a mark kept, so that passing over it is done above alone.
    return utf8Text(withoutByteOrderMark(bytes));
}

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
        name += utf8Text(bytes.sliced(at, length));  // U+FEFF too is a character of a name
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
    QByteArray bytes = file.read(maxBytes + 1);
    if (bytes.size() > maxBytes)
        return tooLarge(path, what, maxBytes);
    return bytes;
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

#endif

}  // namespace dnp
