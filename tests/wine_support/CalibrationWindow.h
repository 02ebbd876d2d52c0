#pragma once
// The calibration window as a person at the board meets it: the target it shows, found on the
// screen, and a simulated pen held on each target until the next one appears.

#include "sim/Optics.h"
#include "tests/wine_support/DriverRun.h"

#include <optional>
#include <string>
#include <vector>

// The target as the window shows it: the centre of the cyan cross-hair and the direction in
// which its magenta arrow lies from it, in screen pixels.
struct SHOWN_TARGET
{
    double x = 0;
    double y = 0;
    double arrowX = 0;
    double arrowY = 0;
};

// The monitors, the primary first: monitor i is camera unit i's.
std::vector<RECT> Monitors();
// The unit whose monitor the window covers, or -1.
int UnitOfWindow(HWND window, const std::vector<RECT>& monitors);
// Each unit's camera looking at its monitor, as the test boards do.
std::vector<SIM_OPTICS_CONFIG> OpticsFor(const std::vector<RECT>& monitors, int units);
// The control-file command for a pen of a unit at a screen point.
std::string PenAt(const SIM_OPTICS_CONFIG& config, int unit, double x, double y, int pen = 0);

struct TOUCHED
{
    int unit = 0;
    SHOWN_TARGET target;
};

// Holds the pen on each target the window shows until the next appears or the window goes;
// stops after `limit` targets. Screenshots of the first and the fifth target.
std::vector<TOUCHED>
TouchShownTargets(CDriverRun& run, const std::vector<SIM_OPTICS_CONFIG>& optics, std::size_t limit);

// The calibration window showing a calibration's report (its instruction text hidden), once it
// has had a moment to paint; null when none shows within the time.
HWND WaitForReportScreen(const CDriverRun& run, DWORD milliseconds);
// A quick tap of pen 0 at a screen point, then waits until the window is hidden. True when it
// was.
bool TapUntilHidden(const CDriverRun& run, const SIM_OPTICS_CONFIG& optics, int unit, HWND window,
                    double x, double y);
