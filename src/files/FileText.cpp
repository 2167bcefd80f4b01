#include "files/FileText.h"

#include <QStringDecoder>

namespace dnp {
namespace {

constexpr QByteArrayView kUtf8ByteOrderMark = "\xEF\xBB\xBF";

}  // namespace

QByteArrayView withoutByteOrderMark(QByteArrayView bytes)
{
    return bytes.startsWith(kUtf8ByteOrderMark) ? bytes.sliced(kUtf8ByteOrderMark.size()) : bytes;
}

QString utf8FileText(QByteArrayView bytes)
{
    // Decoded with a mark kept, so that passing over it is done above alone.
    QStringDecoder decoder(QStringConverter::Utf8,
                           QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless);
    return decoder(withoutByteOrderMark(bytes));
}

}  // namespace dnp
