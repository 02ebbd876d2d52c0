#include "calibration/RawSpotParser.h"
#include "device/CalReceiveState.h"
#include "device/Protocol.h"
#include "tests/support/PenTestKit.h"
#include "tracking/SpotParser.h"

#include <gtest/gtest.h>

using namespace protocol;

namespace
{
// Feeds bytes to a parser of camera 0; every result that was not "no change".
std::vector<SPOT_SLOT> Feed(SPOT_SLOT (*parser)(CAMERA_RECORD),
                            const std::vector<std::uint8_t>& bytes)
{
    std::vector<SPOT_SLOT> results;
    for (std::uint8_t byte : bytes)
    {
        CAMERA_RECORD record;
        record.rxByte = byte;
        record.bytesRead = 1;
        const SPOT_SLOT slot = parser(record);
        if (slot.state != SPOT_NO_CHANGE)
            results.push_back(slot);
    }
    return results;
}

SPOT_SLOT SingleSpot(CAMERA_RECORD record)
{
    return ParseSingleSpot(0, record);
}

// Feeds bytes to ParseMultiSpot; the four pen slots after the last byte.
std::vector<SPOT_SLOT> FeedMultiSpot(const std::vector<std::uint8_t>& bytes)
{
    std::vector<SPOT_SLOT> slots(PEN_SLOTS);
    for (std::uint8_t byte : bytes)
    {
        CAMERA_RECORD record;
        record.rxByte = byte;
        record.bytesRead = 1;
        ParseMultiSpot(0, record, slots.data());
    }
    return slots;
}

// The report of one frame: its packets, then the first packet of a spotless frame.
std::vector<SPOT_SLOT> Report(const std::vector<PEN_POINT>& spots)
{
    (void)FeedMultiSpot(MultiSpotFrame(spots));
    return FeedMultiSpot(NoSpotBytes(TYPE_FIRST_SPOT));
}

SPOT_SLOT Present(int x, int y)
{
    return SPOT_SLOT{x, y, SPOT_PRESENT};
}

SPOT_SLOT Lifted()
{
    return SPOT_SLOT{0, 0, SPOT_ABSENT};
}

// The parser's results, or the four pen slots, are the expected ones; only a present pen's
// position means anything.
::testing::AssertionResult SlotsAre(const std::vector<SPOT_SLOT>& slots,
                                    const std::vector<SPOT_SLOT>& expected)
{
    bool same = slots.size() == expected.size();
    for (std::size_t k = 0; same && k < slots.size(); ++k)
        same = slots[k].state == expected[k].state &&
               (slots[k].state != SPOT_PRESENT ||
                (slots[k].x == expected[k].x && slots[k].y == expected[k].y));
    if (same)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << ::testing::PrintToString(slots)
                                         << ", expected " << ::testing::PrintToString(expected);
}

const std::vector<SPOT_SLOT> NO_PEN = {Lifted(), Lifted(), Lifted(), Lifted()};

class MultiSpotTracker : public ::testing::Test
{
protected:
    CPenWorld m_world;
};
} // namespace

TEST_F(MultiSpotTracker, BytesBetweenPacketsAreSkipped)
{
    std::vector<std::uint8_t> bytes = {'x', '&', '7', 0x00};
    const auto spot = MultiSpotBytes(TYPE_FIRST_SPOT, 200, 150);
    bytes.insert(bytes.end(), spot.begin(), spot.end());
    // '$' '$' '8' ...: the second '$' is taken as the type and loses the packet.
    bytes.push_back('$');
    const auto dropped = MultiSpotBytes(TYPE_SECOND_SPOT, 400, 300);
    bytes.insert(bytes.end(), dropped.begin(), dropped.end());
    (void)FeedMultiSpot(bytes);
    const auto slots = FeedMultiSpot(NoSpotBytes(TYPE_FIRST_SPOT));
    EXPECT_TRUE(SlotsAre(slots, {Present(200, 150), Lifted(), Lifted(), Lifted()}));
}

TEST_F(MultiSpotTracker, SpotsOutsideTheActiveMonitorAreDropped)
{
    // Monitor 0 holds 0 < x <= 1024, 0 < y <= 768.
    EXPECT_TRUE(
        SlotsAre(Report({{1024, 768}}), {Present(1024, 768), Lifted(), Lifted(), Lifted()}));
    ResetSpotTracking();
    EXPECT_TRUE(SlotsAre(Report({{1025, 300}}), NO_PEN));
    // A zero coordinate is not a usable point.
    EXPECT_TRUE(SlotsAre(Report({{0, 300}}), NO_PEN));
}

TEST(PenDistance, TruncatesAndNeverOverflows)
{
    EXPECT_EQ(PenDistance(0, 0, 30, 30), 42);
    EXPECT_EQ(PenDistance(100, 100, 30, 30), 98);
    EXPECT_EQ(PenDistance(5, 5, 5, 5), 0);
    EXPECT_EQ(PenDistance(-3, 0, 0, 4), 5);
    EXPECT_EQ(PenDistance(-2000000000, 0, 2000000000, 0), 2147483647);
    EXPECT_EQ(PenDistance(0, -60000, 0, 60000), 120000);
}

