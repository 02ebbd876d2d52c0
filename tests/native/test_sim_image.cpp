#include "tests/native/test_sim_helpers.h"

using namespace simtest;

namespace
{
// A picture as the alignment view draws it: each line right to left from column
// width - 1, lines from the bottom row upwards.
struct PICTURE
{
    int width = 0;
    int height = 0;
    std::vector<int> y;
    std::vector<int> u;
    std::vector<int> v;
    int Y(int x, int row) const { return y[std::size_t(row * width + x)]; }
    int U(int x, int row) const { return u[std::size_t(row * width + x)]; }
    int V(int x, int row) const { return v[std::size_t(row * width + x)]; }
};

// Decodes the first whole frame of an image stream, checking every packet's framing and
// sequence byte on the way. Fails the test and returns false on any mismatch.
bool DecodeFrame(const std::vector<std::uint8_t>& stream, bool grey, int width, int height,
                 PICTURE& picture)
{
    const auto packets = Packets(stream, 19,
                                 std::string("34") + std::string(1, '\0') +
                                     "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A"
                                     "\x0B\x0C\x0D\x0E\x0F\x10\x11\x12\x13");
    std::size_t p = 0;
    while (p < packets.size() && packets[p][1] != '3')
        ++p;
    const int perLine = width / (grey ? 16 : 8);
    if (packets.size() < p + 1 + std::size_t(height * perLine))
    {
        ADD_FAILURE() << "no whole frame in " << packets.size() << " packets";
        return false;
    }
    picture = {width, height, std::vector<int>(std::size_t(width * height), -1),
               std::vector<int>(std::size_t(width * height), -1),
               std::vector<int>(std::size_t(width * height), -1)};
    ++p;
    for (int line = 0; line < height; ++line)
    {
        const int row = height - 1 - line;
        int cursor = width - 1;
        for (int k = 0; k < perLine; ++k, ++p)
        {
            const auto& packet = packets[p];
            const int expected = k == 0 ? '4' : (k + 1) % 20;
            if (packet[1] != expected)
            {
                ADD_FAILURE() << "line " << line << " packet " << k << " has type "
                              << int(packet[1]);
                return false;
            }
            if (grey)
            {
                for (int i = 0; i < 16; ++i)
                    picture.y[std::size_t(row * width + cursor - i)] = packet[2 + i];
                cursor -= 16;
                continue;
            }
            for (int j = 0; j < 4; ++j)
            {
                const std::uint8_t* g = &packet[2 + 4 * j];
                for (int half = 0; half < 2; ++half)
                {
                    const std::size_t at = std::size_t(row * width + cursor - 2 * j - half);
                    picture.y[at] = half == 0 ? g[1] : g[3];
                    picture.u[at] = g[0];
                    picture.v[at] = g[2];
                }
            }
            cursor -= 8;
        }
    }
    return true;
}

std::vector<std::uint8_t> StartImages(CScopedSimBus& bus, CPort& port, std::uint64_t micros)
{
    port.Send(protocol::STREAM_ON);
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_160 - 2].packet);
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_STREAM_ON - 2].packet);
    (void)bus;
    return port.ReadFor(micros);
}
} // namespace

TEST(SimImage, ColourFrameShowsPenAndScreenTheWayRoundOfTheSpots)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 minor 0x15\nunit 0 pen 0 100 60");
    CPort port(bus.Bus());
    PICTURE picture;
    ASSERT_TRUE(DecodeFrame(StartImages(bus, port, 1'100'000), false, 160, 120, picture));
    for (int value : picture.y)
        ASSERT_NE(value, -1);
    // Camera pixel (100, 60) is drawn at (25, 15); the opposite corner is not the pen.
    EXPECT_EQ(picture.Y(25, 15), 235);
    EXPECT_EQ(picture.Y(159 - 25, 119 - 15), 110);
    EXPECT_EQ(picture.Y(80, 60), 110);
    EXPECT_EQ(picture.U(80, 60), 140);
    EXPECT_EQ(picture.V(80, 60), 120);
    // Outside the projected screen.
    EXPECT_EQ(picture.Y(2, 2), 30);
    EXPECT_EQ(picture.Y(157, 117), 30);
    EXPECT_EQ(picture.U(157, 117), 128);
}

