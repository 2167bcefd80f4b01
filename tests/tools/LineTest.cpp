// Several panels on one line: each address answers with its own image and counts its
// own requests; a frame for any other address goes unanswered.

#include "Line.h"
#include "support/FrameBytes.h"

#include <gtest/gtest.h>

using namespace dnp;
using namespace dnp::test;
using namespace dnp::frames;
using namespace dnp::sim;

namespace {

QByteArray readWord255(int address)
{
    return envelope({true, address}, bytes({kReadCommand, 0xFF, 0x01}));
}

// Station s starts with word 255 = 0x1000 * (s + 1) + 0xFF.
Line threePanels(const Faults& faults = {})
{
    Line line({1, 2, 3}, faults);
    for (std::size_t s = 0; s < line.stations().size(); ++s)
        line.stations()[s].panel.image = countingImage(static_cast<std::uint16_t>(0x1000 * (s + 1)));
    return line;
}

}  // namespace

TEST(SharedLine, EachAddressAnswersWithItsOwnImage)
{
    Line line = threePanels();
    const struct {
        int address;
        QByteArray reply;
    } cases[] = {
        {1, bytes({0x01, 0x05, 0x00, 0x10, 0xFF, 0xEB})},
        {2, bytes({0x02, 0x05, 0x00, 0x20, 0xFF, 0xDA})},
        {3, bytes({0x03, 0x05, 0x00, 0x30, 0xFF, 0xC9})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const std::vector<Heard> heard = line.receive(readWord255(c.address));
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].station, static_cast<std::size_t>(c.address - 1));
        EXPECT_EQ(heard[0].answer.reply, c.reply);
    }
    EXPECT_TRUE(line.takeDropped().empty());
}

TEST(SharedLine, AWriteIsStoredByItsAddressOnly)
{
    Line line = threePanels();
    const ConfigImage written = countingImage(0x7000);
    const std::vector<Heard> heard = line.receive(composeWriteFrame(18, written, {true, 2}));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].answer.reply, bytes({0x02, 0x03, 0x00, 0xFB}));
    EXPECT_TRUE(heard[0].answer.imageComplete);
    EXPECT_EQ(line.stations()[0].panel.image[255], 0x10FF);
    EXPECT_EQ(line.stations()[1].panel.image[255], 0x70FF);
    EXPECT_EQ(line.stations()[2].panel.image[255], 0x30FF);
}

TEST(SharedLine, AnUnlistedAddressGetsNoAnswer)
{
    Line line = threePanels();
    // The frame for address 4 sits between two others in one piece of the stream.
    const std::vector<Heard> heard = line.receive(readWord255(1) + readWord255(4) + readWord255(3));
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].station, 0u);
    EXPECT_EQ(heard[1].station, 2u);
    const std::vector<Dropped> dropped = line.takeDropped();
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0].bytes, 6);
    EXPECT_EQ(dropped[0].reason, QStringLiteral("for address 4, not ours"));
}

TEST(SharedLine, EachAddressCountsItsOwnRequests)
{
    Faults faults;
    faults.silentAt = {2};
    Line line = threePanels(faults);
    const struct {
        int address;
        int request;
        bool answered;
    } cases[] = {{1, 1, true}, {2, 1, true}, {1, 2, false}, {3, 1, true}, {2, 2, false}, {1, 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        const std::vector<Heard> heard = line.receive(readWord255(c.address));
        ASSERT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].answer.request, c.request);
        EXPECT_EQ(!heard[0].answer.reply.isEmpty(), c.answered);
    }
}

TEST(SharedLine, WithoutAddressesOnePanelAnswersEveryFrame)
{
    Line line({}, {});
    ASSERT_EQ(line.stations().size(), 1u);
    EXPECT_FALSE(line.addressed());
    const std::vector<Heard> heard = line.receive(composeReadFrame(18, {}));
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].answer.reply, bytes({0x05, 0x00, 0x00, 0x00, 0xFB}));
}

TEST(SharedLine, AnAddressAnswersItsLowByte)
{
    Line line({300}, {});
    EXPECT_EQ(line.receive(readWord255(44)).size(), 1u);
    EXPECT_TRUE(line.receive(readWord255(45)).empty());
}
