// dnpcfg image and decode, run as the built program.

#include "comm/ConfigImage.h"
#include "comm/ImageText.h"
#include "files/ConfigFile.h"

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include "support/RunDnpcfg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace dnp;

namespace {

using test::afterFirstLine;
using test::fileBytes;
using test::writeBytes;

test::ProgramRun dnpcfg(const QStringList& args)
{
    return test::runDnpcfg(args);
}

const QDateTime kMoment(QDate(2024, 3, 5), QTime(8, 15, 0));

void chooseClass0(ConfigState& state, PointType type, const std::vector<int>& order)
{
    std::vector<int> chosen = order;
    std::sort(chosen.begin(), chosen.end());
    for (std::size_t i = 0; i < chosen.size(); ++i) {
        state.setSelected(0, type, chosen[i], true);
        state.Class0Order[typeNumber(type)][chosen[i]] = order[i];
    }
}

QString imageText(const std::vector<std::uint16_t>& list, const std::array<std::uint16_t, 8>& trailer,
                  const std::array<std::uint16_t, 6>& unsolicited, std::uint16_t mapping = 8)
{
    ConfigImage image{};
    image[0] = mapping;
    std::copy(list.begin(), list.end(), image.begin() + 1);
    std::copy(unsolicited.begin(), unsolicited.end(), image.begin() + 241);
    std::copy(trailer.begin(), trailer.end(), image.begin() + 248);
    return formatImageText(image);
}

class ImageCommands : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }
    QString saveConfiguration(const ConfigState& state, const QString& name)
    {
        writeBytes(path(name), composeConfigFile(state, kMoment));
        return path(name);
    }
    QTemporaryDir dir;
};

constexpr std::uint16_t X = 0xFFFF;

TEST_F(ImageCommands, ImagePrintsTheSendImageOfAFile)
{
    ConfigState state;
    chooseClass0(state, PointType::Bin, {5, 0});
    chooseClass0(state, PointType::Counters, {6});
    state.setSelected(1, PointType::Bin, 0, true);
    state.setSelected(3, PointType::Counters, 6, true);
    state.UnsolicitedSettings = {125, 778, 20, 256, 1000, 0};
    const QString config = saveConfiguration(state, "two.dnp");

    const test::ProgramRun run = dnpcfg({"image", config});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, "");
    const QString expected =
        imageText({2610, 0x1000 | 2306, 0x8000 | 0x4000 | 2307, 1}, {1, X, X, X, X, 3, 0, 4}, {125, 778, 20, 256, 1000, 0});
    EXPECT_EQ(run.out, expected);
    EXPECT_TRUE(run.out.startsWith("0008 0A32 1902 C903 0001 0000"));
    EXPECT_TRUE(run.out.endsWith("0001 FFFF FFFF FFFF FFFF 0003 0000 0004\n"));
}

TEST_F(ImageCommands, OtherMappingsSendOnlyTheirCode)
{
    ConfigState state;
    const QString config = saveConfiguration(state, "empty.dnp");
    const test::ProgramRun uninitialized = dnpcfg({"image", config, "--mapping", "uninitialized"});
    EXPECT_EQ(uninitialized.status, 0);
    EXPECT_EQ(uninitialized.out, imageText({}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 1));
    const test::ProgramRun subset = dnpcfg({"image", config, "--mapping=subset"});
    EXPECT_EQ(subset.status, 0);
    EXPECT_EQ(subset.out, imageText({}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 4));
}

TEST_F(ImageCommands, ARefusedSendPrintsItsMessage)
{
    ConfigState state;
    const QString empty = saveConfiguration(state, "empty.dnp");
    const test::ProgramRun none = dnpcfg({"image", empty});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "dnpcfg: No configurations chosen, please return to class menu.\n");

    std::vector<int> ain(232);
    for (int i = 0; i < 232; ++i)
        ain[i] = i;
    chooseClass0(state, PointType::Ain, ain);
    chooseClass0(state, PointType::Aout, {72, 73});
    const test::ProgramRun full = dnpcfg({"image", saveConfiguration(state, "full.dnp")});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.out, "");
    EXPECT_EQ(full.err, "dnpcfg: There are more than 240 data points chosen, please return to class meu.\n");
}

