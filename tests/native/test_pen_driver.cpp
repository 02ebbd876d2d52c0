#include "calibration/CaptureSequence.h"
#include "core/Messages.h"
#include "device/Protocol.h"
#include "device/StallWatch.h"
#include "tests/support/PenTestKit.h"
#include "tracking/PenEventDriver.h"
#include "tracking/PenEventState.h"
#include "tracking/PenInjector.h"

#include <gtest/gtest.h>

using namespace protocol;

namespace
{
constexpr WindowHandle MULTI_WINDOW = 0x1001;
constexpr WindowHandle CANVAS_WINDOW = 0x1002;

using Events = std::vector<INJECTED_EVENT>;

// The pens of CAMERAS cameras of one firmware, in hundredths (110 is the single-spot form),
// on as many monitors.
template <int CAMERAS, int FIRMWARE> class PenDriverWith : public ::testing::Test
{
protected:
    PenDriverWith() : m_world(PEN_WORLD_OPTIONS{CAMERAS, FIRMWARE / 100.0}) {}

    // One reader pass per byte: each camera's next byte, or its last one again when its
    // stream has ended (as after a read time-out). The passes that sent mouse records.
    std::vector<std::size_t> Run(const std::vector<std::uint8_t>& camera0,
                                 const std::vector<std::uint8_t>& camera1 = {})
    {
        std::vector<std::size_t> sent;
        const std::size_t passes = std::max(camera0.size(), camera1.size());
        for (std::size_t n = 0; n < passes; ++n)
        {
            if (n < camera0.size())
                m_world.m_records[0].rxByte = camera0[n];
            if (n < camera1.size())
                m_world.m_records[1].rxByte = camera1[n];
            const std::size_t before = m_world.m_platform.m_mouse.size();
            OnPenByte(m_world.m_records);
            if (m_world.m_platform.m_mouse.size() != before)
                sent.push_back(n);
        }
        return sent;
    }

    std::vector<INJECTED_EVENT> Mouse() { return MouseEvents(m_world.m_platform); }
    std::vector<INJECTED_EVENT> Buttons() { return ButtonEvents(m_world.m_platform); }

    // Camera 0 keeps sending a changing stream; camera 1 repeats one byte.
    void CameraOneRepeats(std::uint8_t byte, int times)
    {
        std::vector<std::uint8_t> camera0;
        for (int n = 0; n < times; ++n)
            camera0.push_back(static_cast<std::uint8_t>(n & 1 ? 0x11 : 0x22));
        Run(camera0, std::vector<std::uint8_t>(static_cast<std::size_t>(times), byte));
    }

    CPenWorld m_world;
};
using PenDriver = PenDriverWith<1, 123>;
using PenDriverTwoMultiSpotCameras = PenDriverWith<2, 123>;
using StallWatchTest = PenDriverTwoMultiSpotCameras;
using PenDriverSingleSpot = PenDriverWith<1, 110>;
using PenDriverTwoSingleSpotCameras = PenDriverWith<2, 110>;

using FRAMES = std::vector<std::vector<PEN_POINT>>;
const FRAMES LIFT = {{}};

// Multi-spot frames, then one spotless frame that reports the last of them.
std::vector<std::uint8_t> MultiFrames(const FRAMES& frames)
{
    std::vector<std::uint8_t> bytes;
    for (const auto& frame : frames)
        bytes = bytes + MultiSpotFrame(frame);
    return bytes + MultiSpotFrame({});
}

FRAMES Hold(const std::vector<PEN_POINT>& pens, int frames)
{
    return FRAMES(static_cast<std::size_t>(frames), pens);
}

// Single-spot packets, one per sample; (0, 0) is a sample without a spot.
std::vector<std::uint8_t> SingleSamples(const std::vector<PEN_POINT>& samples)
{
    std::vector<std::uint8_t> bytes;
    for (const PEN_POINT& sample : samples)
        bytes = bytes + SingleSpotBytes(sample.x, sample.y);
    return bytes;
}

std::vector<PEN_POINT> Repeat(PEN_POINT point, int samples)
{
    return std::vector<PEN_POINT>(static_cast<std::size_t>(samples), point);
}

} // namespace

TEST_F(PenDriver, PensOneToThreeReachNobodyWithoutACompanionAndTheCanvasWithoutTheMultiPanel)
{
    Run(MultiFrames({{{100, 100}, {300, 200}}}));
    ASSERT_FALSE(m_world.m_platform.m_windowMessages.empty());
    for (const RECORDED_MESSAGE& message : m_world.m_platform.m_windowMessages)
        EXPECT_EQ(message.window, 0u);

    m_world.m_platform.AddWindow("TfrmMultiPanser", MULTI_WINDOW, false);
    m_world.m_platform.AddWindow("TfrmCanvas", CANVAS_WINDOW, true);
    m_world.m_platform.m_windowMessages.clear();
    Run(MultiFrames({{{100, 100}, {300, 200}}}));
    ASSERT_FALSE(m_world.m_platform.m_windowMessages.empty());
    EXPECT_EQ(m_world.m_platform.m_windowMessages.back().window, CANVAS_WINDOW);

    // Once both are hidden the pens keep going to the window found last.
    m_world.m_platform.AddWindow("TfrmCanvas", CANVAS_WINDOW, false);
    m_world.m_platform.m_windowMessages.clear();
    Run(MultiFrames({{{100, 100}, {300, 200}}}));
    ASSERT_FALSE(m_world.m_platform.m_windowMessages.empty());
    EXPECT_EQ(m_world.m_platform.m_windowMessages.back().window, CANVAS_WINDOW);
}

