#include "tests/native/test_sim_helpers.h"

using namespace simtest;

TEST(SimImage, FramesFollowAsFastAsTheLinkCarriesThemAndShowWhatTheOpticsSee)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 minor 0x15");
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_160 - 2].packet);
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_STREAM_ON - 2].packet);
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

    // The picture shows the monitor through the optics that place the spots.
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
