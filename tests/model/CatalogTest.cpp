// The point catalogue: counts, group table, SelectionIndex rules, codes, word
// counts and the exact texts of points from every group.

#include "model/Catalog.h"
#include "model/CatalogData.h"

#include <QCryptographicHash>
#include <QSet>
#include <QString>
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

namespace dnp {
namespace {

const PointCatalog& cat()
{
    return PointCatalog::instance();
}

QString u8(const char* s)
{
    return QString::fromUtf8(s);
}

// ---------------------------------------------------------------------------
// Counts

TEST(Catalog, CountsPerTypeAndTotal)
{
    EXPECT_EQ(cat().points(PointType::Bin).size(), 16u);
    EXPECT_EQ(cat().points(PointType::Bout).size(), 4u);
    EXPECT_EQ(cat().points(PointType::Ain).size(), 364u);
    EXPECT_EQ(cat().points(PointType::Aout).size(), 112u);
    EXPECT_EQ(cat().points(PointType::Counters).size(), 10u);
    std::size_t total = 0;
    for (PointType t : kAllPointTypes) {
        EXPECT_EQ(static_cast<int>(cat().points(t).size()), pointCount(t));
        total += cat().points(t).size();
    }
    EXPECT_EQ(total, 506u);
    EXPECT_EQ(kTotalPoints, 506);
}

// The data tables check themselves while building: per group as many endings, codes
// (and second codes) as points, exception rows inside the group, every point filled once.
TEST(Catalog, DataTablesBuildConsistently)
{
    std::array<std::vector<CatalogPoint>, kPointTypeCount> built;
    ASSERT_NO_THROW(built = buildCatalogPoints());
    for (PointType t : kAllPointTypes) {
        ASSERT_EQ(static_cast<int>(built[typeNumber(t)].size()), pointCount(t));
        for (int i = 0; i < pointCount(t); ++i) {
            const CatalogPoint& b = built[typeNumber(t)][static_cast<std::size_t>(i)];
            const CatalogPoint& p = cat().point(t, i);
            EXPECT_EQ(b.shortName, p.shortName);
            EXPECT_EQ(b.description, p.description);
            EXPECT_EQ(b.editorText, p.editorText);
            EXPECT_EQ(b.panelCode, p.panelCode);
            EXPECT_EQ(b.secondCode, p.secondCode);
            EXPECT_EQ(b.wordCount, p.wordCount);
        }
    }
}

TEST(Catalog, PointsKnowTheirTypeAndIndex)
{
    for (PointType t : kAllPointTypes)
        for (int i = 0; i < pointCount(t); ++i) {
            const CatalogPoint& p = cat().point(t, i);
            EXPECT_EQ(p.type, t);
            EXPECT_EQ(p.typeIndex, i);
            ASSERT_NE(p.group, nullptr);
            EXPECT_EQ(p.group, &groupOf(t, i));
        }
}

TEST(Catalog, TypeNames)
{
    EXPECT_EQ(pointTypeName(PointType::Bin), "Bin");
    EXPECT_EQ(pointTypeName(PointType::Bout), "Bout");
    EXPECT_EQ(pointTypeName(PointType::Ain), "Ain");
    EXPECT_EQ(pointTypeName(PointType::Aout), "Aout");
    EXPECT_EQ(pointTypeName(PointType::Counters), "Counters");
}

// ---------------------------------------------------------------------------
// Groups

struct GroupRow {
    const char* name;
    const char* listName;
    int tag;
    PointType type;
    int firstTypeIndex;
    int base;
    int count;
};

const GroupRow kExpectedGroups[] = {
    {"Meter instantaneous", "InstCLB", 3, PointType::Ain, 0, 0, 14},
    {"Meter min/max", "ImmCLB", 4, PointType::Ain, 14, 14, 64},
    {"Demand values", "DmdCLB", 5, PointType::Ain, 78, 78, 14},
    {"Demand min/max", "DmmCLB", 6, PointType::Ain, 92, 92, 64},
    {"Harmonics", "HarmCLB", 7, PointType::Ain, 156, 156, 112},
    {"Energy", "EnergyCLB", 8, PointType::Ain, 268, 268, 6},
    {"Counter values", "CountCLB", 9, PointType::Ain, 274, 274, 14},
    {"Status", "CtlStatCLB", 10, PointType::Ain, 288, 288, 38},
    {"Miscellaneous", "GenStatCLB", 11, PointType::Ain, 326, 326, 38},
    {"Binary inputs", "BinCLB", 1, PointType::Bin, 0, 364, 16},
    {"Binary outputs", "BoutCLB", 2, PointType::Bout, 0, 380, 4},
    {"Operating settings", "SetPtCLB", 12, PointType::Aout, 0, 388, 27},
    {"Regulator settings", "RegSetCLB", 13, PointType::Aout, 27, 415, 48},
    {"Communication settings", "CommSetCLB", 14, PointType::Aout, 75, 464, 17},
    {"Passwords", "PwCLB", 15, PointType::Aout, 92, 481, 14},
    {"Active set points", "ActSetPtCLB", 17, PointType::Aout, 106, 495, 6},
    {"Counters", "Counter32bCLB", 16, PointType::Counters, 0, 501, 10},
};

TEST(CatalogGroups, TableOfBasesTagsAndCounts)
{
    ASSERT_EQ(kPointGroups.size(), std::size(kExpectedGroups));
    for (std::size_t i = 0; i < kPointGroups.size(); ++i) {
        const PointGroup& g = kPointGroups[i];
        const GroupRow& e = kExpectedGroups[i];
        SCOPED_TRACE(e.listName);
        EXPECT_STREQ(g.name, e.name);
        EXPECT_STREQ(g.listName, e.listName);
        EXPECT_EQ(g.tag, e.tag);
        EXPECT_EQ(g.type, e.type);
        EXPECT_EQ(g.firstTypeIndex, e.firstTypeIndex);
        EXPECT_EQ(g.base, e.base);
        EXPECT_EQ(g.count, e.count);
        EXPECT_EQ(groupByTag(e.tag), &g);
    }
    EXPECT_EQ(groupByTag(0), nullptr);
    EXPECT_EQ(groupByTag(18), nullptr);
}

TEST(CatalogGroups, CommSettingsStartAt464)
{
    const PointGroup* g = groupByTag(14);
    ASSERT_NE(g, nullptr);
    EXPECT_STREQ(g->listName, "CommSetCLB");
    EXPECT_EQ(g->base, 464);
    EXPECT_EQ(groupBySelectionIndex(463), nullptr);
    EXPECT_EQ(groupBySelectionIndex(464), g);
    EXPECT_EQ(groupBySelectionIndex(462)->tag, 13);
}

TEST(CatalogGroups, GroupsCoverEveryPointOnce)
{
    std::map<PointType, std::vector<int>> seen;
    for (PointType t : kAllPointTypes)
        seen[t].assign(static_cast<std::size_t>(pointCount(t)), 0);
    for (const PointGroup& g : kPointGroups)
        for (int k = 0; k < g.count; ++k)
            ++seen[g.type].at(static_cast<std::size_t>(g.firstTypeIndex + k));
    for (PointType t : kAllPointTypes)
        for (int n : seen[t])
            EXPECT_EQ(n, 1);
}

TEST(CatalogGroups, RowKIsThePointAtBasePlusK)
{
    for (const PointGroup& g : kPointGroups)
        for (int k = 0; k < g.count; ++k) {
            const CatalogPoint* p = cat().bySelectionIndex(g.base + k);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(p, &cat().point(g.type, g.firstTypeIndex + k));
            EXPECT_EQ(p->group, &g);
        }
}

// ---------------------------------------------------------------------------
// SelectionIndex

int expectedSelection(PointType t, int i)
{
    switch (t) {
    case PointType::Ain: return i;
    case PointType::Bin: return i + 364;
    case PointType::Bout: return i + 380;
    case PointType::Counters: return i + 501;
    case PointType::Aout: return i <= 74 ? i + 388 : i + 389;
    }
    return -1;
}

TEST(CatalogSelection, EveryPointFollowsTheRuleOfItsType)
{
    for (PointType t : kAllPointTypes)
        for (int i = 0; i < pointCount(t); ++i) {
            EXPECT_EQ(cat().point(t, i).selectionIndex, expectedSelection(t, i));
            EXPECT_EQ(selectionIndexOf(t, i), expectedSelection(t, i));
        }
}

TEST(CatalogSelection, MappingBackToTypeIndex)
{
    for (int s = 0; s <= 363; ++s) {
        const CatalogPoint* p = cat().bySelectionIndex(s);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->type, PointType::Ain);
        EXPECT_EQ(p->typeIndex, s);
    }
    for (int s = 364; s <= 379; ++s) {
        const CatalogPoint* p = cat().bySelectionIndex(s);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->type, PointType::Bin);
        EXPECT_EQ(p->typeIndex, s - 364);
    }
    for (int s = 380; s <= 383; ++s) {
        const CatalogPoint* p = cat().bySelectionIndex(s);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->type, PointType::Bout);
        EXPECT_EQ(p->typeIndex, s - 380);
    }
    for (int s = 388; s <= 462; ++s) {
        const CatalogPoint* p = cat().bySelectionIndex(s);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->type, PointType::Aout);
        EXPECT_EQ(p->typeIndex, s - 388);
    }
    for (int s = 464; s <= 500; ++s) {
        const CatalogPoint* p = cat().bySelectionIndex(s);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->type, PointType::Aout);
        EXPECT_EQ(p->typeIndex, s - 389);
    }
    for (int s = 501; s <= 510; ++s) {
        const CatalogPoint* p = cat().bySelectionIndex(s);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->type, PointType::Counters);
        EXPECT_EQ(p->typeIndex, s - 501);
    }
}