TEST(SimImage, GreyFrameHasSixteenPixelPackets)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 minor 0x23\nunit 0 pen 1 600 400\nunit 0 screen 0 0 320 0 320 240 0 240");
    CPort port(bus.Bus());
    PICTURE picture;
    ASSERT_TRUE(DecodeFrame(StartImages(bus, port, 600'000), true, 160, 120, picture));
    EXPECT_EQ(picture.Y(150, 100), 235);
    EXPECT_EQ(picture.Y(40, 30), 110);
    EXPECT_EQ(picture.Y(100, 30), 30);
}

TEST(SimImage, FirmwareAbove115SendsGrey)
{
    for (const auto& [minor, grey] : {std::pair{0x15, false}, std::pair{0x16, true}})
    {
        CScopedSimBus bus;
        bus->Execute("unit 0 minor " + std::to_string(minor));
        CPort port(bus.Bus());
        PICTURE picture;
        EXPECT_TRUE(DecodeFrame(StartImages(bus, port, 1'100'000), grey, 160, 120, picture))
            << minor;
    }
}

TEST(SimImage, FramesFollowEachOtherAsFastAsTheLinkCarriesThem)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 minor 0x15");
    CPort port(bus.Bus());
    StartImages(bus, port, 0);
    std::vector<std::uint64_t> frameStarts;
    int previous = -1;
    for (int n = 0; frameStarts.size() < 3; ++n)
    {
        ASSERT_LT(n, 200'000) << "no third frame";
        const int b = port.ReadByte();
        ASSERT_GE(b, 0);
        if (previous == '$' && b == '3')
            frameStarts.push_back(bus->NowMicros());
        previous = b;
    }
    // 1 + 120 x 20 packets of 19 bytes at 21.7 us a byte.
    const double frameMicros = (1 + 120 * 20) * 19 * 21.701;
    EXPECT_NEAR(double(frameStarts[1] - frameStarts[0]), frameMicros, 5.0);
    EXPECT_NEAR(double(frameStarts[2] - frameStarts[1]), frameMicros, 5.0);
}

TEST(SimImage, MonitorSeenThroughTheOpticsThatPlaceTheSpots)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 monitor 1024 0 2048 768\nunit 0 view 0.6 0.1 30 -100\n"
                 "unit 0 lens -0.05\nunit 0 mount 0 1");
    SIM_OPTICS_CONFIG config;
    config.monitor = CALIB_RECT{1024, 0, 2048, 768};
    PlaceCentredView(config, 0.6, 0.1);
    for (int i = 0; i < 4; ++i)
    {
        config.cornerX[i] += 30;
        config.cornerY[i] -= 100;
    }
    config.k1 = -0.05;
    config.rearProjection = 1;
    const CSimOptics optics(config);
    const auto picture =
        bus->WithUnit(0, [](CSimUnit& unit) { return SimRenderPicture(unit.View(), 160, 120); });
    // The luma of the drawn pixel where a pen at this screen point would be reported.
    auto seen = [&](double screenX, double screenY)
    {
        double x = 0.0;
        double y = 0.0;
        EXPECT_TRUE(optics.ScreenToCameraExact(screenX, screenY, x, y));
        return int(picture[std::size_t(int(y / 4) * 160 + int(x / 4))].y);
    };
    EXPECT_EQ(seen(1536, 384), 200);     // the projected picture
    EXPECT_EQ(seen(1024 + 50, 384), 56); // the alignment view's frame
    EXPECT_EQ(seen(1536, 768 - 50), 56);
    EXPECT_EQ(seen(1024 + 10, 384), 200); // between the frame and the monitor's edge
    EXPECT_EQ(seen(1024 - 80, 384), 30);  // the room beside the monitor
}
