#pragma once
// How the program reads files: names as the platform holds them, and inputs read with a
// bound. Outputs are written by writeFileSafely (files/SafeWrite.h).
//
// File names are bytes on this platform, and not every name is UTF-8. A name keeps its
// bytes through a QString: each byte that is not part of a valid UTF-8 sequence becomes
// the code point U+DC00 + byte (a lone surrogate, which valid UTF-8 never yields), and
// turns back into that byte when the name is used.

#include "model/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace dnp {

QString decodeFileName(QByteArrayView bytes);
QByteArray encodeFileName(const QString& name);

// The whole of an input file. A path that is not a regular file (a folder, a FIFO, a
// device) is refused at once: "<path> is not a regular file"; a file larger than
// `maxBytes` before it is read: "<path> is too large for <what> (more than N bytes)"
// (a file of exactly `maxBytes` bytes is read).
// A file that cannot be opened fails as unopened (Error::unopened()) with the system's reason:
// "<path>: No such file or directory".
Result<QByteArray> readInputFile(const QString& path, qint64 maxBytes, const QString& what);

// The start of an input file, up to `maxBytes` bytes and as far as `enough` (given what
// was read so far) asks for; the same refusals as readInputFile, except the size.
Result<QByteArray> readInputStart(const QString& path, qint64 maxBytes, bool (*enough)(QByteArrayView read));

// Whether a regular file, or nothing, lies at the path (symbolic links followed). A path
// that cannot be looked at (below a regular file, through a loop of links, in a folder
// that may not be searched) is neither.
bool isRegularFileOrAbsent(const QString& path);

// The bytes without the UTF-8 byte-order mark at their start, where there is one (some
// editors and every spreadsheet write one): the one place a reader passes over it.
QByteArrayView withoutByteOrderMark(QByteArrayView bytes);
// The text of a UTF-8 file (a CSV file), its byte-order mark passed over.
QString utf8FileText(QByteArrayView bytes);

// The user's folder for one kind of files, as the XDG base directory rules name it: the
// folder `variable` holds when that is an absolute path (a relative one is ignored), else
// `underHome` in HOME; nothing when neither gives an absolute path (no HOME, or a
// relative one), so that nothing lands relative to the working folder or in "/".
std::optional<QString> userFolder(const char* variable, const QString& underHome);

// The system's text for an errno value ("Permission denied").
QString systemReason(int error);
// "<path> is not a regular file": the refusal of an input or an output that is a
// folder, a FIFO or a device.
QString notRegularFileMessage(const QString& path);

}  // namespace dnp
