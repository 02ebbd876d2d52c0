#include "device/Protocol.h"
#include "tests/support/PenTestKit.h"
#include "tracking/SpotParser.h"

#include <gtest/gtest.h>

TEST(PenDistance, TruncatesAndNeverOverflows)
{
    EXPECT_EQ(PenDistance(0, 0, 30, 30), 42);
    EXPECT_EQ(PenDistance(100, 100, 30, 30), 98);
    EXPECT_EQ(PenDistance(5, 5, 5, 5), 0);
    EXPECT_EQ(PenDistance(-3, 0, 0, 4), 5);
    EXPECT_EQ(PenDistance(-2000000000, 0, 2000000000, 0), 2147483647);
    EXPECT_EQ(PenDistance(0, -60000, 0, 60000), 120000);
}

// Without a model (7 selects none) a spot changes nothing, while a packet without a spot still
// lifts the pen. The framing of every spot parser (bytes between packets, types, ends,
// coordinates out of range, positions left past a packet) and the raw parsers' camera pixels,
// from a clean start or from what the image decoder left in the receive state they share, are
// checked against their rules by the fuzz target's seed corpus (tests/fuzz/fuzz_spot_parsers.cpp).
TEST(SingleSpotParser, WithoutAModelOnlyTheLiftCounts)
{
    CPenWorld world{PEN_WORLD_OPTIONS{1, 1.10}};
    world.m_state.m_nCalibModel = 7;
    std::vector<std::int32_t> results;
    for (const std::uint8_t byte : SingleSpotBytes(40, 50) + SingleSpotBytes(0, 0))
    {
        CAMERA_RECORD record;
        record.rxByte = byte;
        record.bytesRead = 1;
        const SPOT_SLOT slot = ParseSingleSpot(0, record);
        if (slot.state != SPOT_NO_CHANGE)
            results.push_back(slot.state);
    }
    EXPECT_EQ(results, std::vector<std::int32_t>{SPOT_ABSENT});
}
