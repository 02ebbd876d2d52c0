#pragma once
// What the end-to-end runs share (tests and the demo): a calibrated Config.ini made by the driver's
// own capture against the same optics the test then uses to place pens, strokes drawn through the
// simulated unit's control file, and the mouse buttons a hook in another process saw.

#include "sim/Optics.h"
#include "tests/support/PenScenario.h"
#include "tests/wine_support/DriverRun.h"
#include "tests/wine_support/HookProbe.h"

#include <string>
#include <vector>

// A board calibrated by the driver's capture in this process, with the optics of its camera
// units; Write puts the settings and the calibration into a run's Config.ini.
class CCalibratedBoard
{
public:
    explicit CCalibratedBoard(const PEN_SCENARIO_OPTIONS& options = PEN_SCENARIO_OPTIONS());

    bool IsCalibrated() const { return m_bCalibrated; }
    // Config.ini as the program saves it after this calibration, and the units' setting
    // stores as the program writes them (a single unit keeps its calibration itself).
    void WriteConfig(const CDriverRun& run) const;
    // Scenario lines that give the units that firmware and store.
    std::string Scenario() const;
    // Only Config.ini.
    void WriteSettingsFile(const CDriverRun& run) const;
    // The control-file command that puts a pen of a unit at a screen point, or lifts it.
    std::string PenAt(int unit, int pen, double screenX, double screenY) const;
    static std::string PenUp(int unit, int pen);

    PEN_SCENARIO_OPTIONS m_options;
    std::vector<SIM_OPTICS_CONFIG> m_optics;

private:
    bool m_bCalibrated = false;
    std::wstring m_strConfig;
    std::string m_strStoreLines;
};

// The board most runs use: one camera unit with multi-spot firmware, calibrated once.
const CCalibratedBoard& Board();

// Draws a stroke with pen 0 of a unit seen through its optics: down at the first point, through
// the others, lifted at the end, at about the pace of a hand.
void DrawStroke(const CDriverRun& run, const SIM_OPTICS_CONFIG& optics,
                const std::vector<std::pair<double, double>>& points, int unit = 0);
inline void DrawStroke(const CDriverRun& run, const CCalibratedBoard& board,
                       const std::vector<std::pair<double, double>>& points)
{
    DrawStroke(run, board.m_optics[0], points);
}

// Button events (not moves) the hook saw after `skip` events, waiting until `count` came.
std::vector<HOOKED_EVENT> ButtonEvents(CHookProbe& probe, std::size_t skip, std::size_t count);

// The board's Config.ini and units, then the usual start of a run with a pen.
bool StartTracking(CDriverRun& run, CHookProbe& probe, const CCalibratedBoard& board);

// Draws the stroke and returns the buttons the hook saw for it, waiting for a press and a release.
std::vector<HOOKED_EVENT> StrokeButtons(CHookProbe& probe, const CDriverRun& run,
                                        const SIM_OPTICS_CONFIG& optics,
                                        const std::vector<std::pair<double, double>>& points,
                                        int unit = 0);

// Distance in pixels.
double Distance(long x, long y, double toX, double toY);

// Starts of pen tracking the unit received, by the start packet only they send, read from the
// run's packet log ("log packets.txt" in its scenario) once at least `count` are there or after
// ten seconds.
std::size_t WaitForTrackingStarts(const CDriverRun& run, std::size_t count);
