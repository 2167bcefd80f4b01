#include "model/ConfigCompare.h"

#include "files/FileTestHelpers.h"

#include <functional>

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;

namespace {

ConfigState base()
{
    ConfigState state;
    setClass0(state, PointType::Bin, {2, 5, 9});
    setClass0(state, PointType::Ain, {329, 0});
    state.setSelected(1, PointType::Bin, 5, true);
    return state;
}

struct DiffCase {
    const char* name;
    std::function<void(ConfigState&)> changeB;
    QStringList lines;
};

const DiffCase kCases[] = {
    {"equal", [](ConfigState&) {}, {}},
    {"header texts are not compared",
     [](ConfigState& b) {
         b.ReportDescription = QStringLiteral("other");
         b.ReportComment = QStringLiteral("other");
     },
     {}},
    {"added", [](ConfigState& b) { setClass0(b, PointType::Bin, {2, 5, 9, 7}); },
     {"Class 0 Bin: only in B: 'Neutral Signal'"}},
    {"removed",
     [](ConfigState& b) {
         b.setSelected(0, PointType::Bin, 9, false);
         b.Class0Order[typeNumber(PointType::Bin)][9] = -1;
     },
     {"Class 0 Bin: only in A: 'Auto Inhibit Terminal Block Input'"}},
    {"renumbered", [](ConfigState& b) { setClass0(b, PointType::Bin, {5, 2, 9}); },
     {"Class 0 Bin: renumbered: 'Auto Inhibit Status' 0 \u2192 1", "Class 0 Bin: renumbered: 'Remote Control' 1 \u2192 0"}},
    {"renumbered past a point of two words", [](ConfigState& b) { setClass0(b, PointType::Ain, {0, 329}); },
     {"Class 0 Ain: renumbered: 'Meter: Inst: Vld' 2 \u2192 0",
      "Class 0 Ain: renumbered: 'Misc: Serial Number -- 2 words' 0 \u2192 1"}},
    {"event class changed",
     [](ConfigState& b) {
         b.setSelected(1, PointType::Bin, 5, false);
         b.setSelected(2, PointType::Bin, 5, true);
     },
     {"Class 1 Bin: only in A: 'Remote Control'", "Class 2 Bin: only in B: 'Remote Control'"}},
    {"unsolicited",
     [](ConfigState& b) { b.UnsolicitedSettings = {20, 256, 25, 256, 20, 0x030A}; },
     {"Class 2: dead band: 2 % \u2192 2.5 %", "Class 3: minimum events: 1 \u2192 3",
      "Class 3: notification delay: 0 \u2192 10"}},
};

class ConfigCompareCases : public ::testing::TestWithParam<DiffCase> {};

TEST_P(ConfigCompareCases, LinesOfTheDifferences)
{
    const ConfigState a = base();
    ConfigState b = base();
    GetParam().changeB(b);
    EXPECT_EQ(differenceLines(compareConfigurations(a, b)).join('\n'), GetParam().lines.join('\n'));
}

INSTANTIATE_TEST_SUITE_P(Diff, ConfigCompareCases, ::testing::ValuesIn(kCases),
                         [](const auto& info) {
                             QString name = QString::fromLatin1(info.param.name);
                             name.replace(QLatin1Char(' '), QLatin1Char('_'));
                             return name.toStdString();
                         });

TEST(ConfigCompare, TableColumnsAndCells)
{
    ConfigState b = base();
    setClass0(b, PointType::Bin, {5, 2, 9});
    const ConfigDifferences differences = compareConfigurations(base(), b);
    ASSERT_FALSE(differences.empty());
    EXPECT_EQ(differenceColumns().join('|'), "Class|Type|Point or setting|Difference|A|B");
    EXPECT_EQ(differenceCells(differences.front()).join('|'), "0|Bin|Auto Inhibit Status|renumbered|0|1");
}

TEST(ConfigCompare, SameConfigurationText)
{
    EXPECT_EQ(sameConfigurationText("feeder.dnp"), "The configuration and feeder.dnp are the same.");
}

}  // namespace
