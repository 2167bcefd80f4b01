#pragma once
// What the history takes from the workspace: the record of a panel command, made from the
// outcome it ended in, and the store the settings name.

#include "app/PanelOutcome.h"
#include "comm/CommSettings.h"
#include "history/HistoryPlace.h"
#include "history/HistoryRecord.h"

namespace dnp {

// The SHA-256 of an image: over its 512 bytes, each word high byte first, as 64
// lowercase hex digits.
QString imageSha256(const ConfigImage& image);
// The record of a command's outcome, made for the user logged in here by the program that
// ran it; a send says whether the panel was read back whole after it.
HistoryRecord historyRecord(const PanelOutcome& outcome);
// The store [History] Database names, a relative file from the settings file's folder.
Result<HistoryPlace> historyPlace(const TcomSetIni& settings);

}  // namespace dnp
