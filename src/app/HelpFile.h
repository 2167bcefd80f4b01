#pragma once
// The help file the program names: the start-up directory, a separator and
// "DNP_COMMCONFIG.hlp". Nothing on this platform shows that format, so asking for
// it tells the user where the file is (or that it is missing).

#include "model/HelpTopics.h"

#include <QString>

namespace dnp {

// A root directory already ends in a separator, so it gives two.
QString helpFilePath(const QString& currentDirectory);
// The information text shown instead of the help viewer.
QString helpUnavailableText(const QString& helpFile, int topic);

}  // namespace dnp
