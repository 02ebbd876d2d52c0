// The alignment view's image decoder: packets fed byte by byte into a view, and a whole
// picture streamed from a simulated unit through the real reader thread. How lines fill
// upwards, lost colour packets leave their columns and frame starts reset the cursor and
// present one picture each is checked, packet by packet, by the fuzz target's seed corpus
// (tests/fuzz/fuzz_image_decoder.cpp).

#include "camera_image/AdjustView.h"
#include "camera_image/ImageDecoder.h"
#include "camera_image/YuvToRgb.h"
#include "core/DriverState.h"
#include "device/CalReceiveState.h"
#include "shell/Driver.h"
#include "tests/support/DeviceWorld.h"
#include "tests/support/PenTestKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <limits>
#include <thread>

namespace
{
using Payload = std::array<std::uint8_t, 16>;

std::vector<std::uint8_t> Packet(std::uint8_t type, const Payload& payload, std::uint8_t end = '&')
{
    std::vector<std::uint8_t> bytes(IMAGE_PACKET_LENGTH);
    bytes[0] = '$';
    bytes[1] = type;
    std::copy(payload.begin(), payload.end(), bytes.begin() + 2);
    bytes[IMAGE_PACKET_LENGTH - 1] = end;
    return bytes;
}

// Four colour groups U, Y0, V, Y1, all alike.
Payload Colour(std::uint8_t y, std::uint8_t u, std::uint8_t v)
{
    Payload p{};
    for (int j = 0; j < 4; ++j)
    {
        p[4 * j] = u;
        p[4 * j + 1] = y;
        p[4 * j + 2] = v;
        p[4 * j + 3] = y;
    }
    return p;
}

Payload Flat(std::uint8_t grey)
{
    Payload p{};
    p.fill(grey);
    return p;
}

class ImageDecoder : public ::testing::Test
{
protected:
    ImageDecoder()
    {
        ResetCalReceiveState();
        g_nImageSeq = 0;
        m_record.imageWidth = 160;
        m_record.imageHeight = 120;
        m_record.monitorRect[2] = 1024;
        m_record.monitorRect[3] = 768;
        m_view.BeginDrawing();
        g_pAdjustDlg = &m_view;
    }
    ~ImageDecoder() override { g_pAdjustDlg = nullptr; }

    void SetGrey(bool grey) { m_world.m_state.m_bGreyImage = grey ? 1 : 0; }
    void Feed(const std::vector<std::uint8_t>& bytes)
    {
        for (std::uint8_t b : bytes)
        {
            m_record.rxByte = b;
            OnImageByte(m_record);
        }
    }
    // Columns [from, to] of a row all hold the colour.
    bool RowHolds(int row, int from, int to, std::uint32_t colour) const
    {
        for (int x = from; x <= to; ++x)
        {
            if (m_view.Surface().Pixel(x, row) != colour)
                return false;
        }
        return true;
    }
    bool SurfaceIsBlack() const
    {
        for (int y = 0; y < ADJUST_SURFACE_HEIGHT; ++y)
            if (!RowHolds(y, 0, ADJUST_SURFACE_WIDTH - 1, 0))
                return false;
        return true;
    }

    CPenWorld m_world{PEN_WORLD_OPTIONS{1, 1.15}};
    CAdjustView m_view;
    CAMERA_RECORD m_record;
};
} // namespace

TEST(YuvToRgb, StudioRangeWithClamping)
{
    EXPECT_EQ(YuvToRgb(16, 128, 128), RgbColour(0, 0, 0));
    EXPECT_EQ(YuvToRgb(235, 128, 128), RgbColour(254, 254, 254));
    EXPECT_EQ(YuvToRgb(82, 90, 240), RgbColour(255, 0, 0));
    EXPECT_EQ(YuvToRgb(255, 255, 255), RgbColour(255, 125, 255));
    EXPECT_EQ(YuvToRgb(0, 0, 0), RgbColour(0, 135, 0));
}

TEST_F(ImageDecoder, NothingIsDrawnBeforeTheFirstFrameStart)
{
    Feed(Packet('4', Colour(200, 128, 128)));
    Feed(Packet(2, Colour(200, 128, 128)));
    SetGrey(true);
    m_view.BeginDrawing();
    Feed(Packet(2, Flat(100)));
    EXPECT_TRUE(SurfaceIsBlack());
    EXPECT_EQ(m_view.FramesPublished(), 0u);
}

TEST_F(ImageDecoder, PacketsPastTheFirstColumnAfterLostLineStartsLeaveTheRowsAboveAlone)
{
    SetGrey(true);
    Feed(Packet('3', Payload{}));
    Feed(Packet('4', Flat(90)));
    // Four lines' worth of packets without their line starts run on left of column 0.
    for (int n = 0; n < 4 * ADJUST_SURFACE_WIDTH / 16; ++n)
        Feed(Packet(2, Flat(90)));
    EXPECT_TRUE(RowHolds(119, 0, 159, RgbColour(90, 90, 90)));
    for (int y = 0; y < 119; ++y)
        ASSERT_TRUE(RowHolds(y, 0, ADJUST_SURFACE_WIDTH - 1, 0)) << "row " << y;
}