TEST_F(ImageCommands, UsageAndFileErrors)
{
    ConfigState state;
    const QString config = saveConfiguration(state, "empty.dnp");
    EXPECT_EQ(dnpcfg({"image"}).status, 2);
    EXPECT_EQ(dnpcfg({"image", config, "--mapping", "full"}).status, 2);
    EXPECT_EQ(dnpcfg({"image", path("missing.dnp")}).status, 1);
    EXPECT_EQ(dnpcfg({"decode", config}).status, 2);
    EXPECT_EQ(dnpcfg({"decode", "-o", path("out.dnp")}).status, 2);

    writeBytes(path("bad.txt"), "0008 0001\n0002 zz");
    const test::ProgramRun bad = dnpcfg({"decode", path("bad.txt"), "-o", path("out.dnp")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "dnpcfg: " + path("bad.txt") + ", line 2, column 6: 'zz' is not a 16-bit hexadecimal word\n");
    EXPECT_FALSE(QFile::exists(path("out.dnp")));

    writeBytes(path("short.txt"), "0008 0001");
    const test::ProgramRun shortImage = dnpcfg({"decode", path("short.txt"), "-o", path("out.dnp")});
    EXPECT_EQ(shortImage.status, 1);
    EXPECT_EQ(shortImage.err, "dnpcfg: " + path("short.txt") + ", the image has 2 words; 256 are needed\n");
}

TEST_F(ImageCommands, DecodeWritesTheRetrievedConfiguration)
{
    // Bin 5 then Bin 0 (class 1), Bout 2, Ain 3 before Ain 1, Aout 72, counter 6 (class 3).
    const QString text = imageText({2610, 0x1000 | 2306, 2693, 554, 257, 260, 2590, 2591, 2592, 2593, 2594,
                                    0x8000 | 0x4000 | 2307, 1},
                                   {1, 3, 5, 7, 4, 12, 0, 13}, {125, 778, 0, 0x0A05, 1000, 256});
    writeBytes(path("image.txt"), text.toLatin1());
    const test::ProgramRun run = dnpcfg({"decode", path("image.txt"), "-o", path("out.dnp")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out,
              "mapping 8: Individual Mapping (per this document)\n"
              "Bin: 2\n"
              "    0 Remote Control\n"
              "    1 Tap Position Known\n"
              "Bout: 1\n"
              "    0 Auto Inhibit\n"
              "Ain: 2\n"
              "    0 Meter: Inst: Ild\n"
              "    1 Meter: Inst: Vs\n"
              "Aout: 1\n"
              "  0\u20134 Regulator: Memo Field 1(10 chars) -- 5 words\n"
              "Counters: 1\n"
              "  0\u20131 Total Operations -- 32bit\n")
        << run.out.toStdString();

    ConfigState expected;
    chooseClass0(expected, PointType::Bin, {5, 0});
    chooseClass0(expected, PointType::Bout, {2});
    chooseClass0(expected, PointType::Ain, {3, 1});
    chooseClass0(expected, PointType::Aout, {72});
    chooseClass0(expected, PointType::Counters, {6});
    expected.setSelected(1, PointType::Bin, 0, true);
    expected.setSelected(3, PointType::Counters, 6, true);
    expected.UnsolicitedSettings = {125, 778, 0, 0x0A05, 1000, 256};
    EXPECT_EQ(afterFirstLine(fileBytes(path("out.dnp"))), afterFirstLine(composeConfigFile(expected, kMoment)));

    // And the file sends the same image again.
    const test::ProgramRun again = dnpcfg({"image", path("out.dnp")});
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, text);
}

TEST_F(ImageCommands, DecodeOfASubsetImageLeavesAnEmptyConfiguration)
{
    writeBytes(path("subset.txt"), imageText({}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 4).toLatin1());
    const test::ProgramRun run = dnpcfg({"decode", path("subset.txt"), "-o", path("out.dnp")});
    ASSERT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "mapping 4: CM version 2.04+ Subset Mapping\nBin: 0\nBout: 0\nAin: 0\nAout: 0\nCounters: 0\n");
    ConfigState expected;
    expected.UnsolicitedSettings = {0, 0, 0, 0, 0, 0};
    EXPECT_EQ(afterFirstLine(fileBytes(path("out.dnp"))), afterFirstLine(composeConfigFile(expected, kMoment)));
}

// A panel that lists one point 240 times: the listing names it once.
TEST_F(ImageCommands, DecodeListsEachPointOnce)
{
    writeBytes(path("repeat.txt"), imageText(std::vector<std::uint16_t>(240, 2306), {1, X, X, X, X, X, 0, 240},
                                             {20, 256, 20, 256, 20, 256})
                                       .toLatin1());
    const test::ProgramRun run = dnpcfg({"decode", path("repeat.txt"), "-o", path("out.dnp")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Bin: 1\n    0 Tap Position Known\nBout: 0\n")) << run.out.toStdString();  // once
}

TEST_F(ImageCommands, ImageDecodeImageIsTheIdentity)
{
    std::mt19937 rng(31);
    std::uniform_int_distribution<int> percent(0, 99);
    int compared = 0;
    for (int round = 0; round < 25; ++round) {
        ConfigState state;
        const int share = 1 + percent(rng) % 30;
        for (PointType t : kAllPointTypes) {
            std::vector<int> order;
            for (int k = 0; k < pointCount(t); ++k)
                if (percent(rng) < share)
                    order.push_back(k);
            std::shuffle(order.begin(), order.end(), rng);
            chooseClass0(state, t, order);
            for (int k : order) {
                const int cls = percent(rng) % 4;
                if (cls > 0)
                    state.setSelected(cls, t, k, true);
            }
        }
        for (int cls = 1; cls <= 3; ++cls) {
            state.UnsolicitedSettings[(cls - 1) * 2] = static_cast<std::uint16_t>(percent(rng) * 10);
            state.UnsolicitedSettings[(cls - 1) * 2 + 1] = static_cast<std::uint16_t>(percent(rng) * 601);
        }
        const QString config = saveConfiguration(state, QStringLiteral("r%1.dnp").arg(round));
        const test::ProgramRun first = dnpcfg({"image", config});
        if (first.status != 0) {
            EXPECT_EQ(first.err, "dnpcfg: There are more than 240 data points chosen, please return to class meu.\n");
            continue;
        }
        const QString imagePath = path(QStringLiteral("r%1.txt").arg(round));
        writeBytes(imagePath, first.out.toLatin1());
        const QString decoded = path(QStringLiteral("r%1-back.dnp").arg(round));
        ASSERT_EQ(dnpcfg({"decode", imagePath, "-o", decoded}).status, 0);
        const test::ProgramRun second = dnpcfg({"image", decoded});
        ASSERT_EQ(second.status, 0);
        ASSERT_EQ(second.out, first.out) << "round " << round;
        ++compared;
    }
    EXPECT_GT(compared, 15);
}

}  // namespace
