#pragma once
// How two configurations differ, A against B: per class (0-3) and point type the
// points chosen only in A or only in B, the Class 0 points whose DNP point number
// changed, and each unsolicited setting of an event class that differs. The dates and
// the report's description and comment are no part of a configuration's content.
//
// A difference is a row of the table the window shows and a line dnpcfg prints.

#include "model/ConfigState.h"

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace dnp {

enum class DifferenceKind {
    OnlyInA,     // a point chosen in the class in A only
    OnlyInB,
    Renumbered,  // a Class 0 point whose first DNP point number changed
    Setting,     // an unsolicited setting of an event class
    Mapping,     // the DNP mapping of two images
    Word,        // an image word, when the words differ but the configurations do not
};

struct ConfigDifference {
    DifferenceKind kind;
    int cls = -1;                   // 0-3; -1 for the mapping and image words
    std::optional<PointType> type;  // the point's type; none for settings, mapping, words
    QString item;                   // short name, setting name ("dead band"), "word 17"
    QString a;                      // the value in A ("" for a point only in one of them)
    QString b;
    int typeIndex = -1;             // the point's TypeIndex; -1 for settings, mapping, words
};

using ConfigDifferences = std::vector<ConfigDifference>;

// Classes 0-3 in turn: the unsolicited settings of the class, then per type the points
// only in A, only in B (both by TypeIndex) and, in Class 0, the renumbered points.
// Nothing when the configurations are equal.
ConfigDifferences compareConfigurations(const ConfigState& a, const ConfigState& b);

// The table: "Class", "Type", "Point or setting", "Difference", "A", "B".
QStringList differenceColumns();
QStringList differenceCells(const ConfigDifference& difference);

// One line per difference:
//   "Class 0 Bin: only in A: 'Tap Position Known'"
//   "Class 0 Ain: renumbered: 'Meter: Inst: Vld' 3 → 0"
//   "Class 1: dead band: 2.5 % → 2 %"
//   "mapping: 8 → 4"
//   "image word 17: 1102 → 0000"
QString differenceLine(const ConfigDifference& difference);
QStringList differenceLines(const ConfigDifferences& differences);

// "The configuration and <file> are the same."
QString sameConfigurationText(const QString& fileName);
// dnpcfg diff of two equal files.
inline const QString kSameConfigurationsText = QStringLiteral("The configurations are the same.");

}  // namespace dnp
