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

// Feeds bytes to ParseMultiSpot, then the first packet of a spotless frame; the four pen slots
// after its last byte: the report of the frame the bytes ended with.
std::vector<SPOT_SLOT> Report(const std::vector<std::uint8_t>& bytes)
{
    std::vector<SPOT_SLOT> slots(PEN_SLOTS);
    for (std::uint8_t byte : bytes + NoSpotBytes(TYPE_FIRST_SPOT))
    {
        CAMERA_RECORD record;
        record.rxByte = byte;
        record.bytesRead = 1;
        ParseMultiSpot(0, record, slots.data());
    }
    return slots;
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

template <typename... SLOTS> std::vector<SPOT_SLOT> Slots(SLOTS... slots)
{
    return {slots...};
}
} // namespace

TEST(MultiSpotTracker, BytesBetweenPacketsAreSkippedAndSpotsOutsideTheActiveMonitorDropped)
{
    CPenWorld world;
    // '$' '$' '8' ...: the second '$' is taken as the type and loses the packet.
    EXPECT_TRUE(
        SlotsAre(Report(std::vector<std::uint8_t>{'x', '&', '7', 0x00} +
                        MultiSpotBytes(TYPE_FIRST_SPOT, 200, 150) + std::vector<std::uint8_t>{'$'} +
                        MultiSpotBytes(TYPE_SECOND_SPOT, 400, 300)),
                 {Present(200, 150), Lifted(), Lifted(), Lifted()}));
    // Monitor 0 holds 0 < x <= 1024, 0 < y <= 768; a zero coordinate is no usable point.
    ResetSpotTracking();
    EXPECT_TRUE(SlotsAre(Report(MultiSpotFrame({{1024, 768}})),
                         {Present(1024, 768), Lifted(), Lifted(), Lifted()}));
    ResetSpotTracking();
    EXPECT_TRUE(SlotsAre(Report(MultiSpotFrame({{1025, 300}})), NO_PEN));
    EXPECT_TRUE(SlotsAre(Report(MultiSpotFrame({{0, 300}})), NO_PEN));
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

// The single-spot parser maps through the camera's model; the raw parsers give camera pixels
// whatever the model (7 selects none), and start over from whatever the image decoder left in
// the receive state they share with it.
TEST(SpotParsers, EachPacketGivesItsSpotOrItsLift)
{
    const auto broken = []
    {
        auto bytes = SingleSpotBytes(40, 50);
        bytes.back() = 0x00;
        return bytes;
    }();
    const struct
    {
        const char* what;
        SPOT_SLOT (*parser)(CAMERA_RECORD);
        int model;
        std::vector<std::uint8_t> bytes;
        std::vector<SPOT_SLOT> expected;
        std::uint16_t leftPos = 0;
        std::uint8_t leftType = 0;
    } cases[] = {
        // X = 0x145 = 325, Y = 0x000.
        {"y zero", SingleSpot, 0, {'$', '2', 0x00, 0x14, 0x50, 0x00, '&'}, {Lifted()}},
        {"y 480", SingleSpot, 0, SingleSpotBytes(100, 480), {Present(100, 480)}},
        {"y 481", SingleSpot, 0, SingleSpotBytes(100, 481), {Lifted()}},
        {"x zero", SingleSpot, 0, SingleSpotBytes(0, 300), {Lifted()}},
        {"type 2", SingleSpot, 0, SingleSpotBytes(40, 50, TYPE_REPLY), {Present(40, 50)}},
        {"type 7", SingleSpot, 0, SingleSpotBytes(40, 50, TYPE_FIRST_SPOT), {}},
        {"broken end", SingleSpot, 0, broken + SingleSpotBytes(60, 70), {Present(60, 70)}},
        // A spot without a model changes nothing; a packet without a spot still lifts the pen.
        {"no model", SingleSpot, 7, SingleSpotBytes(40, 50) + SingleSpotBytes(0, 0), {Lifted()}},
        {"raw single", ParseRawSingleSpot, 7, SingleSpotBytes(600, 470) + SingleSpotBytes(0, 470),
         Slots(Present(600, 470), Lifted())},
        // Only a frame's first spot counts; '6' with a weight is decoded like '7'.
        {"raw multi", ParseRawMultiSpot, 7,
         MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90) + MultiSpotBytes(TYPE_SECOND_SPOT, 300, 200) +
             MultiSpotBytes(TYPE_THIRD_SPOT, 310, 200) +
             MultiSpotBytes(TYPE_FOURTH_SPOT, 320, 200) + MultiSpotBytes(TYPE_NO_SPOT, 50, 60) +
             NoSpotBytes(TYPE_FIRST_SPOT) + MultiSpotBytes(TYPE_FIRST_SPOT, 0, 60),
         Slots(Present(100, 90), Present(50, 60), Lifted(), Lifted())},
        {"raw after a packet left past its end", ParseRawMultiSpot, 7,
         MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90), Slots(Present(100, 90)), 40, 0x55},
        {"raw after half an image packet", ParseRawMultiSpot, 7,
         std::vector<std::uint8_t>{0x11, 0x22} + MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90),
         Slots(Present(100, 90)), 5, 0x49},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.what);
        CPenWorld world{PEN_WORLD_OPTIONS{1, 1.10}};
        world.m_state.m_nCalibModel = c.model;
        g_calRxPos = c.leftPos;
        g_calRxBuf[1] = c.leftType;
        EXPECT_TRUE(SlotsAre(Feed(c.parser, c.bytes), c.expected));
    }
}