TEST(CatalogSelection, FreeIndicesHaveNoPoint)
{
    for (int s : {384, 385, 386, 387, 463, -1, 511, 512, 1000}) {
        EXPECT_EQ(cat().bySelectionIndex(s), nullptr) << s;
        EXPECT_EQ(groupBySelectionIndex(s), nullptr) << s;
    }
    int withPoint = 0;
    for (int s = 0; s < kSelectionSize; ++s)
        if (cat().bySelectionIndex(s))
            ++withPoint;
    EXPECT_EQ(withPoint, 506);
}

TEST(CatalogSelection, AoutAroundTheGap)
{
    EXPECT_EQ(cat().point(PointType::Aout, 74).selectionIndex, 462);
    EXPECT_EQ(cat().point(PointType::Aout, 75).selectionIndex, 464);
    EXPECT_EQ(cat().point(PointType::Aout, 111).selectionIndex, 500);
    EXPECT_EQ(cat().point(PointType::Aout, 0).selectionIndex, 388);
}

// ---------------------------------------------------------------------------
// Codes

TEST(CatalogCodes, UniqueWithinEachTypeAndBelow4096)
{
    for (PointType t : kAllPointTypes) {
        std::set<std::uint16_t> codes;
        for (const CatalogPoint& p : cat().points(t)) {
            EXPECT_LT(p.panelCode, 4096) << p.shortName.toStdString();
            EXPECT_EQ(p.panelCode & kMarkMask, 0);
            EXPECT_TRUE(codes.insert(p.panelCode).second)
                << "repeated code " << p.panelCode << " in " << pointTypeName(t).toStdString();
        }
    }
    for (std::uint16_t c : cat().secondCodes())
        EXPECT_LT(c, 4096);
}

TEST(CatalogCodes, SecondCodesOnlyForBinaryOutputs)
{
    for (PointType t : {PointType::Bin, PointType::Ain, PointType::Aout, PointType::Counters})
        for (const CatalogPoint& p : cat().points(t))
            EXPECT_EQ(p.secondCode, 0);
}

TEST(CatalogCodes, BinaryOutputCodes)
{
    const std::array<std::uint16_t, 4> first = {1027, 1031, 2693, 2759};
    const std::array<std::uint16_t, 4> second = {1027, 1031, 554, 2759};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cat().point(PointType::Bout, i).panelCode, first[i]);
        EXPECT_EQ(cat().point(PointType::Bout, i).secondCode, second[i]);
    }
    EXPECT_EQ(cat().secondCodes(), second);
    EXPECT_NE(cat().point(PointType::Bout, 2).panelCode, cat().point(PointType::Bout, 2).secondCode);
}

TEST(CatalogCodes, PanelCodesTableInTypeIndexOrder)
{
    for (PointType t : kAllPointTypes) {
        const std::vector<std::uint16_t> codes = cat().panelCodes(t);
        ASSERT_EQ(static_cast<int>(codes.size()), pointCount(t));
        for (int i = 0; i < pointCount(t); ++i)
            EXPECT_EQ(codes[static_cast<std::size_t>(i)], cat().point(t, i).panelCode);
    }
}

