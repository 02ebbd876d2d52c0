// Runs the driver's pen chain against a simulated camera unit and says what happened: the
// calibration as a user does it (a pen held on each target shown), how well the solved model
// places the pen, then a stroke, a double click, a right click and four pens at once, with
// the mouse records and companion messages the driver sent for them.

#include "shell/DriverState.h"
#include "tests/support/PenScenario.h"
#include "tests/support/PenTestKit.h"
#include "tracking/PenInjector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace
{
const char* ActionName(MOUSE_ACTION action)
{
    switch (action)
    {
    case MOUSE_ACTION::Move:
        return "move";
    case MOUSE_ACTION::Press:
        return "left button down";
    case MOUSE_ACTION::Release:
        return "left button up";
    case MOUSE_ACTION::DoubleClick:
        return "double click";
    case MOUSE_ACTION::RightClick:
        return "right click";
    case MOUSE_ACTION::Click:
        return "click";
    case MOUSE_ACTION::Other:
        return "other";
    }
    return "?";
}

// Prints the button records and a summary of the moves between them.
void ReportMouse(CPenScenario& scenario)
{
    const auto events = MouseEvents(scenario.MouseRecords(), scenario.m_options.monitorWidth,
                                    scenario.m_options.monitorHeight);
    int moves = 0;
    for (const INJECTED_EVENT& event : events)
    {
        if (event.action == MOUSE_ACTION::Move)
        {
            ++moves;
            continue;
        }
        if (moves > 0)
            std::printf("      %d pointer moves\n", moves);
        moves = 0;
        std::printf("      %s at (%d, %d)\n", ActionName(event.action), event.x, event.y);
    }
    if (moves > 0)
        std::printf("      %d pointer moves\n", moves);
}

bool Step(CPenScenario& scenario, bool ok)
{
    if (!ok)
        std::printf("stopped: %s\n", scenario.Error().c_str());
    return ok;
}
} // namespace

int main()
{
    PEN_SCENARIO_OPTIONS options;
    CPenScenario scenario(options);
    std::printf("One simulated camera unit, firmware minor 0x%02X, watching a %d x %d monitor.\n",
                options.firmwareMinor, options.monitorWidth, options.monitorHeight);
    if (!Step(scenario, scenario.StartDevices()))
        return 1;
    std::printf("Devices started; firmware version %.2f, so the multi-spot form is used.\n",
                double(scenario.State().m_dFirmwareVersion));

    std::printf("\nCalibration (sixteen-point model): the pen is held on each target shown.\n");
    if (!Step(scenario, scenario.Calibrate()))
        return 1;
    for (const TARGET_TOUCH& touch : scenario.Touches())
        std::printf("  target %2d at (%4d, %3d) taken\n", touch.target, touch.screenX,
                    touch.screenY);
    std::printf("  settings saved %d time(s); calibrated flag %d\n", scenario.Saves(),
                int(scenario.State().m_bCalibrated));

    int worst = 0;
    double sum = 0.0;
    int points = 0;
    for (int y = 40; y <= 728; y += 48)
    {
        for (int x = 40; x <= 984; x += 59)
        {
            int mappedX = 0;
            int mappedY = 0;
            if (!scenario.DriverMaps(0, x, y, mappedX, mappedY))
                continue;
            const double error = std::hypot(mappedX - x, mappedY - y);
            worst = std::max(worst, static_cast<int>(std::ceil(error)));
            sum += error;
            ++points;
        }
    }
    std::printf("  over %d points of the monitor the pen lands %.2f pixels from where it "
                "touches on average, %d at most\n",
                points, points > 0 ? sum / points : 0.0, worst);

    if (!Step(scenario, scenario.StartTracking()) || !Step(scenario, scenario.Frames(5)))
        return 1;
    scenario.ClearRecords();

    std::printf("\nPen tracking.\n  A stroke from (200, 300) to (600, 400), then the pen lifts:\n");
    scenario.PenDown(0, 0, 200, 300);
    scenario.Frames(3);
    for (int step = 1; step <= 20; ++step)
    {
        scenario.PenDown(0, 0, 200 + 20 * step, 300 + 5 * step);
        scenario.Frames(1);
    }
    // The frame a pen vanishes in is never reported, so it rests at the end of the stroke.
    scenario.Frames(3);
    scenario.PenUp(0, 0);
    scenario.Frames(30);
    ReportMouse(scenario);
    double farthest = 0.0;
    for (const INJECTED_EVENT& event :
         MouseEvents(scenario.MouseRecords(), options.monitorWidth, options.monitorHeight))
    {
        // Distance from the line y = 300 + (x - 200) / 4.
        const double distance =
            std::abs(event.y - 300.0 - (event.x - 200.0) / 4.0) / std::sqrt(1.0 + 1.0 / 16.0);
        farthest = std::max(farthest, distance);
    }
    std::printf("      every record lies within %.1f pixels of the stroke\n", farthest);

    scenario.ClearRecords();
    std::printf("  Two quick touches at (400, 400) and (405, 400), 50 ms apart:\n");
    scenario.PenDown(0, 0, 400, 400);
    scenario.Frames(3);
    scenario.PenUp(0, 0);
    scenario.Frames(5);
    scenario.PenDown(0, 0, 405, 400);
    scenario.Frames(3);
    scenario.PenUp(0, 0);
    scenario.Frames(30);
    ReportMouse(scenario);

    scenario.ClearRecords();
    std::printf("  The pen held still at (700, 250) for 0.7 s:\n");
    scenario.PenDown(0, 0, 700, 250);
    scenario.Frames(70);
    scenario.PenUp(0, 0);
    scenario.Frames(3);
    ReportMouse(scenario);

    scenario.ClearRecords();
    scenario.m_world.m_platform.AddWindow("TfrmMultiPanser", 0x2001, true);
    std::printf("  Four pens at once for 60 ms, with the companion program's panel shown:\n");
    const int pens[4][2] = {{150, 150}, {850, 150}, {150, 600}, {850, 600}};
    for (int pen = 0; pen < 4; ++pen)
        scenario.PenDown(0, pen, pens[pen][0], pens[pen][1]);
    scenario.Frames(6);
    for (int pen = 0; pen < 4; ++pen)
        scenario.PenUp(0, pen);
    scenario.Frames(3);
    std::printf("    pen 0 (the mouse):\n");
    ReportMouse(scenario);
    std::map<std::uint32_t, std::map<std::intptr_t, int>> counts;
    std::map<std::uint32_t, std::uintptr_t> firstPosition;
    for (const RECORDED_MESSAGE& message : scenario.WindowMessages())
    {
        ++counts[message.message][message.lParam];
        firstPosition.emplace(message.message, message.wParam);
    }
    for (const auto& [message, actions] : counts)
    {
        const std::uintptr_t position = firstPosition[message];
        std::printf("    pen %u: message %u to the companion window, first at (%d, %d): %d "
                    "down, %d moves, %d up\n",
                    message - WM_COMPANION_PEN1 + 1, message, int(position >> 16),
                    int(position & 0xFFFF), actions.count(PEN_DOWN) ? actions.at(PEN_DOWN) : 0,
                    actions.count(PEN_MOVE) ? actions.at(PEN_MOVE) : 0,
                    actions.count(PEN_UP) ? actions.at(PEN_UP) : 0);
    }
    scenario.StopReader();
    std::printf("\nDone.\n");
    return 0;
}
