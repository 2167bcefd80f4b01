#pragma once
// Writing a whole file so that a failure never leaves half of it: configuration
// files, reports, DNP.ini and the simulator's image all go this way.

#include "model/Result.h"

#include <QByteArray>
#include <QString>

namespace dnp {

// Writes the bytes through a temporary file in the same folder, which replaces the
// target only when everything is written and flushed; a failure leaves any old file as
// it was. The error reads "Cannot write <path>: <reason>".
Result<void> writeFileSafely(const QString& path, const QByteArray& bytes);

}  // namespace dnp
