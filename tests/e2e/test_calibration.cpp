// Calibrating through the real calibration window, as a person at the board does: the test
// looks at the screen for the target the window shows, holds the simulated pen on it until the
// next one appears, and lifts it. Then strokes land where the pen touches.

#include "calibration/CalibTypes.h"
#include "core/Messages.h"
#include "resources/resource.h"
#include "sim/Optics.h"
#include "tests/wine_support/CalibrationWindow.h"
#include "tests/wine_support/Landing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace
{
// Calibrates a single unit through the window and checks the result as a user would.
void CalibrateOneUnit(int model, std::size_t targets, const char* name)
{
    // The unit keeps a calibration of a camera aimed elsewhere: the pen lands wrong until the
    // board is calibrated again.
    const CCalibratedBoard elsewhere({.calibModel = model, .viewFill = 0.65});
    CDriverRun run(name);
    CHookProbe probe;
    ASSERT_TRUE(StartTracking(run, probe, elsewhere));
    const std::wstring before =
        run.Config(L"1024_768_Param0", L"p0") + run.Config(L"1024_768_Vector0", L"v0");
    const std::vector<SIM_OPTICS_CONFIG> optics = OpticsFor(Monitors(), 1);
    EXPECT_FALSE(ShortStrokeLands(probe, run, optics[0], 150, 120, 20.0));

    run.Command(ID_TRAY_CALIBRATE);
    HWND window = run.WaitForWindow(L"CCalibrationDlg", 10000);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(run.WaitForState("cursor", "0", 3000));

    const std::vector<TOUCHED> touched = TouchShownTargets(run, optics, targets + 1);
    ASSERT_EQ(touched.size(), targets);
    // Down the first column first: the second target lies below the first.
    EXPECT_NEAR(touched[1].target.x, touched[0].target.x, 3.0);
    EXPECT_GT(touched[1].target.y, touched[0].target.y + 50);
    // Every arrow lies toward the middle of the screen (the target in the middle has one too).
    for (const TOUCHED& t : touched)
    {
        const double inX = GetSystemMetrics(SM_CXSCREEN) / 2.0 - t.target.x;
        const double inY = GetSystemMetrics(SM_CYSCREEN) / 2.0 - t.target.y;
        EXPECT_GT(std::hypot(t.target.arrowX, t.target.arrowY), 20.0);
        if (std::hypot(inX, inY) < 1.0)
            continue;
        EXPECT_GT(t.target.arrowX * inX + t.target.arrowY * inY, 0.0)
            << "arrow at " << t.target.x << "," << t.target.y;
    }
    // The last target brings the report on the same window, with the pen tracking again; it
    // is kept beside the settings, and a tap of the pen closes it.
    ASSERT_NE(WaitForReportScreen(run, 5000), nullptr) << "no report after the last target";
    run.Screenshot("report", window);
    EXPECT_TRUE(run.WaitForState("cursor", "1", 5000));
    ASSERT_TRUE(run.WaitForState("reader", "1", 5000));
    const std::string report = run.ReadText("CalibrationReport0.txt");
    EXPECT_NE(report.find("advice=all_good\n"), std::string::npos) << report;
    EXPECT_TRUE(run.Exists("CalibrationReport0.png"));
    const std::size_t beforeTap = probe.Count();
    EXPECT_TRUE(TapUntilHidden(run, optics[0], 0, window, 512, 600));
    EXPECT_FALSE(ButtonEvents(probe, beforeTap, 2).empty()) << "the tap is the pen as the mouse";
    Sleep(300);
    EXPECT_NE(run.Config(L"1024_768_Param0", L"p0") + run.Config(L"1024_768_Vector0", L"v0"),
              before)
        << "Config.ini still holds the old model";

    for (const auto& [x, y] : {std::pair{200.0, 150.0}, {512.0, 384.0}, {850.0, 600.0}})
    {
        // The nine-point model's fixed lens correction leaves about 4 to 6 px on this lens (its
        // calibration report says so); the sixteen-point model fits the lens itself.
        EXPECT_TRUE(ShortStrokeLands(probe, run, optics[0], x, y, model == 1 ? 6 : 4));
    }
    EXPECT_TRUE(run.Exit());
}
} // namespace

TEST(Calibration, SixteenTargetsThroughTheWindowThenStrokesLandWhereThePenTouches)
{
    CalibrateOneUnit(0, 16, "calibrate-sixteen");
}

TEST(Calibration, NineTargetsThroughTheWindowThenStrokesLandWhereThePenTouches)
{
    CalibrateOneUnit(1, 9, "calibrate-nine");
}

