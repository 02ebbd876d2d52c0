#include "calibration/CalibTables.h"
#include "calibration/CaptureSequence.h"
#include "core/Messages.h"
#include "device/Protocol.h"
#include "tests/support/PenTestKit.h"
#include "tracking/PenEventDriver.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace protocol;

namespace
{
// What the window and settings hooks were asked to do, in order.
std::vector<std::string> g_hookCalls;

int Count(const std::string& call)
{
    return static_cast<int>(std::count(g_hookCalls.begin(), g_hookCalls.end(), call));
}

class Capture : public ::testing::Test
{
protected:
    explicit Capture(int cameras = 1) : m_world(PEN_WORLD_OPTIONS{cameras, 1.23, 1024, 768, false})
    {
        g_hookCalls.clear();
        g_calibrationHooks.pfnRedraw = [] { g_hookCalls.push_back("redraw"); };
        g_calibrationHooks.pfnHideWindow = [] { g_hookCalls.push_back("hide"); };
        g_calibrationHooks.pfnSaveSettings = []
        {
            g_hookCalls.push_back("save");
            return true;
        };
        g_calibrationHooks.pfnReloadCalibration = [] { g_hookCalls.push_back("reload"); };
        // As StartCalibration leaves it for the camera being calibrated.
        g_captureState.m_bArmed = true;
        for (int c = 0; c < cameras; ++c)
        {
            const MONITOR_AREA& area = m_world.m_areas[c];
            (void)PrepareCalibTargets(
                static_cast<std::uint16_t>(c),
                CALIB_RECT{area.rect[0], area.rect[1], area.rect[2], area.rect[3]});
        }
    }

    // The pen seen at a raw camera point for a number of calibration packets.
    void PenAt(int x, int y, int samples = 1)
    {
        for (int n = 0; n < samples; ++n)
            Feed(MultiSpotBytes(TYPE_FIRST_SPOT, x, y));
    }
    void NoPen() { Feed(NoSpotBytes(TYPE_FIRST_SPOT)); }

    void Feed(const std::vector<std::uint8_t>& bytes)
    {
        for (std::uint8_t byte : bytes)
        {
            CAMERA_RECORD record;
            record.index = g_nCalibCamera;
            record.rxByte = byte;
            OnCalibrationByte(record);
        }
    }

    // Holds the pen on the camera point that sees target k of the sixteen-point grid, lifts.
    void TakeTarget(int camera, int k)
    {
        // A camera that sees the monitor at half size, shifted: a model must fit this.
        const int x = 40 + (Sixteen(camera).m_ptTarget[k].x - m_world.m_areas[camera].rect[0]) / 2;
        const int y = 30 + Sixteen(camera).m_ptTarget[k].y / 2;
        PenAt(x, y, STEADY_SAMPLES);
        NoPen();
    }

    void TakeAllSixteen(int camera)
    {
        static const int order[16] = {0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15};
        for (int k : order)
            TakeTarget(camera, k);
    }

    CSixteenPointCalib& Sixteen(int camera)
    {
        return *SixteenPointCalibAt(static_cast<std::uint16_t>(camera));
    }

    CPenWorld m_world;
};

class CaptureTwoCameras : public Capture
{
protected:
    CaptureTwoCameras() : Capture(2) {}
};
} // namespace

TEST_F(Capture, SeventhSteadySampleTakesTheMeanOfTheSevenAndAPenKeptDownNothingMore)
{
    PenAt(100, 100, 6);
    NoPen();
    EXPECT_EQ(g_nCapturedPoints, 0u);
    // x 100 ... 106 (mean 103), y 200, 200, ..., 206 (sum 1406, mean 200.86 truncated).
    for (int n = 0; n < 7; ++n)
    {
        PenAt(100 + n, n == 6 ? 206 : 200);
        EXPECT_EQ(g_nCapturedPoints, n == 6 ? 1u : 0u) << "sample " << n + 1;
    }
    EXPECT_EQ(Sixteen(0).m_ptCamera[0].x, 103.0f);
    EXPECT_EQ(Sixteen(0).m_ptCamera[0].y, 200.0f);
    EXPECT_EQ(g_bPointTaken, 1);
    EXPECT_EQ(Count("redraw"), 1);

    // The pen kept down takes nothing more until it is lifted.
    PenAt(300, 300, 40);
    EXPECT_EQ(g_nCapturedPoints, 1u);
    NoPen();
    PenAt(300, 300, 7);
    EXPECT_EQ(g_nCapturedPoints, 2u);
    EXPECT_EQ(Sixteen(0).m_ptCamera[4].x, 300.0f);
}