TEST_F(ImageDecoder, APacketWithoutItsEndIsDroppedButItsTypeHasActed)
{
    Feed(Packet('3', Payload{}));
    Feed(Packet('4', Colour(235, 128, 128), 0x00));
    EXPECT_TRUE(RowHolds(119, 0, 159, 0));
    EXPECT_EQ(m_view.m_nCursorY, 119);
    // The decoder waits for the next '$' and draws at the line's first columns.
    Feed({0x26, 0x11});
    Feed(Packet(2, Colour(235, 128, 128)));
    EXPECT_TRUE(RowHolds(119, 152, 159, RgbColour(254, 254, 254)));
}

TEST_F(ImageDecoder, EndlessPacketsFarOutsideTheSurfaceDoNotWrapTheCursor)
{
    SetGrey(true);
    m_view.m_nCursorX = std::numeric_limits<std::int32_t>::min() + 3;
    m_view.m_nCursorY = std::numeric_limits<std::int32_t>::min();
    Feed(Packet(2, Flat(50)));
    EXPECT_LT(m_view.m_nCursorX, 0);
    Feed(Packet('4', Flat(50)));
    EXPECT_LT(m_view.m_nCursorY, 0);
    Feed(Packet(2, Flat(50)));
    EXPECT_TRUE(SurfaceIsBlack());
}

namespace
{
// One camera streaming into an open view through the driver's own reader thread.
class CStreamWorld
{
public:
    explicit CStreamWorld(const std::string& scenario) : m_world(scenario)
    {
        m_pState = std::make_unique<CDriver>();
        g_pMainDlg = m_pState.get();
    }
    ~CStreamWorld()
    {
        g_pAdjustDlg = nullptr;
        m_pState.reset();
        g_pMainDlg = nullptr;
    }

    // Streams until `frames` pictures were published; the latest one.
    bool Stream(std::uint64_t frames, ADJUST_FRAME& frame)
    {
        CDeviceController& controller = m_pState->m_controller;
        if (!controller.StartDevices() || !controller.DetectFirmware())
            return false;
        m_view.BeginDrawing();
        m_pState->m_bGreyImage = GreyImageFlag(controller.GetDeviceVersion(0));
        g_pAdjustDlg = &m_view;
        if (!controller.StartImageStream(0))
            return false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        while (m_view.FramesPublished() < frames && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        controller.StopImageStream();
        g_pAdjustDlg = nullptr;
        return m_view.TakeFrame(frame);
    }

    std::vector<SIM_YUV> MeantPicture()
    {
        return m_world.m_bus->WithUnit(0, [](CSimUnit& unit)
                                       { return SimRenderPicture(unit.View(), 160, 120); });
    }

    CDeviceWorld m_world;
    std::unique_ptr<CDriverState> m_pState;
    CAdjustView m_view;
};

// The picture as it should show, 4:2:2 included: each pair of columns shares the chroma of
// its right-hand pixel, which the camera sent first.
std::vector<std::uint32_t> Shown(const std::vector<SIM_YUV>& picture, bool grey)
{
    std::vector<std::uint32_t> shown;
    for (std::size_t i = 0; i < picture.size(); ++i)
    {
        const SIM_YUV& p = picture[i];
        const SIM_YUV& chroma = picture[i | 1];
        shown.push_back(grey ? RgbColour(p.y, p.y, p.y) : YuvToRgb(p.y, chroma.u, chroma.v));
    }
    return shown;
}
} // namespace

TEST(ImageStream, AWholeSimulatedFrameShowsPixelForPixelWhatTheCameraSees)
{
    struct CASE
    {
        const char* scenario;
        bool grey;
    };
    // A colour camera with a bent lens, and a grey one aimed too far to one side, so that
    // the monitor runs off the picture's edge.
    const CASE cases[] = {
        {"units 1\nunit 0 minor 0x15\nunit 0 view 0.8 0.1\nunit 0 lens -0.08", false},
        {"units 1\nunit 0 minor 0x16\nunit 0 view 1.1 -0.05 -150 10\nunit 0 mount 0 0", true},
    };
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(c.scenario);
        CStreamWorld world(c.scenario);
        ADJUST_FRAME frame;
        ASSERT_TRUE(world.Stream(3, frame));
        EXPECT_GE(frame.sequence, 3u);
        ASSERT_FALSE(world.m_view.TakeFrame(frame)) << "a picture is taken once";
        EXPECT_EQ(frame.x, 1024 / 2 - 80);
        EXPECT_EQ(frame.y, 768 / 2 - 60);
        ASSERT_EQ(frame.width, 160);
        ASSERT_EQ(frame.height, 120);

        const auto picture = world.MeantPicture();
        const auto shown = Shown(picture, c.grey);
        int wrong = 0;
        for (std::size_t i = 0; i < shown.size(); ++i)
            wrong += frame.pixels[i] != shown[i];
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
