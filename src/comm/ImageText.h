#pragma once
// The configuration image as text, as `dnpcfg image` prints it and the panel
// simulator keeps it: 16 lines of 16 words, four upper-case hex digits each, one blank
// between words, LF after each line.

#include "comm/ImageLayout.h"
#include "model/Result.h"

#include <QByteArrayView>
#include <QString>

namespace dnp {

QString formatImageText(const ConfigImage& image);
// One word as the text writes it: "1102".
QString hexWord(std::uint16_t word);
// A byte as a message shows it: "0x1F".
QString hexByte(std::uint8_t byte);

// No image text approaches this size (the text form is 1280 bytes).
constexpr qint64 kMaxImageTextBytes = 1024 * 1024;

// Reads 256 hexadecimal words (1 to 4 digits, an optional 0x) separated by any white
// space. The message of an error begins with its place: "line 3, column 16: ...".
Result<ConfigImage> parseImageText(QByteArrayView text);

}  // namespace dnp
