#pragma once
// How every output is written: configurations, reports, point lists, DNP.ini and the
// simulator's image all go through writeFileSafely, so that a failure never leaves half
// a file and a write never replaces what it should not.
//
// The path's symbolic links are followed to the file they name (the links stay); the
// bytes go to a temporary file with a short name in that file's folder, which is synced
// and then renamed over the file. The refusals, each leaving everything as it was:
//   - a folder that is missing or cannot be written, a loop of symbolic links, any other
//     failure of the system: "Cannot write <path>: <reason>" (the system's reason, e.g.
//     "Too many levels of symbolic links");
//   - a folder, a FIFO or a device: "<path> is not a regular file";
//   - a file without any write bit (also for the superuser), or one the system says the
//     user may not write: "<path> is read-only";
//   - a file with other hard links, which a replacement would split off from them:
//     "<path> has other hard links; it was not replaced.";
//   - a file whose owner and group the replacement could not keep (only the superuser
//     may give a file to another user, and a user only to one of their own groups):
//     "<path> belongs to another user; it was not replaced.".
// A replaced file keeps its owner, its group and its permission bits, except the
// set-user-id and set-group-id bits, which a written file never has. A new file gets
// 0666 less the umask.

#include "model/Result.h"

#include <QByteArray>
#include <QString>

namespace dnp {

// Writes the bytes to `path` as described above.
Result<void> writeFileSafely(const QString& path, const QByteArray& bytes);

// Every refusal writeFileSafely would give for `path`, without writing anything: an
// output checked before a long operation (a retrieve) whose result it will hold. A
// failure while writing (a full disk) can still follow.
Result<void> checkWritable(const QString& path);

// Refuses an output that is the same file as the input (the same device and inode,
// through any link): "<output> is the configuration being read; choose another file."
// Paths that do not both name an existing file pass.
Result<void> refuseSameFile(const QString& output, const QString& input);

}  // namespace dnp