TEST(CatalogCodes, RepeatedAcrossTypes1027)
{
    EXPECT_EQ(findCode(cat().panelCodes(PointType::Ain), 1027), 293);
    EXPECT_EQ(cat().point(PointType::Ain, 293).shortName, "Status: Communications Link Tap Request");
    EXPECT_EQ(findCode(cat().panelCodes(PointType::Bout), 1027), 0);
    const auto second = cat().secondCodes();
    EXPECT_EQ(findCode(second, 1027), 0);
    EXPECT_EQ(findCode(cat().panelCodes(PointType::Aout), 1027), 53);
    EXPECT_EQ(cat().point(PointType::Aout, 53).shortName, "Regulator: Raise/Lower Operation");
    EXPECT_EQ(findCode(cat().panelCodes(PointType::Bin), 1027), -1);
    EXPECT_EQ(findCode(cat().panelCodes(PointType::Counters), 1027), -1);
}

TEST(CatalogCodes, RepeatedAcrossTypes2307)
{
    EXPECT_EQ(findCode(cat().panelCodes(PointType::Aout), 2307), 52);
    EXPECT_EQ(cat().point(PointType::Aout, 52).shortName, "Regulator: Total Operations Count");
    EXPECT_EQ(findCode(cat().panelCodes(PointType::Counters), 2307), 6);
    EXPECT_EQ(findCode(cat().panelCodes(PointType::Ain), 2307), -1);
}

TEST(CatalogCodes, BinaryInputsAndStatusShareCodes)
{
    const std::map<std::uint16_t, std::pair<int, int>> shared = {
        {2603, {2, 296}}, {2616, {9, 305}}, {2617, {10, 303}}, {2618, {11, 304}}, {2621, {14, 306}}};
    for (const auto& [code, where] : shared) {
        EXPECT_EQ(findCode(cat().panelCodes(PointType::Bin), code), where.first) << code;
        EXPECT_EQ(findCode(cat().panelCodes(PointType::Ain), code), where.second) << code;
        EXPECT_EQ(cat().point(PointType::Ain, where.second).group->tag, 10) << code;
    }
}

TEST(CatalogCodes, MiscellaneousAndRegulatorShareCodes)
{
    const std::map<std::uint16_t, std::pair<int, int>> shared = {
        {2357, {342, 64}}, {2358, {343, 65}}, {2359, {344, 66}}, {2819, {348, 62}}};
    for (const auto& [code, where] : shared) {
        EXPECT_EQ(findCode(cat().panelCodes(PointType::Ain), code), where.first) << code;
        EXPECT_EQ(findCode(cat().panelCodes(PointType::Aout), code), where.second) << code;
        EXPECT_EQ(cat().point(PointType::Ain, where.first).group->tag, 11) << code;
        EXPECT_EQ(cat().point(PointType::Aout, where.second).group->tag, 13) << code;
    }
}

TEST(CatalogCodes, FindCodeComparesAllSixteenBits)
{
    std::vector<std::uint16_t> table = cat().panelCodes(PointType::Ain);
    EXPECT_EQ(findCode(table, 258), 0);
    EXPECT_EQ(findCode(table, static_cast<std::uint16_t>(0x1000 | 258)), -1);
    table[0] = static_cast<std::uint16_t>(0x2000 | 258);
    EXPECT_EQ(findCode(table, static_cast<std::uint16_t>(0x2000 | 258)), 0);
    EXPECT_EQ(findCode(table, 258), -1);
    EXPECT_EQ(findCode(table, 4095), -1);
    EXPECT_EQ(findCode({}, 258), -1);
    // The first match from TypeIndex 0 upward.
    const std::vector<std::uint16_t> twice = {7, 5, 5};
    EXPECT_EQ(findCode(twice, 5), 1);
}

TEST(CatalogCodes, MeterMinMaxFollowTheQuantityBases)
{
    const int bases[] = {2119, 2131, 2143, 2155, 2173, 2185, 2197};
    const int offsets[] = {0, 3, 1, 4, 6, 9, 7, 10};  // F min, F max, their stamps, R min, R max, their stamps
    for (int block = 0; block < 8; ++block)
        for (int q = 0; q < 7; ++q)
            EXPECT_EQ(cat().point(PointType::Ain, 14 + block * 7 + q).panelCode, bases[q] + offsets[block])
                << "Ain " << 14 + block * 7 + q;
    const int tail[] = {2167, 2168, 2209, 2210, 2170, 2171, 2212, 2213};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(cat().point(PointType::Ain, 70 + i).panelCode, tail[i]);
}

TEST(CatalogCodes, HarmonicsPerBlock)
{
    struct Block {
        int first;
        int thd;
        int odd;
        int dc;
    };
    const Block blocks[] = {{156, 2896, 2903, 2902}, {190, 2900, 2978, 2977}, {224, 2898, 2938, 2937}};
    for (const Block& b : blocks) {
        auto code = [&](int k) { return static_cast<int>(cat().point(PointType::Ain, b.first + k).panelCode); };
        EXPECT_EQ(code(0), b.thd);
        for (int k = 0; k < 16; ++k)
            EXPECT_EQ(code(1 + k), b.odd + 2 * k) << "odd harmonic " << 2 * k + 1;
        EXPECT_EQ(code(17), b.thd + 1);
        for (int k = 0; k < 15; ++k)
            EXPECT_EQ(code(18 + k), b.odd + 2 * k + 1) << "even harmonic " << 2 * k + 2;
        EXPECT_EQ(code(33), b.dc);
    }
    // Spelled out for the load-volts block.
    EXPECT_EQ(cat().point(PointType::Ain, 157).panelCode, 2903);  // 1st
    EXPECT_EQ(cat().point(PointType::Ain, 172).panelCode, 2933);  // 31st
    EXPECT_EQ(cat().point(PointType::Ain, 174).panelCode, 2904);  // 2nd
    EXPECT_EQ(cat().point(PointType::Ain, 188).panelCode, 2932);  // 30th
    EXPECT_EQ(cat().point(PointType::Ain, 206).panelCode, 3008);  // source volts 31st
    EXPECT_EQ(cat().point(PointType::Ain, 256).panelCode, 2967);  // load current 30th
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(cat().point(PointType::Ain, 258 + i).panelCode, 271 + i);
}

