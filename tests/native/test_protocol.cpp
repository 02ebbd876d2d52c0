#include "device/Protocol.h"

#include <gtest/gtest.h>

#include <vector>

using namespace protocol;

namespace
{
// Feeds bytes to a reader; returns the values of the replies that ended, in order.
template <typename Reader> std::vector<int> FeedAll(Reader& reader, std::vector<int> bytes)
{
    std::vector<int> values;
    for (int b : bytes)
    {
        if (reader.Feed(static_cast<std::uint8_t>(b)))
            values.push_back(reader.Value());
    }
    return values;
}
} // namespace

// An end byte inside a setting reply ends it early; a wrong type or a broken end drops it and
// the next reply is read.
TEST(ProtocolReplies, SettingReplyEndsEarlyOnAnEndByteAndVersionReplyFormsTheVersion)
{
    CSettingReplyReader reader;
    EXPECT_EQ(FeedAll(reader, {0x24, 0x32, 0x26}), std::vector<int>{0});
    EXPECT_EQ(FeedAll(reader, {0x24, 0x32, 9, 9, 0x26}), std::vector<int>{0});
    EXPECT_EQ(FeedAll(reader, {0x24, 0x32, 9, 9, 9, 0x26}), std::vector<int>{0x26});
    // A single-spot packet still on its way while settings are read is no reply.
    const auto spot = MakeSingleSpot(0x123, 0x045);
    EXPECT_TRUE(FeedAll(reader, std::vector<int>(spot.begin(), spot.end())).empty());
    // The type byte is '$' itself: it does not restart a packet.
    EXPECT_TRUE(FeedAll(reader, {0x24, 0x24, 0x32, 1, 2, 3, 4, 0x26}).empty());
    EXPECT_TRUE(FeedAll(reader, {0x24, 0x32, 1, 2, 3, 4, 0x25}).empty());
    EXPECT_EQ(FeedAll(reader, {0x24, 0x32, 1, 2, 3, 7, 0x26}), std::vector<int>{7});

    // The version reply takes byte five whatever the bytes between and the last byte.
    CVersionReplyReader version;
    EXPECT_EQ(FeedAll(version, {0x24, 0x32, 0x26, 0x26, 0x26, 0x23, 0x00}), std::vector<int>{0x23});
    EXPECT_TRUE(FeedAll(version, {0x24, 0x37, 1, 2, 3, 4, 0x26}).empty());

    EXPECT_EQ(FirmwareVersionPrefix() + FirmwareMinorText(0x23), "1.23");
    EXPECT_EQ(FirmwareVersionPrefix() + FirmwareMinorText(0x09), "1.0");
    EXPECT_EQ(FirmwareVersionPrefix() + FirmwareMinorText(0xFF), "1.0");
    EXPECT_EQ(FirmwareVersionPrefix() + FirmwareMinorText(0x2A), "1.2a");
    EXPECT_EQ(CountLetters("1.2a"), 1);
    EXPECT_DOUBLE_EQ(ParseVersionText("1.23"), 1.23);
    EXPECT_DOUBLE_EQ(ParseVersionText("1."), 1.0);
    EXPECT_GE(ParseVersionText("1.23"), MULTI_SPOT_VERSION);
    EXPECT_LT(ParseVersionText("1.22"), MULTI_SPOT_VERSION);
}
