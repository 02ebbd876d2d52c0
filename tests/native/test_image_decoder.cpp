// The alignment view's image decoder: packets fed byte by byte into a view, and a whole
// picture streamed from a simulated unit through the real reader thread. How lines fill
// upwards, lost colour packets leave their columns, frame starts reset the cursor and present
// one picture each, a packet without its end is dropped after its type has acted, a cursor far
// outside the surface never wraps and a view just opened draws nothing before a frame start is
// checked, packet by packet, by the fuzz target's seed corpus (tests/fuzz/fuzz_image_decoder.cpp).

#include "camera_image/AdjustView.h"
#include "camera_image/ImageDecoder.h"
#include "camera_image/YuvToRgb.h"
#include "core/DriverState.h"
#include "device/CalReceiveState.h"
#include "device/DeviceController.h"
#include "tests/support/PenScenario.h"
#include "tests/support/PenTestKit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

TEST(YuvToRgb, StudioRangeWithClamping)
{
    EXPECT_EQ(YuvToRgb(16, 128, 128), RgbColour(0, 0, 0));
    EXPECT_EQ(YuvToRgb(235, 128, 128), RgbColour(254, 254, 254));
    EXPECT_EQ(YuvToRgb(82, 90, 240), RgbColour(255, 0, 0));
    EXPECT_EQ(YuvToRgb(255, 255, 255), RgbColour(255, 125, 255));
    EXPECT_EQ(YuvToRgb(0, 0, 0), RgbColour(0, 135, 0));
}

// Four lines' worth of grey packets after a line start, their own line starts lost, run on left
// of column 0 and must not wrap onto the rows above.
TEST(ImageDecoder, PacketsPastTheFirstColumnAfterLostLineStartsLeaveTheRowsAboveAlone)
{
    CPenWorld world{PEN_WORLD_OPTIONS{1, 1.15}};
    world.m_state.m_bGreyImage = 1;
    CAdjustView view;
    view.BeginDrawing();
    ResetCalReceiveState();
    CAMERA_RECORD record;
    record.imageWidth = 160;
    record.imageHeight = 120;
    const auto packet = [](std::uint8_t type, std::uint8_t grey)
    {
        std::vector<std::uint8_t> bytes(IMAGE_PACKET_LENGTH, grey);
        bytes[0] = '$';
        bytes[1] = type;
        bytes[IMAGE_PACKET_LENGTH - 1] = '&';
        return bytes;
    };
    std::vector<std::uint8_t> bytes = packet('3', 0) + packet('4', 90);
    for (int n = 0; n < 4 * ADJUST_SURFACE_WIDTH / 16; ++n)
        bytes = bytes + packet(2, 90);
    g_pAdjustDlg = &view;
    for (const std::uint8_t b : bytes)
    {
        record.rxByte = b;
        OnImageByte(record);
    }
    g_pAdjustDlg = nullptr;
    for (int y = 0; y < ADJUST_SURFACE_HEIGHT; ++y)
    {
        for (int x = 0; x < ADJUST_SURFACE_WIDTH; ++x)
            ASSERT_EQ(view.Surface().Pixel(x, y), y == 119 && x < 160 ? RgbColour(90, 90, 90) : 0)
                << "column " << x << ", row " << y;
    }
}

TEST(ImageStream, AWholeSimulatedFrameShowsPixelForPixelWhatTheCameraSees)
{
    // A colour camera with a bent lens, and a grey one aimed too far to one side, so that
    // the monitor runs off the picture's edge.
    const struct
    {
        std::uint8_t minor;
        const char* view;
        bool grey;
    } cases[] = {
        {0x15, "unit 0 view 0.8 0.1\nunit 0 lens -0.08", false},
        {0x16, "unit 0 view 1.1 -0.05 -150 10\nunit 0 mount 0 0", true},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.view);
        CPenScenario scenario({.firmwareMinor = c.minor});
        scenario.m_world.m_bus->Execute(c.view);
        CDeviceController& controller = scenario.State().m_controller;
        ASSERT_TRUE(scenario.StartDevices()) << scenario.Error();
        CAdjustView view;
        view.BeginDrawing();
        scenario.State().m_bGreyImage = GreyImageFlag(controller.GetDeviceVersion(0));
        g_pAdjustDlg = &view;
        const bool streaming = controller.StartImageStream(0);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (streaming && view.FramesPublished() < 3 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        controller.StopImageStream();
        g_pAdjustDlg = nullptr;
        ADJUST_FRAME frame;
        ASSERT_TRUE(streaming && view.TakeFrame(frame));
        EXPECT_GE(frame.sequence, 3u);
        ASSERT_FALSE(view.TakeFrame(frame)) << "a picture is taken once";
        EXPECT_EQ(frame.x, 1024 / 2 - 80);
        EXPECT_EQ(frame.y, 768 / 2 - 60);
        ASSERT_EQ(frame.width, 160);
        ASSERT_EQ(frame.height, 120);

        const auto picture = scenario.m_world.m_bus->WithUnit(
            0, [](CSimUnit& unit) { return SimRenderPicture(unit.View(), 160, 120); });
        int wrong = 0;
        for (std::size_t i = 0; i < picture.size(); ++i)
        {
            // 4:2:2: each pair of columns shares the chroma of its right-hand pixel, sent first.
            const SIM_YUV& p = picture[i];
            const SIM_YUV& chroma = picture[i | 1];
            wrong += frame.pixels[i] !=
                     (c.grey ? RgbColour(p.y, p.y, p.y) : YuvToRgb(p.y, chroma.u, chroma.v));
        }
        EXPECT_EQ(wrong, 0);

        // Not an empty picture: a dark room around the bright monitor.
        int bright = 0;
        for (const SIM_YUV& p : picture)
            bright += p.y > 150;
        EXPECT_GT(bright, 2000);
        EXPECT_LT(bright, 160 * 120 - 2000);
        EXPECT_EQ(picture[60 * 160 + 159].y > 150, c.grey)
            << "only the badly aimed camera sees the monitor at the picture's edge";
    }
}