TEST(CatalogCodes, ListedCodesOfSomeGroups)
{
    auto codesOf = [](PointType t, int first, int count) {
        std::vector<int> v;
        for (int i = 0; i < count; ++i)
            v.push_back(cat().point(t, first + i).panelCode);
        return v;
    };
    EXPECT_EQ(codesOf(PointType::Ain, 0, 14),
              (std::vector<int>{258, 260, 270, 257, 267, 264, 266, 265, 282, 259, 261, 416, 1028, 268}));
    EXPECT_EQ(codesOf(PointType::Ain, 78, 14),
              (std::vector<int>{772, 2105, 773, 768, 771, 770, 769, 778, 2112, 779, 774, 777, 776, 775}));
    EXPECT_EQ(codesOf(PointType::Ain, 268, 6), (std::vector<int>{2230, 2234, 2238, 2242, 2246, 2250}));
    EXPECT_EQ(codesOf(PointType::Ain, 274, 14),
              (std::vector<int>{2218, 2215, 2313, 2316, 2319, 2322, 2219, 2216, 2311, 2314, 2317, 2320, 2325, 2305}));
    EXPECT_EQ(codesOf(PointType::Bin, 0, 16),
              (std::vector<int>{2306, 283, 2603, 2607, 2608, 2610, 2613, 2614, 2615, 2616, 2617, 2618, 2619, 2620,
                                2621, 2739}));
    EXPECT_EQ(codesOf(PointType::Aout, 75, 17),
              (std::vector<int>{2687, 556, 2688, 2712, 557, 2685, 555, 558, 559, 2683, 2684, 2686, 2689, 2717, 552,
                                2719, 2711}));
    EXPECT_EQ(codesOf(PointType::Aout, 92, 14),
              (std::vector<int>{3040, 3016, 3020, 3024, 3028, 3032, 3036, 3018, 3022, 3026, 3030, 3034, 3038, 3015}));
    EXPECT_EQ(codesOf(PointType::Aout, 106, 6), (std::vector<int>{2754, 2755, 2756, 2757, 2758, 2760}));
    EXPECT_EQ(codesOf(PointType::Counters, 0, 10),
              (std::vector<int>{2228, 2232, 2236, 2240, 2244, 2248, 2307, 2309, 2323, 2327}));
}

// ---------------------------------------------------------------------------
// Word counts

TEST(CatalogWords, MultiWordPoints)
{
    for (PointType t : kAllPointTypes)
        for (int i = 0; i < pointCount(t); ++i) {
            int expected = 1;
            if (t == PointType::Ain && i == 329)
                expected = 2;
            if (t == PointType::Aout && (i == 57 || (i >= 92 && i <= 104)))
                expected = 2;
            if (t == PointType::Aout && (i == 72 || i == 73))
                expected = 5;
            if (t == PointType::Counters)
                expected = 2;
            EXPECT_EQ(cat().point(t, i).wordCount, expected) << pointTypeName(t).toStdString() << " " << i;
        }
}