namespace
{
class SingleSpotParser : public ::testing::Test
{
protected:
    CPenWorld m_world{PEN_WORLD_OPTIONS{1, 1.10}};
};
} // namespace

TEST_F(SingleSpotParser, ZeroOrOutOfRangeCoordinatesMeanNoSpot)
{
    // X = 0x145 = 325, Y = 0x000.
    EXPECT_TRUE(SlotsAre(Feed(SingleSpot, {'$', '2', 0x00, 0x14, 0x50, 0x00, '&'}), {Lifted()}));
    EXPECT_TRUE(SlotsAre(Feed(SingleSpot, SingleSpotBytes(100, 480)), {Present(100, 480)}));
    EXPECT_TRUE(SlotsAre(Feed(SingleSpot, SingleSpotBytes(100, 481)), {Lifted()}));
    EXPECT_TRUE(SlotsAre(Feed(SingleSpot, SingleSpotBytes(0, 300)), {Lifted()}));
}

TEST_F(SingleSpotParser, TypesOneAndTwoAreAlikeAndOthersAreDropped)
{
    const auto typeTwo = protocol::MakeSingleSpot(40, 50, TYPE_REPLY);
    EXPECT_TRUE(SlotsAre(Feed(SingleSpot, {typeTwo.begin(), typeTwo.end()}), {Present(40, 50)}));
    const auto typeSeven = protocol::MakeSingleSpot(40, 50, TYPE_FIRST_SPOT);
    EXPECT_TRUE(SlotsAre(Feed(SingleSpot, {typeSeven.begin(), typeSeven.end()}), {}));
}

TEST_F(SingleSpotParser, BrokenEndDropsOnlyThatPacket)
{
    auto bytes = SingleSpotBytes(40, 50);
    bytes.back() = 0x00;
    const auto good = SingleSpotBytes(60, 70);
    bytes.insert(bytes.end(), good.begin(), good.end());
    EXPECT_TRUE(SlotsAre(Feed(SingleSpot, bytes), {Present(60, 70)}));
}

TEST_F(SingleSpotParser, SpotWithoutAModelChangesNothing)
{
    m_world.m_state.m_nCalibModel = 7;
    EXPECT_TRUE(Feed(SingleSpot, SingleSpotBytes(40, 50)).empty());
    // A packet without a spot still lifts the pen.
    EXPECT_EQ(Feed(SingleSpot, SingleSpotBytes(0, 0)).size(), 1u);
}

namespace
{
class RawSpotParsers : public ::testing::Test
{
protected:
    CPenWorld m_world{PEN_WORLD_OPTIONS{1, 1.23, 1024, 768, false}};
};
} // namespace

TEST_F(RawSpotParsers, SingleSpotGivesCameraPixelsWithoutAnyModel)
{
    auto bytes = SingleSpotBytes(600, 470);
    const auto none = SingleSpotBytes(0, 470);
    bytes.insert(bytes.end(), none.begin(), none.end());
    EXPECT_TRUE(SlotsAre(Feed(ParseRawSingleSpot, bytes), {Present(600, 470), Lifted()}));
}

TEST_F(RawSpotParsers, MultiSpotTakesOnlyTheFirstSpotOfEachFrame)
{
    std::vector<std::uint8_t> bytes;
    for (const auto& packet :
         {MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90), MultiSpotBytes(TYPE_SECOND_SPOT, 300, 200),
          MultiSpotBytes(TYPE_THIRD_SPOT, 310, 200), MultiSpotBytes(TYPE_FOURTH_SPOT, 320, 200),
          MultiSpotBytes(TYPE_NO_SPOT, 50, 60), NoSpotBytes(TYPE_FIRST_SPOT),
          MultiSpotBytes(TYPE_FIRST_SPOT, 0, 60)})
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    // '6' with a weight is decoded like '7'.
    EXPECT_TRUE(SlotsAre(Feed(ParseRawMultiSpot, bytes),
                         {Present(100, 90), Present(50, 60), Lifted(), Lifted()}));
}

TEST_F(RawSpotParsers, PositionLeftPastThePacketByTheImageDecoderStartsOver)
{
    g_calRxPos = 40;
    g_calRxBuf[1] = 0x55;
    EXPECT_TRUE(SlotsAre(Feed(ParseRawMultiSpot, MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90)),
                         {Present(100, 90)}));
}

TEST_F(RawSpotParsers, HalfPacketOfAnotherTypeInTheSharedBufferIsDropped)
{
    // An image packet in progress left position 5 and its own type byte.
    g_calRxPos = 5;
    g_calRxBuf[1] = 0x49;
    auto bytes = std::vector<std::uint8_t>{0x11, 0x22};
    const auto packet = MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90);
    bytes.insert(bytes.end(), packet.begin(), packet.end());
    EXPECT_TRUE(SlotsAre(Feed(ParseRawMultiSpot, bytes), {Present(100, 90)}));
}
