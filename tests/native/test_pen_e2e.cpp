// The pen chain from end to end against simulated camera units: the reader thread, the
// calibration capture with a pen held on each target shown, the solve, then pens moving in
// screen coordinates, checked against the mouse records and companion messages the driver
// sends.

#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/CameraLink.h"
#include "tests/support/PenScenario.h"
#include "tests/support/PenTestKit.h"
#include "tracking/PenInjector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>

namespace
{
// Calibration and camera pixels together: one camera pixel is about two screen pixels here.
constexpr int POSITION_TOLERANCE = 5;

class PenEndToEnd : public ::testing::Test
{
protected:
    explicit PenEndToEnd(const PEN_SCENARIO_OPTIONS& options = PEN_SCENARIO_OPTIONS())
        : m_scenario(options)
    {
    }

    void Track()
    {
        ASSERT_TRUE(m_scenario.StartTracking()) << m_scenario.Error();
        ASSERT_TRUE(m_scenario.Frames(5)) << m_scenario.Error();
        m_scenario.ClearRecords();
    }

    // The button records are the expected ones, each near its expected place.
    void ExpectButtons(const std::vector<INJECTED_EVENT>& expected)
    {
        const auto near = [](const INJECTED_EVENT& a, const INJECTED_EVENT& b)
        {
            return a.action == b.action && std::abs(a.x - b.x) <= POSITION_TOLERANCE &&
                   std::abs(a.y - b.y) <= POSITION_TOLERANCE;
        };
        const auto buttons = ButtonEvents(m_scenario.m_world.m_platform);
        EXPECT_TRUE(std::ranges::equal(buttons, expected, near))
            << ::testing::PrintToString(buttons);
    }

    // Pen 0 of a camera at a screen point for some frames.
    void Hold(double x, double y, int frames, int camera = 0)
    {
        m_scenario.PenDown(camera, 0, x, y);
        ASSERT_TRUE(m_scenario.Frames(frames)) << m_scenario.Error();
    }
    void Lift(int frames, int camera = 0)
    {
        m_scenario.PenUp(camera, 0);
        ASSERT_TRUE(m_scenario.Frames(frames)) << m_scenario.Error();
    }

    // The largest distance from a screen point to where the driver maps the pen there.
    int WorstMiss(const std::vector<std::pair<int, int>>& points)
    {
        int worst = 0;
        for (const auto& [x, y] : points)
        {
            int mappedX = 0;
            int mappedY = 0;
            EXPECT_TRUE(m_scenario.DriverMaps(0, x, y, mappedX, mappedY)) << x << "," << y;
            worst = std::max({worst, std::abs(mappedX - x), std::abs(mappedY - y)});
        }
        return worst;
    }

    CPenScenario m_scenario;
};

std::vector<std::pair<int, int>> Grid(int left, int right, int dx, int top, int bottom, int dy)
{
    std::vector<std::pair<int, int>> points;
    for (int y = top; y <= bottom; y += dy)
    {
        for (int x = left; x <= right; x += dx)
            points.emplace_back(x, y);
    }
    return points;
}

// Two cameras of the single-spot firmware, one per monitor.
class PenEndToEndTwoCameras : public PenEndToEnd
{
protected:
    PenEndToEndTwoCameras() : PenEndToEnd({.cameras = 2, .firmwareMinor = 0x09, .ceilingMount = 1})
    {
    }
};

// The nine-point model corrects a fixed lens; the simulated camera gets that lens.
class PenEndToEndNinePoint : public PenEndToEnd
{
protected:
    PenEndToEndNinePoint() : PenEndToEnd({.calibModel = 1, .k1 = -0.056817, .lensScale = 240.0}) {}
};
} // namespace

