#include "calibration/RawSpotParser.h"
#include "device/CalReceiveState.h"
#include "device/Protocol.h"
#include "tests/support/PenTestKit.h"
#include "tracking/SpotParser.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace protocol;

namespace
{
// The report of one frame: its packets, then the first packet of a spotless frame.
std::vector<SPOT_SLOT> Report(const std::vector<PEN_POINT>& spots)
{
    (void)FeedMultiSpot(0, MultiSpotFrame(spots));
    return FeedMultiSpot(0, NoSpotBytes(TYPE_FIRST_SPOT));
}

::testing::AssertionResult SlotsAre(const std::vector<SPOT_SLOT>& slots,
                                    const std::vector<PEN_SEEN>& expected)
{
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        if (!(slots[k] == expected[k]))
        {
            std::ostringstream text;
            text << "pen " << k << ": got ";
            PrintTo(slots[k], &text);
            text << ", expected ";
            PrintTo(expected[k], &text);
            return ::testing::AssertionFailure() << text.str();
        }
    }
    return ::testing::AssertionSuccess();
}

const std::vector<PEN_SEEN> NO_PEN = {Lifted(), Lifted(), Lifted(), Lifted()};

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
    (void)FeedMultiSpot(0, bytes);
    const auto slots = FeedMultiSpot(0, NoSpotBytes(TYPE_FIRST_SPOT));
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

TEST_F(MultiSpotTracker, SpotsOfAnUncalibratedCameraAreLost)
{
    m_world.m_state.m_nCalibModel = 5;
    EXPECT_TRUE(SlotsAre(Report({{300, 300}}), NO_PEN));
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

TEST_F(SingleSpotParser, CompletePacketGivesTheScreenPointOnlyOnItsLastByte)
{
    std::vector<SPOT_SLOT> results;
    const auto bytes = SingleSpotBytes(325, 200);
    for (std::size_t n = 0; n < bytes.size(); ++n)
    {
        CAMERA_RECORD record;
        record.rxByte = bytes[n];
        const SPOT_SLOT slot = ParseSingleSpot(0, record);
        if (n + 1 < bytes.size())
            EXPECT_EQ(slot.state, SPOT_NO_CHANGE) << "byte " << n;
        else
            EXPECT_EQ(slot, Present(325, 200));
    }
}

TEST_F(SingleSpotParser, ZeroOrOutOfRangeCoordinatesMeanNoSpot)
{
    // X = 0x145 = 325, Y = 0x000.
    const auto noY = FeedSingleSpot(0, {'$', '2', 0x00, 0x14, 0x50, 0x00, '&'});
    ASSERT_EQ(noY.size(), 1u);
    EXPECT_EQ(noY[0], Lifted());
    const auto at480 = FeedSingleSpot(0, SingleSpotBytes(100, 480));
    ASSERT_EQ(at480.size(), 1u);
    EXPECT_EQ(at480[0], Present(100, 480));
    const auto at481 = FeedSingleSpot(0, SingleSpotBytes(100, 481));
    ASSERT_EQ(at481.size(), 1u);
    EXPECT_EQ(at481[0], Lifted());
    const auto noX = FeedSingleSpot(0, SingleSpotBytes(0, 300));
    ASSERT_EQ(noX.size(), 1u);
    EXPECT_EQ(noX[0], Lifted());
}

TEST_F(SingleSpotParser, TypesOneAndTwoAreAlikeAndOthersAreDropped)
{
    const auto typeTwo = protocol::MakeSingleSpot(40, 50, TYPE_REPLY);
    auto results = FeedSingleSpot(0, std::vector<std::uint8_t>(typeTwo.begin(), typeTwo.end()));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], Present(40, 50));
    const auto typeSeven = protocol::MakeSingleSpot(40, 50, TYPE_FIRST_SPOT);
    results = FeedSingleSpot(0, std::vector<std::uint8_t>(typeSeven.begin(), typeSeven.end()));
    EXPECT_TRUE(results.empty());
}

TEST_F(SingleSpotParser, BrokenEndDropsOnlyThatPacket)
{
    auto bytes = SingleSpotBytes(40, 50);
    bytes.back() = 0x00;
    const auto good = SingleSpotBytes(60, 70);
    bytes.insert(bytes.end(), good.begin(), good.end());
    const auto results = FeedSingleSpot(0, bytes);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], Present(60, 70));
}

TEST_F(SingleSpotParser, SpotWithoutAModelChangesNothing)
{
    m_world.m_state.m_nCalibModel = 7;
    EXPECT_TRUE(FeedSingleSpot(0, SingleSpotBytes(40, 50)).empty());
    // A packet without a spot still lifts the pen.
    EXPECT_EQ(FeedSingleSpot(0, SingleSpotBytes(0, 0)).size(), 1u);
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
    const auto results = FeedRaw(ParseRawSingleSpot, bytes);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0], Present(600, 470));
    EXPECT_EQ(results[1], Lifted());
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
    const auto results = FeedRaw(ParseRawMultiSpot, bytes);
    // '6' with a weight is decoded like '7'.
    ASSERT_EQ(results.size(), 4u);
    EXPECT_EQ(results[0], Present(100, 90));
    EXPECT_EQ(results[1], Present(50, 60));
    EXPECT_EQ(results[2], Lifted());
    EXPECT_EQ(results[3], Lifted());
}

TEST_F(RawSpotParsers, PositionLeftPastThePacketByTheImageDecoderStartsOver)
{
    g_calRxPos = 40;
    g_calRxBuf[1] = 0x55;
    const auto results = FeedRaw(ParseRawMultiSpot, MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], Present(100, 90));
}

TEST_F(RawSpotParsers, HalfPacketOfAnotherTypeInTheSharedBufferIsDropped)
{
    // An image packet in progress left position 5 and its own type byte.
    g_calRxPos = 5;
    g_calRxBuf[1] = 0x49;
    auto bytes = std::vector<std::uint8_t>{0x11, 0x22};
    const auto packet = MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90);
    bytes.insert(bytes.end(), packet.begin(), packet.end());
    const auto results = FeedRaw(ParseRawMultiSpot, bytes);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], Present(100, 90));
}
