// What the hidden main window does with the devices, on the real reader thread and simulated
// units: a stalled camera ends the program without a deadlock and without saving, suspend and
// resume restart tracking once.

#include "shell/DriverState.h"
#include "shell/MainFlows.h"
#include "shell/Messages.h"
#include "tests/support/PenScenario.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace
{
int Count(const std::vector<std::uint32_t>& messages, std::uint32_t message)
{
    return static_cast<int>(std::count(messages.begin(), messages.end(), message));
}
} // namespace

TEST(MainFlows, StalledCameraIsReportedOnceByTheMainWindowWhichEndsTheReaderFirst)
{
    CPenScenario scenario;
    ASSERT_TRUE(scenario.StartDevices()) << scenario.Error();
    ASSERT_TRUE(scenario.Calibrate()) << scenario.Error();
    ASSERT_TRUE(scenario.StartTracking()) << scenario.Error();
    // A line stuck at one value.
    std::string stuck = "unit 0 send";
    for (int i = 0; i < 256; ++i)
        stuck += " 5A";
    for (int i = 0; i < 5; ++i)
        scenario.m_world.m_bus->Execute(stuck);
    ASSERT_TRUE(scenario.Frames(20)) << scenario.Error();

    CDriverState& state = scenario.State();
    EXPECT_EQ(state.m_controller.IsFailed(), 1);
    EXPECT_GE(Count(scenario.MainMessages(), WM_CAMERA_STALLED), 1);
    // The reader still runs, flagged; nothing has been shown from it.
    EXPECT_TRUE(state.m_controller.m_link.IsReaderRunning());
    EXPECT_TRUE(scenario.m_world.m_platform.m_boxes.empty());

    scenario.OpenReadGate();
    OnCameraStalled(state);
    OnCameraStalled(state);
    EXPECT_FALSE(state.m_controller.m_link.IsReaderRunning());
    ASSERT_EQ(scenario.m_world.m_platform.m_boxes.size(), 1u);
    EXPECT_EQ(scenario.m_world.m_platform.m_boxes[0].style, std::uint32_t{BOX_ICONERROR});
    EXPECT_EQ(scenario.m_world.m_platform.m_nQuits, 1);

    // The shutdown that follows keeps the settings as they were.
    int writes = 0;
    {
        std::lock_guard guard(scenario.m_world.m_platform.m_lock);
        scenario.m_world.m_platform.m_profileWriter =
            [&writes](const std::wstring&, const std::wstring&, const std::wstring&,
                      const std::wstring&)
        {
            ++writes;
            return true;
        };
    }
    ShutdownDevices(state);
    EXPECT_EQ(writes, 0);
}

TEST(MainFlows, FailedLinkStillEndsItsReaderBeforeTheRecordGoes)
{
    auto scenario = std::make_unique<CPenScenario>();
    ASSERT_TRUE(scenario->StartDevices()) << scenario->Error();
    ASSERT_TRUE(scenario->Calibrate()) << scenario->Error();
    ASSERT_TRUE(scenario->StartTracking()) << scenario->Error();
    scenario->PenDown(0, 0, 400, 300);
    ASSERT_TRUE(scenario->Frames(3));
    // As after a stall: the record and its tables go while the flagged reader maps pens through
    // them; the sanitizers see any read after they are freed.
    scenario->State().m_controller.m_link.m_bFailed = 1;
    scenario->OpenReadGate();
    EXPECT_TRUE(scenario->State().m_controller.StopDevices());
    EXPECT_FALSE(scenario->State().m_controller.m_link.IsReaderRunning());
    ASSERT_TRUE(scenario->StartTracking());
    scenario->State().m_controller.m_link.m_bFailed = 1;
    scenario->OpenReadGate();
    scenario.reset();
}

TEST(MainFlows, SuspendPausesTheWatchAndResumeRestartsTrackingOnce)
{
    CPenScenario scenario;
    CDriverState& state = scenario.State();
    OnPowerEvent(state, POWER_SUSPEND);
    EXPECT_EQ(state.m_nRunState, RUN_STATE_SUSPENDED);
    OnPowerEvent(state, 10);
    EXPECT_EQ(state.m_nRunState, RUN_STATE_SUSPENDED);
    OnPowerEvent(state, POWER_RESUME_SUSPEND);
    EXPECT_EQ(state.m_nRunState, RUN_STATE_RUNNING);
    EXPECT_EQ(Count(scenario.MainMessages(), WM_RESTART_TRACKING), 1);
}
