// The point catalogue: every field of every point against the golden table
// tests/data/catalog.tsv (a change shows as a diff of that file), the group table, the
// SelectionIndex gaps and the rules the rest of the program relies on.

#include "model/Catalog.h"

#include <QFile>
#include <QStringList>
#include <gtest/gtest.h>

#include <set>

namespace dnp {
namespace {

const PointCatalog& cat()
{
    return PointCatalog::instance();
}

// The TypeIndex of the point of a type with this code, -1 for none.
int indexOfCode(PointType type, std::uint16_t code)
{
    for (const CatalogPoint& p : cat().points(type))
        if (p.panelCode == code)
            return p.typeIndex;
    return -1;
}

QString goldenRow(const CatalogPoint& p)
{
    return QStringList{pointTypeName(p.type),
                       QString::number(p.typeIndex),
                       QString::number(p.selectionIndex),
                       QString::number(p.panelCode),
                       p.type == PointType::Bout ? QString::number(p.secondCode) : QString(),
                       QString::number(p.wordCount),
                       QString::fromUtf8(p.group->name),
                       p.shortName,
                       p.description,
                       p.editorText}
        .join(QLatin1Char('\t'));
}

TEST(CatalogGolden, EveryFieldOfEveryPointAsTheGoldenTable)
{
    QFile file(QStringLiteral(DNP_TEST_DATA "/catalog.tsv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList golden = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_FALSE(golden.isEmpty());
    golden.removeFirst();  // the heading
    QStringList rows;
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : cat().points(t))
            rows << goldenRow(p);
    ASSERT_EQ(rows.size(), golden.size());
    for (int i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].toStdString(), golden[i].toStdString()) << "line " << i + 2 << " of catalog.tsv";
}

TEST(CatalogGolden, CountsAndTypeNames)
{
    const std::array<const char*, kPointTypeCount> names = {"Bin", "Bout", "Ain", "Aout", "Counters"};
    const std::array<int, kPointTypeCount> counts = {16, 4, 364, 112, 10};
    for (PointType t : kAllPointTypes) {
        EXPECT_EQ(pointTypeName(t), names[typeNumber(t)]);
        EXPECT_EQ(pointCount(t), counts[typeNumber(t)]);
        EXPECT_EQ(static_cast<int>(cat().points(t).size()), pointCount(t));
    }
}

struct GroupRow {
    const char* listName;
    ListTag tag;
    int tagNumber;
    PointType type;
    int firstTypeIndex;
    int base;
    int count;
};

const GroupRow kExpectedGroups[] = {
    {"InstCLB", ListTag::InstCLB, 3, PointType::Ain, 0, 0, 14},
    {"ImmCLB", ListTag::ImmCLB, 4, PointType::Ain, 14, 14, 64},
    {"DmdCLB", ListTag::DmdCLB, 5, PointType::Ain, 78, 78, 14},
    {"DmmCLB", ListTag::DmmCLB, 6, PointType::Ain, 92, 92, 64},
    {"HarmCLB", ListTag::HarmCLB, 7, PointType::Ain, 156, 156, 112},
    {"EnergyCLB", ListTag::EnergyCLB, 8, PointType::Ain, 268, 268, 6},
    {"CountCLB", ListTag::CountCLB, 9, PointType::Ain, 274, 274, 14},
    {"CtlStatCLB", ListTag::CtlStatCLB, 10, PointType::Ain, 288, 288, 38},
    {"GenStatCLB", ListTag::GenStatCLB, 11, PointType::Ain, 326, 326, 38},
    {"BinCLB", ListTag::BinCLB, 1, PointType::Bin, 0, 364, 16},
    {"BoutCLB", ListTag::BoutCLB, 2, PointType::Bout, 0, 380, 4},
    {"SetPtCLB", ListTag::SetPtCLB, 12, PointType::Aout, 0, 388, 27},
    {"RegSetCLB", ListTag::RegSetCLB, 13, PointType::Aout, 27, 415, 48},
    {"CommSetCLB", ListTag::CommSetCLB, 14, PointType::Aout, 75, 464, 17},
    {"PwCLB", ListTag::PwCLB, 15, PointType::Aout, 92, 481, 14},
    {"ActSetPtCLB", ListTag::ActSetPtCLB, 17, PointType::Aout, 106, 495, 6},
    {"Counter32bCLB", ListTag::Counter32bCLB, 16, PointType::Counters, 0, 501, 10},
};

TEST(CatalogGroups, TableOfBasesTagsAndCounts)
{
    ASSERT_EQ(kPointGroups.size(), std::size(kExpectedGroups));
    for (std::size_t i = 0; i < kPointGroups.size(); ++i) {
        const PointGroup& g = kPointGroups[i];
        const GroupRow& e = kExpectedGroups[i];
        SCOPED_TRACE(e.listName);
        EXPECT_STREQ(g.listName, e.listName);
        EXPECT_EQ(g.tag, e.tag);
        EXPECT_EQ(tagNumber(g.tag), e.tagNumber);
        EXPECT_EQ(g.type, e.type);
        EXPECT_EQ(g.firstTypeIndex, e.firstTypeIndex);
        EXPECT_EQ(g.base, e.base);
        EXPECT_EQ(g.count, e.count);
        EXPECT_EQ(groupByTag(e.tagNumber), &g);
        EXPECT_EQ(&groupOf(e.tag), &g);
        for (int k = 0; k < g.count; ++k)
            EXPECT_EQ(cat().bySelectionIndex(g.base + k), &cat().point(g.type, g.firstTypeIndex + k));
    }
    EXPECT_EQ(groupByTag(0), nullptr);
    EXPECT_EQ(groupByTag(18), nullptr);
}

TEST(CatalogGroups, FreeSelectionIndicesHaveNoPoint)
{
    for (int s : {384, 385, 386, 387, 463, -1, 511, 512}) {
        EXPECT_EQ(cat().bySelectionIndex(s), nullptr) << s;
        EXPECT_EQ(groupBySelectionIndex(s), nullptr) << s;
    }
    int withPoint = 0;
    for (int s = 0; s < kSelectionSize; ++s)
        withPoint += cat().bySelectionIndex(s) ? 1 : 0;
    EXPECT_EQ(withPoint, 506);
}

TEST(CatalogRules, CodesAreUniqueWithinATypeAndFitIn12Bits)
{
    for (PointType t : kAllPointTypes) {
        std::set<std::uint16_t> codes;
        for (const CatalogPoint& p : cat().points(t)) {
            EXPECT_LT(p.panelCode, 4096) << p.shortName.toStdString();
            EXPECT_TRUE(codes.insert(p.panelCode).second) << p.panelCode << " twice in " << pointTypeName(t).toStdString();
            // The further words of a multi-word point are no other point's code.
            if (t != PointType::Counters) {
                for (int w = 1; w < p.wordCount; ++w) {
                    EXPECT_EQ(indexOfCode(t, static_cast<std::uint16_t>(p.panelCode + w)), -1);
                }
            }
        }
    }
}

TEST(CatalogRules, CodesRepeatAcrossTypes)
{
    struct Shared {
        std::uint16_t code;
        PointType a;
        int atA;
        PointType b;
        int atB;
    };
    const Shared shared[] = {
        {1027, PointType::Ain, 293, PointType::Aout, 53}, {1027, PointType::Bout, 0, PointType::Ain, 293},
        {2307, PointType::Aout, 52, PointType::Counters, 6}, {2603, PointType::Bin, 2, PointType::Ain, 296},
        {2621, PointType::Bin, 14, PointType::Ain, 306},   {2819, PointType::Ain, 348, PointType::Aout, 62},
    };
    for (const Shared& s : shared) {
        EXPECT_EQ(indexOfCode(s.a, s.code), s.atA) << s.code;
        EXPECT_EQ(indexOfCode(s.b, s.code), s.atB) << s.code;
    }
    EXPECT_EQ(cat().point(PointType::Bout, 2).panelCode, 2693);
    EXPECT_EQ(cat().point(PointType::Bout, 2).secondCode, 554);
}

TEST(CatalogRules, ShortNamesHaveNoSeparatorsAndOneDoubledBlank)
{
    int doubled = 0;
    for (PointType t : kAllPointTypes)
        for (const CatalogPoint& p : cat().points(t)) {
            for (QChar c : {QChar(','), QChar(';'), QChar('|')})
                EXPECT_FALSE(p.shortName.contains(c)) << p.shortName.toStdString();
            doubled += p.shortName.contains(QStringLiteral("  ")) ? 1 : 0;
        }
    EXPECT_EQ(doubled, 1);
    EXPECT_EQ(cat().point(PointType::Aout, 85).shortName, "Comm: CM Post Transmit  Delay");
}

TEST(CatalogRules, MultiWordPoints)
{
    for (PointType t : kAllPointTypes)
        for (int i = 0; i < pointCount(t); ++i) {
            int expected = t == PointType::Counters ? 2 : 1;
            if ((t == PointType::Ain && i == 329) || (t == PointType::Aout && (i == 57 || (i >= 92 && i <= 104))))
                expected = 2;
            if (t == PointType::Aout && (i == 72 || i == 73))
                expected = 5;
            EXPECT_EQ(cat().point(t, i).wordCount, expected) << pointTypeName(t).toStdString() << " " << i;
        }
}

}  // namespace
}  // namespace dnp