TEST(CatalogWords, MultiWordCodes)
{
    EXPECT_EQ(cat().point(PointType::Ain, 329).panelCode, 2360);
    EXPECT_EQ(cat().point(PointType::Aout, 57).panelCode, 2640);
    EXPECT_EQ(cat().point(PointType::Aout, 72).panelCode, 2590);
    EXPECT_EQ(cat().point(PointType::Aout, 73).panelCode, 2595);
    EXPECT_EQ(cat().point(PointType::Aout, 105).wordCount, 1);
    // The words after a multi-word point's code belong to no other point of its type.
    for (PointType t : kAllPointTypes) {
        const std::vector<std::uint16_t> codes = cat().panelCodes(t);
        if (t == PointType::Counters)
            continue;  // counters put their second word in differently
        for (const CatalogPoint& p : cat().points(t)) {
            for (int w = 1; w < p.wordCount; ++w) {
                EXPECT_EQ(findCode(codes, static_cast<std::uint16_t>(p.panelCode + w)), -1)
                    << p.shortName.toStdString();
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Texts

TEST(CatalogTexts, ShortNamesHaveNoSeparators)
{
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : cat().points(t)) {
            EXPECT_FALSE(p.shortName.contains(QChar(','))) << p.shortName.toStdString();
            EXPECT_FALSE(p.shortName.contains(QChar(';'))) << p.shortName.toStdString();
            EXPECT_FALSE(p.shortName.contains(QChar('|'))) << p.shortName.toStdString();
            EXPECT_FALSE(p.shortName.isEmpty());
            EXPECT_FALSE(p.description.isEmpty());
            EXPECT_FALSE(p.editorText.isEmpty());
        }
}

TEST(CatalogTexts, OnlyOneDoubledBlankInShortNames)
{
    QStringList doubled;
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : cat().points(t))
            if (p.shortName.contains(QLatin1String("  ")))
                doubled << p.shortName;
    EXPECT_EQ(doubled, QStringList{"Comm: CM Post Transmit  Delay"});
}

TEST(CatalogTexts, ShortNamesAreUniqueWithinType)
{
    for (PointType t : kAllPointTypes) {
        QSet<QString> names;
        for (const CatalogPoint& p : cat().points(t)) {
            EXPECT_FALSE(names.contains(p.shortName)) << p.shortName.toStdString();
            names.insert(p.shortName);
        }
    }
}

TEST(CatalogTexts, GroupPrefixes)
{
    struct Prefix {
        PointType type;
        int first;
        int last;
        const char* prefix;
    };
    const Prefix prefixes[] = {
        {PointType::Ain, 0, 13, "Meter: Inst: "},
        {PointType::Ain, 14, 27, "Meter: Forward: "},
        {PointType::Ain, 28, 41, "Meter: Timestamp: "},
        {PointType::Ain, 42, 55, "Meter: Reverse: "},
        {PointType::Ain, 56, 69, "Meter: Timestamp: "},
        {PointType::Ain, 70, 77, "Meter: Fwd/Rev: "},
        {PointType::Ain, 78, 91, "Demand: "},
        {PointType::Ain, 92, 107, "Demand: Forward: "},
        {PointType::Ain, 108, 123, "Demand: Timestamp: "},
        {PointType::Ain, 124, 139, "Demand: Reverse: "},
        {PointType::Ain, 140, 155, "Demand: Timestamp: "},
        {PointType::Ain, 156, 189, "Harmonics: Load Volts: "},
        {PointType::Ain, 190, 223, "Harmonics: Source Volts: "},
        {PointType::Ain, 224, 257, "Harmonics: Load Current: "},
        {PointType::Ain, 258, 267, "Harmonics: %Fundamental: "},
        {PointType::Ain, 268, 273, "Energy: "},
        {PointType::Ain, 274, 287, "Counters: "},
        {PointType::Ain, 288, 325, "Status: "},
        {PointType::Ain, 326, 363, "Misc: "},
        {PointType::Aout, 0, 26, "OpSettings: "},
        {PointType::Aout, 27, 74, "Regulator: "},
        {PointType::Aout, 75, 91, "Comm: "},
        {PointType::Aout, 92, 105, "Passwords: "},
        {PointType::Aout, 106, 111, "ActSettings: "},
    };
    for (const Prefix& pr : prefixes)
        for (int i = pr.first; i <= pr.last; ++i)
            EXPECT_TRUE(cat().point(pr.type, i).shortName.startsWith(u8(pr.prefix)))
                << cat().point(pr.type, i).shortName.toStdString();
    for (const CatalogPoint& p : cat().points(PointType::Counters))
        EXPECT_TRUE(p.shortName.endsWith(QLatin1String(" -- 32bit")));
}

TEST(CatalogTexts, TimestampBlocksRepeatTheEndings)
{
    for (int i = 0; i < 14; ++i) {
        const QString fwd = cat().point(PointType::Ain, 14 + i).shortName.mid(16);
        EXPECT_EQ(cat().point(PointType::Ain, 28 + i).shortName, "Meter: Timestamp: " + fwd);
        const QString rev = cat().point(PointType::Ain, 42 + i).shortName.mid(16);
        EXPECT_EQ(cat().point(PointType::Ain, 56 + i).shortName, "Meter: Timestamp: " + rev);
    }
    for (int i = 0; i < 16; ++i) {
        const QString fwd = cat().point(PointType::Ain, 92 + i).shortName.mid(17);
        EXPECT_EQ(cat().point(PointType::Ain, 108 + i).shortName, "Demand: Timestamp: " + fwd);
        const QString rev = cat().point(PointType::Ain, 124 + i).shortName.mid(17);
        EXPECT_EQ(cat().point(PointType::Ain, 140 + i).shortName, "Demand: Timestamp: " + rev);
    }
}

TEST(CatalogTexts, StatusDescriptionsAreTheEndings)
{
    for (int i = 288; i <= 325; ++i) {
        const CatalogPoint& p = cat().point(PointType::Ain, i);
        EXPECT_EQ(p.description, p.shortName.mid(8));
    }
}

TEST(CatalogTexts, CounterDescriptionsAreTheShortNames)
{
    for (const CatalogPoint& p : cat().points(PointType::Counters))
        EXPECT_EQ(p.description, p.shortName);
}

TEST(CatalogTexts, AlertTimestampsEndInTimeDate)
{
    for (int i = 326; i <= 363; ++i)
        EXPECT_EQ(cat().point(PointType::Ain, i).description.endsWith(QLatin1String(" (time/date)")), i >= 349) << i;
    EXPECT_EQ(cat().point(PointType::Ain, 353).description, "Tap Pos ???? (time/date)");
}

TEST(CatalogTexts, PasswordDescriptions)
{
    const char* const names[] = {"System Key", "Level 1", "Regulator", "Demand", "Counters", "Event/Interval Log",
                                 "Communications", "Configure", "Meter", "Alert", "Log Setup", "Harmonics",
                                 "Diagnostics"};
    for (int i = 0; i < 13; ++i) {
        const CatalogPoint& p = cat().point(PointType::Aout, 92 + i);
        EXPECT_EQ(p.shortName, "Passwords: " + u8(names[i]) + " -- 2 words");
        EXPECT_EQ(p.description, u8(names[i]) + " Password");
    }
}

TEST(CatalogTexts, DegreeSignIsUtf8)
{
    const QString d = cat().point(PointType::Aout, 34).description;
    EXPECT_EQ(d.toUtf8(), QByteArray("Current Shift (in  \xC2\xBA, relative to voltage)"));
    EXPECT_EQ(d.count(QChar(0x00BA)), 1);
}

TEST(CatalogTexts, TrailingBlanksOfEditorTexts)
{
    struct Trailing {
        PointType type;
        int index;
        int blanks;
    };
    const Trailing rows[] = {
        {PointType::Ain, 28, 1},   {PointType::Ain, 259, 1},  {PointType::Ain, 260, 1},  {PointType::Ain, 261, 1},
        {PointType::Ain, 264, 1},  {PointType::Ain, 265, 1},  {PointType::Ain, 266, 1},  {PointType::Ain, 278, 2},
        {PointType::Bin, 9, 1},    {PointType::Bin, 10, 1},   {PointType::Bin, 11, 1},   {PointType::Bin, 13, 1},
        {PointType::Aout, 40, 9},  {PointType::Aout, 92, 12},
    };
    int withTrailing = 0;
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : cat().points(t))
            if (p.editorText.endsWith(QChar(' ')))
                ++withTrailing;
    EXPECT_EQ(withTrailing, static_cast<int>(std::size(rows)));
    for (const Trailing& r : rows) {
        const QString text = cat().point(r.type, r.index).editorText;
        const QString trimmed = text.trimmed();
        EXPECT_EQ(text.size() - trimmed.size(), r.blanks) << text.toStdString();
        EXPECT_EQ(text, trimmed + QString(r.blanks, QChar(' ')));
    }
}

TEST(CatalogTexts, EditorTextDefaultsToTheEnding)
{
    // Points without an editor exception: the short name without prefix and word-count suffix.
    EXPECT_EQ(cat().point(PointType::Ain, 0).editorText, "Vld");
    EXPECT_EQ(cat().point(PointType::Ain, 329).editorText, "Serial Number");
    EXPECT_EQ(cat().point(PointType::Aout, 73).editorText, "Memo Field 2 (10 chars)");
    EXPECT_EQ(cat().point(PointType::Aout, 93).editorText, "Level 1");
    EXPECT_EQ(cat().point(PointType::Aout, 105).editorText, "Password Enables");
    EXPECT_EQ(cat().point(PointType::Bout, 3).editorText, "Active Auto Inhibit");
}

TEST(CatalogTexts, EditorTextsOfTheCounters)
{
    const char* const texts[] = {"KWatt-hours (Forward)",        "KVAR-hours Leading (Forward)",
                                 "KVAR-hours Lagging (Forward)", "KWatt-hours (Reverse)",
                                 "KVAR-hours Leading (Reverse)", "KVAR-hours Lagging (Reverse)",
                                 "Total Operations",             "Elapsed Operations",
                                 "Year-To-Date Operations",      "Last Year Operations"};
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(cat().point(PointType::Counters, i).editorText, u8(texts[i]));
}

// Exact texts and codes of points from every group, exceptions included.
struct Spot {
    PointType type;
    int index;
    int code;
    int words;
    const char* shortName;
    const char* description;
    const char* editorText;
};

const Spot kSpots[] = {
    {PointType::Bin, 0, 2306, 1, "Tap Position Known",
     "Tap Position Known (0 = No; 1 = Yes)",
     "Tap Position Known"},
    {PointType::Bin, 1, 283, 1, "Control Power Direction",
     "Control Power Direction Status (0 = Forward Current Flow; 1 = Reverse Current Flow)",
     "Control Power Direction"},
    {PointType::Bin, 5, 2610, 1, "Remote Control",
     "Remote Operator Transfer Status (0 = \"inactive\"; 1 = \"active\")",
     "Remote Control"},
    {PointType::Bin, 9, 2616, 1, "Auto Inhibit Terminal Block Input",
     "Auto Inhibit Input Status (0 = \"inactive\"; 1 = \"active\")",
     "Auto Inhibit Terminal Block Input "},
    {PointType::Bin, 13, 2620, 1, "Manual (Switch Setting)",
     "Manual Switch Postion Status (0 = \"inactive\"; 1 = \"active\")",
     "Manual (Switch Setting) "},
    {PointType::Bin, 15, 2739, 1, "Manual/Auto Inhibit",
     "Manual/Auto Inhibit",
     "Manual/Auto Inhibit"},
    {PointType::Bout, 0, 1027, 1, "Tap Raise",
     "Tap Raise (Command)",
     "Tap Raise"},
    {PointType::Bout, 2, 2693, 1, "Auto Inhibit",
     "Auto Inhibit (Command)",
     "Auto Inhibit"},
    {PointType::Ain, 0, 258, 1, "Meter: Inst: Vld",
     "Load Voltage (Secondary) (Volts)",
     "Vld"},
    {PointType::Ain, 13, 268, 1, "Meter: Inst: % Regulation",
     "Percent Regulation",
     "% Regulation"},
    {PointType::Ain, 14, 2119, 1, "Meter: Forward: Vld F min",
     "Load Voltage Instantaneous Forward Min",
     "Vld F min"},
    {PointType::Ain, 15, 2131, 1, "Meter: Forward: Vs F min",
     "Source Voltage Instantaneous Forward",
     "Vs F min"},
    {PointType::Ain, 22, 2134, 1, "Meter: Forward: Vs F max",
     "Src Voltage Instantaneous Forward Max",
     "Vs F max"},
    {PointType::Ain, 28, 2120, 1, "Meter: Timestamp: Vld F min",
     "Load Voltage Instantaneous Forward Min Timestamp",
     "Vld F min "},
    {PointType::Ain, 29, 2132, 1, "Meter: Timestamp: Vs F min",
     "Source Voltage Instantaneous Forward Timestamp",
     "Vs F min"},
    {PointType::Ain, 31, 2156, 1, "Meter: Timestamp: Ild F min",
     "Load Current Instantaneous Forward Min (Amps) Timestamp",
     "Ild F min"},
    {PointType::Ain, 36, 2135, 1, "Meter: Timestamp: Vs F max",
     "Src Voltage Instantaneous Forward Max Timestamp",
     "Vs F max"},
    {PointType::Ain, 45, 2161, 1, "Meter: Reverse: Ild R min",
     "Load Current Instantaneous Reverse Min (Amps)",
     "Ild R min"},
    {PointType::Ain, 69, 2207, 1, "Meter: Timestamp: KVAR R max",
     "KVAR Instantaneous Reverse Max Timestamp",
     "KVAR R max"},
    {PointType::Ain, 70, 2167, 1, "Meter: Fwd/Rev: PF min",
     "PF Instantaneous Forward/Reverse Min",
     "PFmin"},
    {PointType::Ain, 71, 2168, 1, "Meter: Fwd/Rev: PF min Tstamp",
     "PF Instantaneous Forward/Reverse Min Timestamp",
     "PFmin Tstamp"},
    {PointType::Ain, 75, 2171, 1, "Meter: Fwd/Rev: PF max Tstamp",
     "PF Instantaneous Forward/Reverse Timestamp",
     "PFmax Tstamp"},
    {PointType::Ain, 77, 2213, 1, "Meter: Fwd/Rev: Freq max Tstamp",
     "Frequency Instantaneous Forward/Reverse Max Timestamp",
     "Freq max Tstamp"},
    {PointType::Ain, 78, 772, 1, "Demand: Vld F",
     "Load Volts Demand (Forward Present)",
     "Vld F"},
    {PointType::Ain, 79, 2105, 1, "Demand: Vs F",
     "Source Voltage Forward Demand",
     "Vs F"},
    {PointType::Ain, 88, 774, 1, "Demand: Ild R",
     "Load I Demand (Reverse Present) (Amps)",
     "Ild R"},
    {PointType::Ain, 92, 792, 1, "Demand: Forward: Vld F min",
     "Load Voltage Demand (Forward Min)",
     "Vld F min"},
    {PointType::Ain, 94, 794, 1, "Demand: Forward: Vcomp F min",
     "Comp Voltage Demand (Forward Min) (Volts)",
     "Vcomp F min"},
    {PointType::Ain, 96, 781, 1, "Demand: Forward: PF@KVAminF",
     "PF at Min. kVA Demand (Forward)",
     "PF@KVAminF"},
    {PointType::Ain, 104, 780, 1, "Demand: Forward: PF@KVAmaxF",
     "PF at Max. kVA Demand (Forward)",
     "PF@KVAmaxF"},
    {PointType::Ain, 111, 2057, 1, "Demand: Timestamp: Ild F min",
     "Load Current Demand (Forward Min) (Amps) Timestamp",
     "Ild F min"},
    {PointType::Ain, 144, 2055, 1, "Demand: Timestamp: PF@KVAminR",
     "PF at Min. kVA Demand (Reverse) Timestamp",
     "PF@KVAminR"},
    {PointType::Ain, 155, 2087, 1, "Demand: Timestamp: KVA R max",
     "kVA Load Demand (Reverse Max) Timestamp",
     "KVA R max"},
    {PointType::Ain, 156, 2896, 1, "Harmonics: Load Volts: THD",
     "Vload Total Harm. Distortion (%)",
     "THD"},
    {PointType::Ain, 157, 2903, 1, "Harmonics: Load Volts: 1st",
     "Vload fundamental, RMS",
     "1st"},
    {PointType::Ain, 158, 2905, 1, "Harmonics: Load Volts: 3rd",
     "Vload 3rd harmonic, RMS",
     "3rd"},
    {PointType::Ain, 173, 2897, 1, "Harmonics: Load Volts: Total",
     "Vload Harmonics RMS value",
     "Total"},
    {PointType::Ain, 174, 2904, 1, "Harmonics: Load Volts: 2nd",
     "Vload 2nd harmonic, RMS",
     "2nd"},
    {PointType::Ain, 184, 2924, 1, "Harmonics: Load Volts: 22nd",
     "Vload 22nd harmonic, RMS",
     "22st"},
    {PointType::Ain, 185, 2926, 1, "Harmonics: Load Volts: 24th",
     "Vload 24th harmonic, RMS",
     "24rd"},
    {PointType::Ain, 189, 2902, 1, "Harmonics: Load Volts: 0(dc)",
     "Vload dc offset",
     "0 (dc)"},
    {PointType::Ain, 190, 2900, 1, "Harmonics: Source Volts: THD",
     "Source Voltage Total Harm. Distortion (%)",
     "THD"},
    {PointType::Ain, 191, 2978, 1, "Harmonics: Source Volts: 1st",
     "Vsource fundamental, RMS",
     "1st"},
    {PointType::Ain, 207, 2901, 1, "Harmonics: Source Volts: Total",
     "Vsource Harmonics RMS value",
     "Total"},
    {PointType::Ain, 218, 2999, 1, "Harmonics: Source Volts: 22nd",
     "Vsource 22nd harmonic, RMS",
     "22st"},
    {PointType::Ain, 224, 2898, 1, "Harmonics: Load Current: THD",
     "Iload Total Harm. Distortion (%)",
     "THD"},
    {PointType::Ain, 241, 2899, 1, "Harmonics: Load Current: Total",
     "Iload Harmonic RMS value",
     "Total"},
    {PointType::Ain, 252, 2959, 1, "Harmonics: Load Current: 22nd",
     "Iload 22nd harmonic, RMS",
     "22st"},
    {PointType::Ain, 257, 2937, 1, "Harmonics: Load Current: 0(dc)",
     "Iload dc offset",
     "0 (dc)"},
    {PointType::Ain, 258, 271, 1, "Harmonics: %Fundamental: 3 Vld%F",
     "3rd Voltage Harmonic (%Fundamental)",
     "3 Vld%F"},
    {PointType::Ain, 259, 272, 1, "Harmonics: %Fundamental: 5 Vld%F",
     "5th Voltage Harmonic (%Fundamental)",
     "5 Vld%F "},
    {PointType::Ain, 263, 276, 1, "Harmonics: %Fundamental: 3 Ild%F",
     "3rd Current Harmonic (%Fundamental)",
     "3 Ild%F"},
    {PointType::Ain, 267, 280, 1, "Harmonics: %Fundamental: 11 Ild%F",
     "11th Current Harmonic (%Fundamental)",
     "11 Ild%F"},
    {PointType::Ain, 268, 2230, 1, "Energy: KWatt-hr Reset Timestamp (Forward)",
     "KWatt-hours Reset Timestamp (Forward)",
     "KWatt-hours Reset Timestamp (Forward)"},
    {PointType::Ain, 273, 2250, 1, "Energy: KVAR-hr Lagging Reset Timestamp (Reverse)",
     "KVAR-hours Lagging Reset Timestamp (Reverse)",
     "KVAR-hours Lagging Reset Timestamp (Reverse)"},
    {PointType::Ain, 274, 2218, 1, "Counters: Tap Max",
     "Tap position Inst. Fwd Max",
     "Tap Maximum"},
    {PointType::Ain, 278, 2319, 1, "Counters: Month-to-Date",
     "Month-To-Date Operations Count",
     "Month-To-Date  "},
    {PointType::Ain, 279, 2322, 1, "Counters: Last Month",
     "Previous Month Operations Count",
     "Last Month"},
    {PointType::Ain, 287, 2305, 1, "Counters: Tap Position",
     "Tap Position (negative => Lower)",
     "Tap Position"},
    {PointType::Ain, 288, 2601, 1, "Status: Voltage Reduction Control (VRC) Status",
     "Voltage Reduction Control (VRC) Status",
     "Voltage Reduction Control (VRC) Status"},
    {PointType::Ain, 293, 1027, 1, "Status: Communications Link Tap Request",
     "Communications Link Tap Request",
     "Communications Link Tap Request"},
    {PointType::Ain, 303, 2617, 1, "Status: VRC1 TB Input",
     "VRC1 TB Input",
     "VRC1 T.B. Input"},
    {PointType::Ain, 304, 2618, 1, "Status: VRC2 TB Output",
     "VRC2 TB Output",
     "VRC2 T.B. Input"},
    {PointType::Ain, 309, 1025, 1, "Status: R/A/M Switch: Binary value",
     "R/A/M Switch: Binary value",
     "R/A/M Switch: Binary value (4-01)"},
    {PointType::Ain, 323, 2710, 1, "Status: CM RAM Error LOW Address",
     "CM RAM Error LOW Address",
     "CM RAM Error Low Address"},
    {PointType::Ain, 325, 4, 1, "Status: Data Port Status",
     "Data Port Status",
     "Data Port Status"},
    {PointType::Ain, 326, 284, 1, "Misc: Voltage Calibration",
     "Voltage Calibration",
     "Voltage Calibration"},
    {PointType::Ain, 329, 2360, 2, "Misc: Serial Number -- 2 words",
     "Serial Number -- 32bit",
     "Serial Number"},
    {PointType::Ain, 332, 2629, 1, "Misc: Frequency",
     "Frequency (x1000)",
     "Frequency (x1000)"},
    {PointType::Ain, 334, 2692, 1, "Misc: Main Proc Self Test Result",
     "Main Processor Self Test Result",
     "Main Proc. Self Test Result"},
    {PointType::Ain, 337, 3048, 1, "Misc: ZE-P MP Reset Status Reg",
     "ZE-P Main Processor Reset Status Register",
     "ZE-P MP Reset Status Register (RSR)"},
    {PointType::Ain, 345, 2691, 1, "Misc: Vref a/d value",
     "Vref a/d value",
     "Vref a/d value"},
    {PointType::Ain, 349, 2645, 1, "Misc: Low Current",
     "Low Current (time/date)",
     "Low Current"},
    {PointType::Ain, 353, 2653, 1, "Misc: Tap Pos ????",
     "Tap Pos ???? (time/date)",
     "Tap Pos ????"},
    {PointType::Ain, 363, 2673, 1, "Misc: Pseudo Manual",
     "Pseudo Manual (time/date)",
     "Pseudo Manual"},
    {PointType::Aout, 0, 541, 1, "OpSettings: Voltage Reduction Mode",
     "Voltage Reduction Mode",
     "Voltage Reduction Mode"},
    {PointType::Aout, 2, 542, 1, "OpSettings: Local Voltage Reduction",
     "Local Voltage Reduction (%)",
     "Local Voltage Reduction"},
    {PointType::Aout, 14, 2714, 1, "OpSettings: VRC1 Terminal Block Input Type (Usage)",
     "VRC1 Terminal Block Input Type (Usage)",
     "VRC 1 Terminal Block Input Type (Usage)"},
    {PointType::Aout, 20, 534, 1, "OpSettings: Resistive Line Drop Compensation (Fwd)",
     "Resistive Line Drop Compensation (Forward)",
     "Resistive Line Drop Compensation (Fwd)"},
    {PointType::Aout, 26, 521, 1, "OpSettings: Reactive Line Drop Compensation (Rev)",
     "Reactive Line Drop Compensation (Reverse)",
     "Reactive Line Drop Compensation (Rev)"},
    {PointType::Aout, 27, 2565, 1, "Regulator: U2 PT Primary",
     "U2 PT Primary (Volts)",
     "U2 PT Primary"},
    {PointType::Aout, 34, 2564, 1, "Regulator: I Shift",
     "Current Shift (in  º, relative to voltage)",
     "I Shift"},
    {PointType::Aout, 38, 515, 1, "Regulator: PT Ratio",
     "PT Ratio",
     "PT Ratio"},
    {PointType::Aout, 40, 527, 1, "Regulator: Regulator ID",
     "Regulator Id  (Range: 0 - 32766)",
     "Regulator ID         "},
    {PointType::Aout, 53, 1027, 1, "Regulator: Raise/Lower Operation",
     "Raise/Lower Operation",
     "Raise/Lower Operation"},
    {PointType::Aout, 57, 2640, 2, "Regulator: Alert Status/ACK (words1&2) -- 2 words",
     "Alert Status/ACK",
     "Alert Status/ACK (words 1&&2)"},
    {PointType::Aout, 62, 2819, 1, "Regulator: Interval Log time period",
     "Interval Log time period (minutes",
     "Interval Log time period"},
    {PointType::Aout, 67, 2622, 1, "Regulator: Min/Max Timeout",
     "Min/Max Timeout",
     "Min./Max. Timeout"},
    {PointType::Aout, 72, 2590, 5, "Regulator: Memo Field 1(10 chars) -- 5 words",
     "Memo Field 1(10 chars)",
     "Memo Field 1 (10 chars)"},
    {PointType::Aout, 73, 2595, 5, "Regulator: Memo Field 2 (10 chars) -- 5 words",
     "Memo Field 2 (10 chars)",
     "Memo Field 2 (10 chars)"},
    {PointType::Aout, 74, 535, 1, "Regulator: Control Operating Mode (AO53)",
     "Control Operating Mode (AO53)",
     "Control Operating Mode (AO53)"},
    {PointType::Aout, 75, 2687, 1, "Comm: CM Protocol",
     "CM Protocol",
     "CM Protocol"},
    {PointType::Aout, 81, 555, 1, "Comm: Address",
     "Communication Address",
     "Address"},
    {PointType::Aout, 85, 2684, 1, "Comm: CM Post Transmit  Delay",
     "CM Post Transmit Delay",
     "CM Post Transmit Delay"},
    {PointType::Aout, 91, 2711, 1, "Comm: Data Port Address Enable",
     "Data Port Address Enable",
     "Data Port Address Enable"},
    {PointType::Aout, 92, 3040, 2, "Passwords: System Key -- 2 words",
     "System Key Password",
     "System Key            "},
    {PointType::Aout, 93, 3016, 2, "Passwords: Level 1 -- 2 words",
     "Level 1 Password",
     "Level 1"},
    {PointType::Aout, 104, 3038, 2, "Passwords: Diagnostics -- 2 words",
     "Diagnostics Password",
     "Diagnostics"},
    {PointType::Aout, 105, 3015, 1, "Passwords: Password Enables",
     "Password Enables",
     "Password Enables"},
    {PointType::Aout, 106, 2754, 1, "ActSettings: Active Bandwidth",
     "Active Bandwidth",
     "Active Bandwidth"},
    {PointType::Aout, 107, 2755, 1, "ActSettings: Active Bandcenter (Voltage Level)",
     "Active Bandcenter (Voltage Level)",
     "Active Bandcenter (Voltage Level)"},
    {PointType::Aout, 111, 2760, 1, "ActSettings: Active Timer",
     "Active Timer",
     "Active Timer"},
    {PointType::Counters, 0, 2228, 2, "KWatt-hr (Forward) -- 32bit",
     "KWatt-hr (Forward) -- 32bit",
     "KWatt-hours (Forward)"},
    {PointType::Counters, 6, 2307, 2, "Total Operations -- 32bit",
     "Total Operations -- 32bit",
     "Total Operations"},
    {PointType::Counters, 9, 2327, 2, "Previous Year Operations Count -- 32bit",
     "Previous Year Operations Count -- 32bit",
     "Last Year Operations"},
};

TEST(CatalogTexts, SpotChecksFromEveryGroup)
{
    std::set<const PointGroup*> groups;
    for (const Spot& s : kSpots) {
        const CatalogPoint& p = cat().point(s.type, s.index);
        SCOPED_TRACE(pointTypeName(s.type).toStdString() + " " + std::to_string(s.index));
        EXPECT_EQ(p.shortName, u8(s.shortName));
        EXPECT_EQ(p.description, u8(s.description));
        EXPECT_EQ(p.editorText, u8(s.editorText));
        EXPECT_EQ(p.panelCode, s.code);
        EXPECT_EQ(p.wordCount, s.words);
        EXPECT_EQ(p.shortName.toUtf8(), QByteArray(s.shortName));
        EXPECT_EQ(p.description.toUtf8(), QByteArray(s.description));
        EXPECT_EQ(p.editorText.toUtf8(), QByteArray(s.editorText));
        groups.insert(p.group);
    }
    EXPECT_EQ(groups.size(), kPointGroups.size());
}

// A fingerprint of the whole catalogue: every field of every point, one tab-separated
// line per point (type, TypeIndex, SelectionIndex, code, second code for Bout, words,
// group, short name, description, editor text). Any changed byte changes it.
TEST(CatalogTexts, FingerprintOfTheWholeCatalogue)
{
    QByteArray all;
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : cat().points(t)) {
            const QStringList fields = {pointTypeName(t),
                                        QString::number(p.typeIndex),
                                        QString::number(p.selectionIndex),
                                        QString::number(p.panelCode),
                                        t == PointType::Bout ? QString::number(p.secondCode) : QString(),
                                        QString::number(p.wordCount),
                                        u8(p.group->name),
                                        p.shortName,
                                        p.description,
                                        p.editorText};
            all += fields.join(QChar('\t')).toUtf8() + '\n';
        }
    EXPECT_EQ(QCryptographicHash::hash(all, QCryptographicHash::Sha256).toHex(),
              QByteArray("3a41ddee2aaf4db6ecfd802589463be1f0b2e001c3a641cfb89ffab621457393"));
}

}  // namespace
}  // namespace dnp