TEST_F(Capture, NoModelSelectedCapturesNothingAndTheCursorFollowsTheRawCameraPoint)
{
    m_world.m_state.m_nCalibModel = 3;
    PenAt(123, 45, 20);
    EXPECT_EQ(g_captureState.m_nTargetIndex, 0);
    EXPECT_EQ(g_bPointTaken, 0);
    ASSERT_EQ(m_world.m_platform.m_cursorPositions.size(), 20u);
    EXPECT_EQ(m_world.m_platform.m_cursorPositions[1], (std::pair<int, int>{123, 45}));
}

TEST_F(Capture, LastTargetOfTheOnlyCameraSolvesSavesAndResumesTracking)
{
    TakeAllSixteen(0);
    EXPECT_TRUE(Sixteen(0).IsModelValid());
    EXPECT_EQ(m_world.m_state.m_bCalibrated, 1);
    EXPECT_EQ(m_world.m_state.m_bMoreCameras, 0);
    EXPECT_EQ(Count("save"), 1);
    EXPECT_EQ(Count("hide"), 1);
    EXPECT_EQ(m_world.m_platform.PostedToMain(),
              (std::vector<std::uint32_t>{WM_SHOW_CURSOR, WM_RESTART_TRACKING}));
    EXPECT_EQ(g_nCapturedPoints, 0u);
    EXPECT_EQ(g_nGridColumn, 0u);

    // A tap before tracking has restarted takes no point for the next calibration.
    NoPen();
    PenAt(300, 300, STEADY_SAMPLES);
    EXPECT_EQ(g_nCapturedPoints, 0u);
    EXPECT_EQ(g_captureState.m_nTargetIndex, 0);
    EXPECT_EQ(Count("save"), 1);
}

TEST_F(CaptureTwoCameras, EscapeDuringTheSecondCameraKeepsTheFirstCamerasNewModel)
{
    TakeAllSixteen(0);
    double params[PARAM_COUNT];
    std::copy(std::begin(Sixteen(0).m_dParam), std::end(Sixteen(0).m_dParam), params);
    m_world.m_platform.m_mainMessages.clear();
    g_captureState.m_bArmed = true;

    TakeTarget(1, 0);
    TakeTarget(1, 4);
    PenAt(200, 200, 3);
    g_hookCalls.clear();
    AbandonCalibration(m_world.m_state.m_controller);

    EXPECT_TRUE(std::equal(std::begin(params), std::end(params), Sixteen(0).m_dParam));
    EXPECT_TRUE(Sixteen(0).IsModelValid());
    EXPECT_EQ(g_captureState.m_nTargetIndex, 0);
    EXPECT_EQ(g_nCapturedPoints, 0u);
    EXPECT_EQ(g_nGridRowStep, 0u);
    EXPECT_EQ(g_nSteadyCount, 0);
    EXPECT_EQ(m_world.m_state.m_bMoreCameras, 0);
    EXPECT_EQ(g_hookCalls, (std::vector<std::string>{"hide", "reload"}));
    EXPECT_EQ(m_world.m_platform.PostedToMain(),
              (std::vector<std::uint32_t>{WM_SHOW_CURSOR, WM_RESTART_TRACKING}));

    // Starting over begins at camera 0, target 0.
    g_captureState.m_bArmed = true;
    PenAt(77, 66, STEADY_SAMPLES);
    EXPECT_EQ(Sixteen(0).m_ptCamera[0].x, 77.0f);
}
