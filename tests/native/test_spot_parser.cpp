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
// Sends the frames in order, then the '7' of a spotless frame. A frame is reported by the
// first packet of the frame after it; the reports of the given frames, in order.
std::vector<std::vector<SPOT_SLOT>> Reports(const std::vector<std::vector<PEN_POINT>>& frames)
{
    std::vector<std::vector<SPOT_SLOT>> reports;
    for (std::size_t k = 0; k <= frames.size(); ++k)
    {
        const auto bytes = k < frames.size() ? MultiSpotFrame(frames[k]) : MultiSpotFrame({});
        const std::vector<std::uint8_t> first(bytes.begin(), bytes.begin() + MULTI_SPOT_LENGTH);
        const auto slots = FeedMultiSpot(0, first);
        if (k > 0)
            reports.push_back(slots);
        (void)FeedMultiSpot(
            0, std::vector<std::uint8_t>(bytes.begin() + MULTI_SPOT_LENGTH, bytes.end()));
    }
    return reports;
}

std::vector<SPOT_SLOT> Report(const std::vector<PEN_POINT>& spots)
{
    return Reports({spots}).front();
}

// The frame before the test's first frame held these pens in these slots, and so did the
// frame before it.
void SteadyPens(const std::vector<PEN_POINT>& pens)
{
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        g_ptPrev[k] = k < int(pens.size()) ? pens[k] : PEN_POINT{};
        g_ptCur[k] = g_ptPrev[k];
        g_ptNew[k] = PEN_POINT{};
    }
}

std::vector<PEN_SEEN> Pens(PEN_SEEN a, PEN_SEEN b, PEN_SEEN c, PEN_SEEN d)
{
    return {a, b, c, d};
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

class MultiSpotTracker : public ::testing::Test
{
protected:
    CPenWorld m_world;
};
} // namespace