TEST_F(PenDriver, VisibleCompanionWindowTurnsTheDoubleClickIntoTwoPresses)
{
    m_world.m_platform.AddWindow("TfrmCanvas", CANVAS_WINDOW, true);
    Run(MultiFrames(Hold({{300, 200}}, 2) + LIFT + Hold({{310, 205}}, 2) + LIFT));
    EXPECT_EQ(Buttons(),
              (Events{Press(300, 200), Release(300, 200), Press(310, 205), Release(310, 205)}));
}

TEST_F(PenDriver, CompanionWindowsAreLookedUpOnlyForPenEvents)
{
    m_world.m_platform.AddWindow("TfrmCanvas", CANVAS_WINDOW, true);
    // A second spot, and all but the last byte of the next frame's first packet: no pen
    // event, so no system call.
    Run(MultiSpotBytes(TYPE_SECOND_SPOT, 500, 200));
    const auto packet = MultiSpotBytes(TYPE_FIRST_SPOT, 300, 200);
    Run(std::vector<std::uint8_t>(packet.begin(), packet.end() - 1));
    EXPECT_EQ(m_world.m_platform.m_nFindWindowCalls, 0);
    EXPECT_TRUE(m_world.m_platform.m_mouse.empty());
    EXPECT_TRUE(m_world.m_platform.m_windowMessages.empty());
    // The last byte closes the frame and reports four pens: two lookups serve them all.
    Run({packet.back()});
    EXPECT_EQ(m_world.m_platform.m_nFindWindowCalls, 2);
    EXPECT_EQ(Buttons(), (Events{Press(500, 200)}));
}

TEST_F(PenDriverTwoMultiSpotCameras, CameraOneGoingQuietLeavesCameraZerosPenDown)
{
    const auto frame = MultiSpotFrame({{300, 200}});
    const auto held = frame + frame + frame;
    Run(held);
    ASSERT_EQ(Buttons(), (Events{Press(300, 200)}));
    m_world.m_records[0].rxState = RX_NOTHING_NEW;
    m_world.m_records[1].rxState = RX_QUIET;
    OnPenByte(m_world.m_records);
    m_world.m_records[0].rxState = RX_NEW_BYTE;
    Run(held);
    EXPECT_EQ(Buttons(), (Events{Press(300, 200)}));
}

// Mode 1 smooths, 0 passes the samples on raw, any other keeps the filter last set.
TEST_F(PenDriverSingleSpot, PenModeChoosesTheFilter)
{
    const struct
    {
        int mode;
        bool smoothedBefore;
        int x;
    } cases[] = {{1, false, 160}, {0, true, 200}, {2, false, 200}, {2, true, 160}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << " after " << c.smoothedBefore);
        g_penInjector.SetFilter(c.smoothedBefore ? FILTER_SMOOTHED : FILTER_RAW, PEN_FILTER_T, 1);
        m_world.m_platform.m_mouse.clear();
        m_world.m_state.m_nInkoraPenMode = c.mode;
        Run(SingleSamples({{0, 0}, {100, 100}, {200, 100}}));
        EXPECT_EQ(Mouse().back(), Move(c.x, 100));
    }
}

TEST_F(PenDriverSingleSpot, OnlyTheCanvasWindowCountsForTheDoubleClick)
{
    // The multi panel alone does not stop the double click in this form.
    m_world.m_platform.AddWindow("TfrmMultiPanser", MULTI_WINDOW, true);
    Run(SingleSamples({{300, 200}, {0, 0}, {305, 200}, {0, 0}}));
    EXPECT_EQ(Buttons(), (Events{Press(300, 200), Release(300, 200), DoubleClick(300, 200)}));
    m_world.m_platform.m_mouse.clear();
    g_penInjector.Reset();
    m_world.m_platform.AddWindow("TfrmCanvas", CANVAS_WINDOW, true);
    Run(SingleSamples({{300, 200}, {0, 0}, {305, 200}, {0, 0}}));
    EXPECT_EQ(Buttons(),
              (Events{Press(300, 200), Release(300, 200), Press(305, 200), Release(305, 200)}));
}

TEST_F(PenDriverTwoSingleSpotCameras, PenOnMonitorZeroIsNotLiftedByTheOtherCamerasEmptyPackets)
{
    // Camera 0 draws; camera 1 sees nothing and says so with every packet, its packets
    // ending three passes after camera 0's.
    const auto camera1 = std::vector<std::uint8_t>{0, 0, 0} + SingleSamples(Repeat({0, 0}, 6));
    Run(SingleSamples(Repeat({300, 200}, 5) + Repeat({0, 0}, 1)), camera1);
    EXPECT_EQ(Buttons(), (Events{Press(300, 200), Release(300, 200)}));
    // One move per packet of camera 0, none repeated for camera 1's packets.
    EXPECT_EQ(Mouse().size(), 7u);
}

