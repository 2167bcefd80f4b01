#include "files/SafeWrite.h"

#include <QSaveFile>

namespace dnp {

Result<void> writeFileSafely(const QString& path, const QByteArray& bytes)
{
    const auto cannotWrite = [&path](const QString& reason) {
        return failure(QStringLiteral("Cannot write %1: %2").arg(path, reason));
    };
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return cannotWrite(file.errorString());
    // The explicit flush matters: commit() flushes the write buffer without looking at
    // the result, so a short text (held in the buffer) that does not fit on the disk
    // would otherwise replace the old file by an empty one and count as written.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        const QString error = file.errorString();
        file.cancelWriting();
        return cannotWrite(error);
    }
    if (!file.commit())
        return cannotWrite(file.errorString());
    return {};
}

}  // namespace dnp