TEST_F(PenEndToEnd, CalibratedPenClicksStrokesAndDrivesTheCompanionProgramsPens)
{
    ASSERT_TRUE(m_scenario.StartDevices() && m_scenario.Calibrate()) << m_scenario.Error();

    // The targets were shown down each column, left to right.
    const std::vector<int> order = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
    ASSERT_EQ(m_scenario.Touches().size(), order.size());
    for (std::size_t n = 0; n < order.size(); ++n)
        EXPECT_EQ(m_scenario.Touches()[n].target, order[n]) << "touch " << n;
    EXPECT_EQ(m_scenario.State().m_bCalibrated, 1);
    EXPECT_EQ(m_scenario.Saves(), 1);
    EXPECT_EQ(m_scenario.MainMessages(),
              (std::vector<std::uint32_t>{WM_SHOW_CURSOR, WM_RESTART_TRACKING}));

    // Over the whole monitor the solved model puts the pen within a few pixels.
    EXPECT_LE(WorstMiss(Grid(60, 960, 100, 60, 700, 80)), POSITION_TOLERANCE);

    Track();
    // A quick second touch is a double click where the first touch pressed; a third quick touch
    // presses anew.
    for (const int x : {400, 412, 410})
    {
        Hold(x, 400, 3);
        Lift(x == 410 ? 40 : 5);
    }
    ExpectButtons({Press(400, 400), Release(400, 400), DoubleClick(400, 400), Press(410, 400),
                   Release(410, 400)});

    m_scenario.ClearRecords();
    Hold(700, 250, 70);
    Lift(3);
    ExpectButtons({Press(700, 250), Release(700, 250), RightClick(700, 250), Release(700, 250)});

    // A stroke is press, drag, release. The unit's frames go out every 10 ms; each one that
    // moved the pen reaches the pointer as the link goes quiet after it, not with the next
    // frame's first packet. The unit's log of the frames it sent is kept with the test logs.
    m_scenario.ClearRecords();
    const std::filesystem::path log =
        std::filesystem::path(TAVELO_SOURCE_DIR) / "build" / "test-logs" / "pen-stroke-frames.txt";
    std::error_code ignored;
    std::filesystem::create_directories(log.parent_path(), ignored);
    std::filesystem::remove(log, ignored);
    m_scenario.m_world.m_bus->Execute("log " + log.string());
    Hold(200, 300, 3);
    for (int step = 1; step <= 20; ++step)
        Hold(200 + 20 * step, 300 + 5 * step, 1);
    // The frame a pen vanishes in is never reported, so it rests at the end of the stroke.
    Hold(600, 400, 3);
    Lift(3);

    ExpectButtons({Press(200, 300), Release(600, 400)});
    // Every move lies on the stroke.
    const auto mouse = MouseEvents(m_scenario.m_world.m_platform);
    EXPECT_GE(mouse.size(), 20u);
    for (const INJECTED_EVENT& event : mouse)
    {
        EXPECT_GE(event.x, 200 - POSITION_TOLERANCE);
        EXPECT_LE(event.x, 600 + POSITION_TOLERANCE);
        EXPECT_NEAR(event.y, 300 + (event.x - 200) / 4, POSITION_TOLERANCE);
    }

    std::vector<std::uint64_t> frames;
    std::ifstream spots(log);
    for (std::string line; std::getline(spots, line);)
    {
        if (line.find(" spot ") != std::string::npos && line.find(" spot up") == std::string::npos)
            frames.push_back(std::stoull(line));
    }
    const std::vector<std::uint64_t> sent = m_scenario.MouseTimes();
    ASSERT_GE(frames.size(), 20u);
    for (const std::uint64_t frame : frames)
    {
        const auto first = std::lower_bound(sent.begin(), sent.end(), frame);
        ASSERT_NE(first, sent.end());
        EXPECT_LE(*first - frame, QUIET_GAP_MS * 1000 + 1000) << "frame at " << frame;
    }

    // Pens one to three are drawn by the companion program.
    m_scenario.ClearRecords();
    m_scenario.m_world.m_platform.AddWindow("TfrmMultiPanser", 0x2001, true);
    const double pens[4][2] = {{150, 150}, {850, 150}, {150, 600}, {850, 600}};
    for (int pen = 0; pen < 4; ++pen)
        m_scenario.PenDown(0, pen, pens[pen][0], pens[pen][1]);
    ASSERT_TRUE(m_scenario.Frames(6));
    for (int pen = 0; pen < 4; ++pen)
        m_scenario.PenUp(0, pen);
    ASSERT_TRUE(m_scenario.Frames(3));

    const auto messages = m_scenario.WindowMessages();
    for (int pen = 1; pen <= 3; ++pen)
    {
        std::vector<std::intptr_t> actions;
        for (const RECORDED_MESSAGE& message : messages)
        {
            if (message.message != WM_COMPANION_PEN1 + std::uint32_t(pen - 1))
                continue;
            EXPECT_EQ(message.window, 0x2001u);
            EXPECT_NEAR(int(message.wParam >> 16), pens[pen][0], POSITION_TOLERANCE) << pen;
            EXPECT_NEAR(int(message.wParam & 0xFFFF), pens[pen][1], POSITION_TOLERANCE) << pen;
            if (actions.empty() || actions.back() != message.lParam)
                actions.push_back(message.lParam);
        }
        EXPECT_EQ(actions, (std::vector<std::intptr_t>{PEN_DOWN, PEN_MOVE, PEN_UP}))
            << "pen " << pen;
    }
    // Pen 0 was the mouse, with the companion window up: press and release only.
    ExpectButtons({Press(150, 150), Release(150, 150)});
}