TEST_F(PenDriverTwoSingleSpotCameras,
       PenSeenOnlyByCameraOneActsInThePassesItsPacketsCompleteAndLiftsWhenItGoesQuiet)
{
    // Camera 1 maps (100, 200) to (1124, 200) on monitor 1. Camera 0 sees nothing; its empty
    // packets complete three passes after camera 1's.
    const auto camera1 = SingleSamples(Repeat({100, 200}, 3) + Repeat({0, 0}, 1));
    const auto camera0 = std::vector<std::uint8_t>{0, 0, 0} + SingleSamples(Repeat({0, 0}, 4));
    // The last bytes of camera 1's four packets.
    EXPECT_EQ(Run(camera0, camera1), (std::vector<std::size_t>{6, 13, 20, 27}));
    const auto mouse = Mouse();
    ASSERT_EQ(mouse.size(), 5u);
    EXPECT_EQ(mouse.front(), Press(1124, 200));
    EXPECT_EQ(mouse.back(), Release(1124, 200));
    EXPECT_EQ(g_nActiveMonitor, 0);
    // Pressed again, then camera 1 goes quiet: the pen it drives is lifted.
    Run(camera0, SingleSamples(Repeat({200, 300}, 2)));
    m_world.m_records[1].rxState = RX_QUIET;
    OnPenByte(m_world.m_records);
    EXPECT_EQ(Buttons().back(), Release(1224, 300));
}

// Both cameras see a spot: the pointer follows the camera whose number is the monitor a spot
// lies in, the last match winning. Both on monitor 1 follow camera 1 (each packet completes
// in the same pass); both outside every monitor leave camera 1's result; crossed monitors
// make monitor 0 active with camera 0's spot, which lies outside it and is dropped.
TEST_F(PenDriverTwoSingleSpotCameras, BothCamerasSeeingASpotFollowTheMonitorItLiesIn)
{
    const struct
    {
        int dx0;
        int dx1;
        int monitor;
        int camera;
        Events mouse;
    } cases[] = {{1024, 1024, 1, 1, {Press(1124, 200), Move(1124, 200), Move(1124, 200)}},
                 {3000, 3000, 0, 1, {}},
                 {1024, 0, 0, 0, {}}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "camera 0 at +" << c.dx0 << ", camera 1 at +" << c.dx1);
        ResetPenPipeline();
        m_world.m_platform.m_mouse.clear();
        m_world.InstallStraightModel(0, c.dx0);
        m_world.InstallStraightModel(1, c.dx1);
        Run(SingleSamples(Repeat({50, 50}, 2)), SingleSamples(Repeat({100, 200}, 2)));
        EXPECT_EQ(g_nActiveMonitor, c.monitor);
        EXPECT_EQ(g_nPointerCamera, c.camera);
        EXPECT_EQ(Mouse(), c.mouse);
    }
}

TEST_F(StallWatchTest, EveryPenIsLiftedBeforeTheProgramEnds)
{
    Run(MultiFrames(Hold({{300, 200}, {600, 400}}, 3)));
    ASSERT_EQ(Buttons(), (Events{Press(300, 200)}));
    m_world.m_platform.m_windowMessages.clear();
    CameraOneRepeats(0x5A, 1001);
    ASSERT_EQ(m_world.m_state.m_controller.m_link.m_bFailed, 1);
    EXPECT_EQ(Buttons(), (Events{Press(300, 200), Release(300, 200)}));
    EXPECT_EQ(
        CompanionMessages(m_world.m_platform.m_windowMessages),
        (std::vector<COMPANION_MESSAGE>{{WM_COMPANION_PEN1, PackCompanionLift(600, 400), PEN_UP}}));
}

// The pen path watches nothing while the system is suspended; the calibration callback watches
// whatever the run state.
TEST_F(StallWatchTest, SilentWhileSuspendedButTheCalibrationCallbackAlwaysWatches)
{
    m_world.m_state.m_nRunState = RUN_STATE_SUSPENDED;
    CameraOneRepeats(0x5A, 3000);
    EXPECT_EQ(m_world.m_state.m_controller.m_link.m_bFailed, 0);
    EXPECT_TRUE(m_world.m_platform.m_mainMessages.empty());

    m_world.m_state.m_nRunState = RUN_STATE_BUSY;
    CAMERA_RECORD record;
    record.index = 1;
    record.rxByte = 0x41;
    for (int n = 0; n < 1000; ++n)
        OnCalibrationByte(record);
    EXPECT_EQ(m_world.m_state.m_controller.m_link.m_bFailed, 0);
    OnCalibrationByte(record);
    EXPECT_EQ(m_world.m_state.m_controller.m_link.m_bFailed, 1);
    // Counted as camera 0, whichever camera is being calibrated.
    EXPECT_EQ(g_lastByte[0], 0x41);
    EXPECT_EQ(g_lastByte[1], 0);
}
