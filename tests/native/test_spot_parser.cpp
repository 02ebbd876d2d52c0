// Only the pen distance here: the spot parsers themselves (framing, types, ends, coordinates out
// of range, no model selected, the raw parsers' camera pixels from a clean start or from what
// the image decoder left) are checked against their rules by the fuzz target's seed corpus
// (tests/fuzz/fuzz_spot_parsers.cpp).

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