// Escape and a display change (a projector plugged in), each half-way through a calibration:
// the window goes, the cursor comes back and strokes land as before.
TEST(Calibration, InterruptedHalfWayBringsBackTheCursorAndThePreviousModel)
{
    struct INTERRUPTION
    {
        const char* name;
        void (*interrupt)(CDriverRun& run);
    };
    const INTERRUPTION interruptions[] = {
        {"calibrate-escape", [](CDriverRun&) { PressKey(VK_ESCAPE); }},
        {"calibrate-display-change", [](CDriverRun& run) { run.PostToMain(WM_DISPLAYCHANGE, 24); }},
    };
    const CCalibratedBoard board;
    for (const INTERRUPTION& interruption : interruptions)
    {
        SCOPED_TRACE(interruption.name);
        CDriverRun run(interruption.name);
        CHookProbe probe;
        ASSERT_TRUE(StartTracking(run, probe, board));
        run.Command(ID_TRAY_CALIBRATE);
        const std::vector<SIM_OPTICS_CONFIG> optics = OpticsFor(Monitors(), 1);
        ASSERT_EQ(TouchShownTargets(run, optics, 5).size(), 5u);
        HWND window = run.WaitForWindow(L"CCalibrationDlg", 2000);
        ASSERT_NE(window, nullptr);
        interruption.interrupt(run);

        EXPECT_TRUE(run.WaitForState("cursor", "1", 5000));
        ASSERT_TRUE(run.WaitForState("reader", "1", 5000));
        EXPECT_FALSE(IsWindowVisible(window));
        EXPECT_TRUE(ShortStrokeLands(probe, run, board.m_optics[0], 400, 300, 4));
        EXPECT_TRUE(run.Exit());
    }
}

TEST(Calibration, TwoUnitsCalibrateCameraByCameraOnTheirOwnMonitors)
{
    const std::vector<RECT> monitors = Monitors();
    ASSERT_EQ(monitors.size(), 2u) << "the test display must have two screens";
    ASSERT_EQ(monitors[1].left, monitors[0].right) << "the second monitor must be beside the first";
    // A first installation: the calibration starts from the start wizard's last page.
    CHookProbe probe;
    ASSERT_TRUE(probe.IsReady());
    CDriverRun run("calibrate-two-units");
    run.WriteText("SimScenario.txt", "units 2\nunit 0 minor 0x15\nunit 1 minor 0x15\n");
    HWND wizard = run.StartIntoWizard();
    ASSERT_NE(wizard, nullptr) << "no start wizard";
    ASSERT_EQ(run.DescribeState()["cameras"], "2");
    ASSERT_NE(CDriverRun::PressPageButton(wizard, IDC_CALIBRATE_HEADING), nullptr);

    const std::vector<SIM_OPTICS_CONFIG> optics = OpticsFor(monitors, 2);
    const std::vector<TOUCHED> first = TouchShownTargets(run, optics, 16);
    ASSERT_EQ(first.size(), 16u);
    for (const TOUCHED& t : first)
        EXPECT_EQ(t.unit, 0);
    // Camera 0 is done: the settings are saved, the board is not yet calibrated and the cursor
    // stays hidden while camera 1 follows on its own monitor.
    HWND window = run.WaitForWindow(L"CCalibrationDlg", 5000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return UnitOfWindow(window, monitors) == 1; }, 5000));
    const auto between = run.DescribeState();
    EXPECT_EQ(between.at("cursor"), "0");
    EXPECT_EQ(between.at("calibrated"), "0");
    EXPECT_NE(run.Config(L"1024_768_Param0", L"p0"), L"");

    const std::vector<TOUCHED> second = TouchShownTargets(run, optics, 17);
    ASSERT_EQ(second.size(), 16u);
    for (const TOUCHED& t : second)
        EXPECT_EQ(t.unit, 1);
    EXPECT_TRUE(run.WaitForState("calibrated", "1", 5000));
    EXPECT_TRUE(run.WaitForState("cursor", "1", 5000));
    EXPECT_NE(run.Config(L"1024_768_Param1", L"p0"), L"");
    // Each camera's report is kept; the last one is on the screen.
    EXPECT_NE(WaitForReportScreen(run, 5000), nullptr);
    EXPECT_TRUE(run.Exists("CalibrationReport0.txt") && run.Exists("CalibrationReport1.txt"));
    CDriverRun::Click(wizard, WIZARD_FINISH);
    EXPECT_TRUE(run.WaitForState("tray", "1", 5000));
    ASSERT_TRUE(run.WaitForState("reader", "1", 5000));

    // Each camera's pen draws on its own monitor, the second one beside the primary.
    for (int unit = 0; unit < 2; ++unit)
    {
        const RECT& m = monitors[std::size_t(unit)];
        const double x = m.left + (m.right - m.left) * 0.4;
        const double y = m.top + (m.bottom - m.top) * 0.4;
        EXPECT_TRUE(ShortStrokeLands(probe, run, optics[std::size_t(unit)], x, y, 4, unit))
            << "camera " << unit;
    }
    EXPECT_TRUE(run.Exit());
}