TEST_F(PenEndToEndTwoCameras, EachCameraIsCalibratedOnItsMonitorAndDrivesThePointerThere)
{
    ASSERT_TRUE(m_scenario.StartDevices()) << m_scenario.Error();
    EXPECT_LT(m_scenario.State().m_dFirmwareVersion, 1.23);
    ASSERT_TRUE(m_scenario.Calibrate()) << m_scenario.Error();
    EXPECT_EQ(m_scenario.Touches().size(), 32u);
    EXPECT_EQ(m_scenario.Touches()[16].camera, 1);
    EXPECT_GT(m_scenario.Touches()[16].screenX, 1024);
    EXPECT_EQ(m_scenario.Saves(), 2);
    EXPECT_EQ(m_scenario.MainMessages(),
              (std::vector<std::uint32_t>{WM_CALIBRATE_NEXT, WM_SHOW_CURSOR, WM_RESTART_TRACKING}));

    Track();
    // A stroke on monitor 1, seen by camera 1, while camera 0 sees nothing.
    Hold(1300, 200, 10, 1);
    Hold(1500, 300, 10, 1);
    Lift(5, 1);
    // Then one on monitor 0, seen by camera 0.
    Hold(300, 500, 10);
    Lift(5);

    ExpectButtons({Press(1300, 200), Release(1500, 300), Press(300, 500), Release(300, 500)});
}

TEST_F(PenEndToEndNinePoint, TargetsComeInIndexOrderAndThePenLandsNearWhereItTouches)
{
    ASSERT_TRUE(m_scenario.StartDevices() && m_scenario.Calibrate()) << m_scenario.Error();
    ASSERT_EQ(m_scenario.Touches().size(), 9u);
    for (int n = 0; n < 9; ++n)
        EXPECT_EQ(m_scenario.Touches()[std::size_t(n)].target, n);
    std::vector<std::pair<int, int>> targets;
    for (const TARGET_TOUCH& touch : m_scenario.Touches())
        targets.emplace_back(touch.screenX, touch.screenY);
    // Nine point pairs determine the homography almost exactly at the targets.
    EXPECT_LE(WorstMiss(targets), 3);
    EXPECT_LE(WorstMiss(Grid(100, 924, 103, 100, 668, 71)), POSITION_TOLERANCE);
}