TEST_F(MultiSpotTracker, BrokenLastByteReportsNothingAndTheNextPacketIsReceived)
{
    SteadyPens({{100, 100}});
    auto broken = MultiSpotBytes(TYPE_FIRST_SPOT, 500, 500);
    broken.back() = '%';
    auto slots = FeedMultiSpot(0, broken);
    EXPECT_TRUE(SlotsAre(slots, Pens(Unchanged(), Unchanged(), Unchanged(), Unchanged())));
    EXPECT_EQ(g_rxPos[0], 0);
    slots = FeedMultiSpot(0, MultiSpotBytes(TYPE_FIRST_SPOT, 110, 100));
    EXPECT_TRUE(SlotsAre(slots, Pens(Present(100, 100), Lifted(), Lifted(), Lifted())));
    EXPECT_EQ(g_ptCur[0].x, 110);
}

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
    EXPECT_TRUE(SlotsAre(slots, Pens(Present(200, 150), Lifted(), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, FirstSlotWithinEightyWinsOverANearerLaterSlot)
{
    SteadyPens({{100, 100}, {}, {220, 100}});
    // 70 pixels from pen 0, 50 from pen 2.
    const auto slots = Report({{170, 100}});
    EXPECT_TRUE(SlotsAre(slots, Pens(Present(170, 100), Lifted(), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, LaterSpotMatchingTheSameSlotReplacesTheEarlierOne)
{
    SteadyPens({{100, 100}});
    const auto slots = Report({{110, 100}, {150, 100}});
    EXPECT_TRUE(SlotsAre(slots, Pens(Present(150, 100), Lifted(), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, ThirdAndFourthSpotsMatchOnlyWithinForty)
{
    // A '9' spot 50 pixels from pen 0 is a new pen...
    SteadyPens({{100, 100}});
    auto slots = Report({{100, 100}, {700, 500}, {150, 100}});
    EXPECT_TRUE(
        SlotsAre(slots, Pens(Present(100, 100), Present(700, 500), Present(150, 100), Lifted())));

    // ...while an '8' spot there continues pen 0.
    ResetSpotTracking();
    SteadyPens({{100, 100}});
    slots = Report({{700, 500}, {150, 100}});
    EXPECT_TRUE(SlotsAre(slots, Pens(Present(150, 100), Present(700, 500), Lifted(), Lifted())));

    // A ':' spot 39 pixels away still continues its pen.
    ResetSpotTracking();
    SteadyPens({{100, 100}, {300, 300}, {500, 500}, {700, 700}});
    slots = Report({{100, 100}, {300, 300}, {500, 500}, {739, 700}});
    EXPECT_TRUE(SlotsAre(
        slots, Pens(Present(100, 100), Present(300, 300), Present(500, 500), Present(739, 700))));
}

TEST_F(MultiSpotTracker, MatchingDistancesAreStrictlyLessThanTheThreshold)
{
    // 79 pixels continues pen 0; 80 does not (the pen is lost, the spot becomes new).
    SteadyPens({{100, 100}});
    EXPECT_TRUE(
        SlotsAre(Report({{179, 100}}), Pens(Present(179, 100), Lifted(), Lifted(), Lifted())));
    ResetSpotTracking();
    SteadyPens({{100, 100}});
    EXPECT_TRUE(SlotsAre(Report({{180, 100}}), Pens(Lifted(), Lifted(), Lifted(), Lifted())));
    // The same for 40 with a third spot.
    ResetSpotTracking();
    SteadyPens({{100, 100}, {300, 300}, {500, 500}});
    EXPECT_TRUE(SlotsAre(Report({{100, 100}, {300, 300}, {540, 500}}),
                         Pens(Present(100, 100), Present(300, 300), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, LostPenIsLiftedAndTheNewSpotTakesTheLowestFreeSlot)
{
    SteadyPens({{}, {400, 400}});
    const auto reports = Reports({{{600, 400}}, {{600, 400}}});
    EXPECT_TRUE(SlotsAre(reports[0], Pens(Present(600, 400), Lifted(), Lifted(), Lifted())));
    EXPECT_TRUE(SlotsAre(reports[1], Pens(Present(600, 400), Lifted(), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, NewSpotInALostPensSlotIsReportedOneFrameLater)
{
    SteadyPens({{100, 100}});
    const auto reports = Reports({{{200, 100}}, {{200, 100}}});
    EXPECT_TRUE(SlotsAre(reports[0], Pens(Lifted(), Lifted(), Lifted(), Lifted())));
    EXPECT_TRUE(SlotsAre(reports[1], Pens(Present(200, 100), Lifted(), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, PointNearTheOriginMatchesAnEmptySlot)
{
    // (30, 30) is 42 pixels from the empty point (0, 0), so it "continues" empty slot 0
    // instead of going through the new entries.
    (void)FeedMultiSpot(0, MultiSpotBytes(TYPE_FIRST_SPOT, 30, 30));
    EXPECT_EQ(g_ptCur[0].x, 30);
    EXPECT_TRUE(IsExactlyEmpty(g_ptNew[0]));
    const auto slots = FeedMultiSpot(0, NoSpotBytes(TYPE_FIRST_SPOT));
    EXPECT_TRUE(SlotsAre(slots, Pens(Present(30, 30), Lifted(), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, NoSpotPacketLiftsEveryPenAndForgetsThem)
{
    SteadyPens({{100, 100}, {300, 300}, {500, 500}});
    const auto slots = FeedMultiSpot(0, MultiSpotBytes(TYPE_NO_SPOT, 500, 500));
    EXPECT_TRUE(SlotsAre(slots, Pens(Lifted(), Lifted(), Lifted(), Lifted())));
    // The pen that was in slot 2 comes back as a new pen in slot 0.
    EXPECT_TRUE(
        SlotsAre(Report({{500, 500}}), Pens(Present(500, 500), Lifted(), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, PensKeepTheirSlotsWhileTheyMove)
{
    std::vector<std::vector<PEN_POINT>> frames = {{{100, 100}, {500, 300}}};
    for (int step = 1; step <= 10; ++step)
        frames.push_back({{500 - 30 * step, 300}, {100 + 30 * step, 100}});
    const auto reports = Reports(frames);
    for (std::size_t k = 0; k < reports.size(); ++k)
        EXPECT_EQ(reports[k][0].state, SPOT_PRESENT) << "frame " << k;
    EXPECT_TRUE(
        SlotsAre(reports.back(), Pens(Present(400, 100), Present(200, 300), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, SpotsOutsideTheActiveMonitorAreDropped)
{
    // Monitor 0 holds 0 < x <= 1024, 0 < y <= 768.
    EXPECT_TRUE(
        SlotsAre(Report({{1024, 768}}), Pens(Present(1024, 768), Lifted(), Lifted(), Lifted())));
    ResetSpotTracking();
    EXPECT_TRUE(SlotsAre(Report({{1025, 300}}), Pens(Lifted(), Lifted(), Lifted(), Lifted())));
    // A zero coordinate is not a usable point.
    EXPECT_TRUE(SlotsAre(Report({{0, 300}}), Pens(Lifted(), Lifted(), Lifted(), Lifted())));
}

TEST_F(MultiSpotTracker, SpotsOfAnUncalibratedCameraAreLost)
{
    m_world.m_state.m_nCalibModel = 5;
    EXPECT_TRUE(SlotsAre(Report({{300, 300}}), Pens(Lifted(), Lifted(), Lifted(), Lifted())));
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

TEST_F(SingleSpotParser, CameraOneUsesItsOwnCalibration)
{
    const auto results = FeedSingleSpot(1, SingleSpotBytes(40, 50));
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0], Present(1024 + 40, 50));
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
