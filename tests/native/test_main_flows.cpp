// What the hidden main window does with the devices, on the real reader thread and simulated
// units: a stalled camera ends the program without a deadlock and without saving; events that
// arrive while a calibration runs end it soundly.

#include "calibration/CaptureSequence.h"
#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/DeviceController.h"
#include "settings/Settings.h"
#include "shell/DriverModes.h"
#include "shell/MainFlows.h"
#include "tests/support/PenScenario.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(MainFlows, StalledCameraIsReportedOnceByTheMainWindowWhichEndsTheReaderFirst)
{
    CPenScenario scenario;
    ASSERT_TRUE(scenario.StartDevices() && scenario.Calibrate() && scenario.StartTracking())
        << scenario.Error();
    // A line stuck at one value.
    std::string stuck = "unit 0 send";
    for (int i = 0; i < 256; ++i)
        stuck += " 5A";
    for (int i = 0; i < 5; ++i)
        scenario.m_world.m_bus->Execute(stuck);
    ASSERT_TRUE(scenario.Frames(20)) << scenario.Error();

    CDriverState& state = scenario.State();
    EXPECT_EQ(state.m_controller.IsFailed(), 1);
    EXPECT_GE(std::ranges::count(scenario.MainMessages(), WM_CAMERA_STALLED), 1);
    // The reader still runs, flagged; nothing has been shown from it.
    EXPECT_TRUE(state.m_controller.m_link.IsReaderRunning());
    EXPECT_TRUE(scenario.m_world.m_platform.m_boxes.empty());

    scenario.OpenReadGate();
    OnCameraStalled(state);
    OnCameraStalled(state);
    EXPECT_FALSE(state.m_controller.m_link.IsReaderRunning());
    ASSERT_EQ(scenario.m_world.m_platform.m_boxes.size(), 1u);
    EXPECT_EQ(scenario.m_world.m_platform.m_boxes[0].style, std::uint32_t{BOX_ICONERROR});
    EXPECT_EQ(scenario.m_world.m_platform.m_boxes[0].text, L"The camera stopped sending.");
    EXPECT_EQ(scenario.m_world.m_platform.m_nQuits, 1);

    // The shutdown that follows keeps the settings as they were.
    int writes = 0;
    {
        std::lock_guard guard(scenario.m_world.m_platform.m_lock);
        scenario.m_world.m_platform.m_profileWriter = [&writes](const auto&...)
        { return ++writes > 0; };
    }
    ShutdownDevices(state);
    EXPECT_EQ(writes, 0);
}

TEST(MainFlows, FailedLinkStillEndsItsReaderBeforeTheRecordGoes)
{
    auto scenario = std::make_unique<CPenScenario>();
    ASSERT_TRUE(scenario->StartDevices() && scenario->Calibrate() && scenario->StartTracking())
        << scenario->Error();
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

// A calibration runs when an event arrives. The cursor is hidden once and shown once when the
// calibration ends, however it ends; the pen maps through the model it had before.
TEST(DriverModes, EventsDuringACalibrationEndItSoundly)
{
    const struct
    {
        const char* name;
        void (*event)(CDriverModes& modes);
        bool stillCalibrating;
    } cases[] = {
        {"Calibrate again", [](CDriverModes& m) { m.OnCalibrate(false); }, true},
        {"Escape", [](CDriverModes& m) { m.OnEscape(); }, false},
        {"display change", [](CDriverModes& m) { m.OnDisplayChange(); }, false},
        {"suspend", [](CDriverModes& m) { m.OnPowerEvent(POWER_SUSPEND); }, false},
        {"session end", [](CDriverModes& m) { m.OnEndSession(); }, false},
        {"no window", nullptr, false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CPenScenario scenario;
        ASSERT_TRUE(scenario.StartDevices() && scenario.Calibrate()) << scenario.Error();
        int beforeX = 0;
        int beforeY = 0;
        ASSERT_TRUE(scenario.DriverMaps(0, 500, 400, beforeX, beforeY));
        scenario.OpenReadGate();
        CALIBRATION_HOOKS hooks = g_calibrationHooks;
        AddCalibrationSettingsHooks(hooks);
        if (c.event == nullptr)
            hooks.pfnShowWindow = [](CDeviceController&, std::uint16_t) { return false; };
        g_calibrationHooks = hooks;
        CDriverModes modes(scenario.State());
        modes.SetMode(DRIVER_MODE::Tracking);
        const auto cursorCount = [&scenario](bool show)
        {
            std::lock_guard guard(scenario.m_world.m_platform.m_lock);
            return std::ranges::count(scenario.m_world.m_platform.m_cursorShows, show);
        };
        const auto hiddenBefore = cursorCount(false);
        const auto shownBefore = cursorCount(true);

        modes.OnCalibrate(false);
        if (c.event != nullptr)
        {
            EXPECT_TRUE(modes.IsCalibrating());
            c.event(modes);
        }
        for (std::uint32_t message : scenario.MainMessages())
        {
            if (message == WM_SHOW_CURSOR)
                modes.OnShowCursor();
            else if (message == WM_RESTART_TRACKING)
                modes.OnRestartTracking();
        }

        EXPECT_EQ(modes.IsCalibrating(), c.stillCalibrating);
        EXPECT_EQ(cursorCount(false) - hiddenBefore, 1);
        EXPECT_EQ(cursorCount(true) - shownBefore, c.stillCalibrating ? 0 : 1);
        if (c.stillCalibrating)
            continue;
        EXPECT_FALSE(g_captureState.m_bArmed.load());
        int afterX = 0;
        int afterY = 0;
        ASSERT_TRUE(scenario.DriverMaps(0, 500, 400, afterX, afterY));
        EXPECT_EQ(afterX, beforeX);
        EXPECT_EQ(afterY, beforeY);
    }
}

// A projector plugged in sends several display changes; with an uncalibrated unit that keeps
// its own settings each would show M4. The ones that arrive while the box is up are the same
// change: one box.
TEST(DriverModes, ABurstOfDisplayChangesShowsOneBox)
{
    CPenScenario scenario;
    ASSERT_TRUE(scenario.StartDevices()) << scenario.Error();
    scenario.OpenReadGate();
    scenario.State().m_bCalibrated = 0;
    CDriverModes modes(scenario.State());
    modes.SetMode(DRIVER_MODE::Tracking);
    int boxesUp = 0;
    scenario.m_world.m_platform.m_onBox = [&modes, &boxesUp]()
    {
        if (++boxesUp > 1)
            return;
        modes.OnDisplayChange();
        modes.OnDisplayChange();
    };
    modes.OnDisplayChange();
    scenario.m_world.m_platform.m_onBox = nullptr;
    EXPECT_EQ(scenario.m_world.m_platform.m_boxes.size(), 1u);
    EXPECT_TRUE(scenario.State().m_controller.m_link.IsReaderRunning());
    // A change after the box has gone is a change of its own.
    modes.OnDisplayChange();
    EXPECT_EQ(scenario.m_world.m_platform.m_boxes.size(), 2u);
}
