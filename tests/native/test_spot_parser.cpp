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

template <typename... SLOTS> std::vector<SPOT_SLOT> Slots(SLOTS... slots)
{
    return {slots...};
}
} // namespace

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
// the receive state they share with it. The framing itself (bytes between packets, types,
// ends, coordinates out of range, positions left past a packet) is checked against its rules
// by the fuzz target's seed corpus (tests/fuzz/fuzz_spot_parsers.cpp).
TEST(SpotParsers, EachPacketGivesItsSpotOrItsLift)
{
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
        // A spot without a model changes nothing; a packet without a spot still lifts the pen.
        {"no model", SingleSpot, 7, SingleSpotBytes(40, 50) + SingleSpotBytes(0, 0), {Lifted()}},
        // Only a frame's first spot counts; '6' with a weight is decoded like '7'.
        {"raw multi", ParseRawMultiSpot, 7,
         MultiSpotBytes(TYPE_FIRST_SPOT, 100, 90) + MultiSpotBytes(TYPE_SECOND_SPOT, 300, 200) +
             MultiSpotBytes(TYPE_THIRD_SPOT, 310, 200) +
             MultiSpotBytes(TYPE_FOURTH_SPOT, 320, 200) + MultiSpotBytes(TYPE_NO_SPOT, 50, 60) +
             NoSpotBytes(TYPE_FIRST_SPOT) + MultiSpotBytes(TYPE_FIRST_SPOT, 0, 60),
         Slots(Present(100, 90), Present(50, 60), Lifted(), Lifted())},
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
