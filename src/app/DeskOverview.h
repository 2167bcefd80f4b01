#pragma once
// What the main window's overview shows, made from the three parts of a run: the points
// of each type in each class, the unsolicited settings of each event class, the words the
// Class 0 points take, the mapping a send uses, the port, the file's folder, the last
// transfer, and for a new configuration the first step.

#include "app/ConfigDocument.h"
#include "app/PanelOutcome.h"
#include "comm/CommSettings.h"
#include "model/WordBudget.h"

#include <array>
#include <optional>

namespace dnp {

// The overview's rows of unsolicited settings: dead band, minimum events, notification delay.
constexpr int kUnsolicitedRowCount = 3;

struct DeskOverview {
    std::array<std::array<int, 4>, kPointTypeCount> points = {};  // by point type, by class
    // By row, by event class 1-3: "2 %", "1", "0".
    std::array<std::array<QString, 3>, kUnsolicitedRowCount> unsolicited = {};
    WordBudget words = {};
    QString mapping = {};
    QString port = {};  // "COM 1 (/dev/ttyS0), 9600 baud"; "None chosen"
    QString folder = {};  // "/home/eng"; "Not saved yet"
    QString lastTransfer = {};
    QString firstStep = {};  // "Choose Class 0 points: Configuration > Class 0"; "" once there are some
};

DeskOverview deskOverview(const ConfigDocument& document, const TcomSetIni& settings,
                          const std::optional<PanelOutcome>& lastOutcome);

}  // namespace dnp
