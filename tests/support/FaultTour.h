#pragma once
// The pen chain driven through the simulator's faults the way a reviewer tries it: calibrate
// on a clean link, then strokes, taps and holds with the fault on, through the real reader
// thread, parsers, tracker and injector on the virtual clock, and what a user would notice,
// measured against where the pens really were.

#include "tests/support/PenScenario.h"
#include "tests/support/PenTestKit.h"

#include <cstdint>
#include <string>
#include <vector>

enum class FAULT_CONDITION
{
    Clean,
    Garbage,
    Broken,
    GarbageBroken,
    Stall,
    Unplug,
    // Two cameras, one per monitor; camera 1 at 101 frames per second, with noise bytes, or
    // as clean as camera 0.
    TwoCamerasFast,
    TwoCamerasGarbage,
    TwoCamerasClean,
    // Unplugged mid-stroke, plugged in again three seconds later, then used as before; the
    // calling thread plays the main window's part (the wait, the looks, the reopening).
    UnplugReplug,
};

const char* FaultConditionName(FAULT_CONDITION condition);

struct FAULT_FIGURES
{
    // Left-button presses and releases, and the companion pens' downs and lifts.
    int presses = 0;
    int releases = 0;
    // 1 when a press has no release at the end.
    int stuck = 0;
    // Presses with no pen within PHANTOM_RADIUS during the PHANTOM_WINDOW before them.
    int phantom = 0;
    // How far each press and move lies from the nearest point its pen touched.
    double meanPx = 0.0;
    double maxPx = 0.0;
    // The longest delay from a pen reaching a point to the pointer reaching it; when a camera
    // goes quiet, the longest delay from then to the release of each pen pressed then
    // (infinite when one never came).
    double lagMs = 0.0;
    // UnplugReplug: 1 when strokes after the replug land as before (pressed, released, no
    // phantom); lagMs is then the time from the replug to the first pointer move after it.
    int resumed = 0;
};

// One thing the driver sent for a pen: pen 0 is the mouse, 1 to 3 the companion pens (whose
// downs and double clicks read as presses, their lifts as releases).
struct PEN_OUTPUT
{
    int pen = 0;
    MOUSE_ACTION kind = MOUSE_ACTION::Other;
    int x = 0;
    int y = 0;
    std::uint64_t micros = 0;
};

class CFaultTour
{
public:
    static constexpr int MONITOR_WIDTH = 1024;
    static constexpr int MONITOR_HEIGHT = 768;

    // multi: the multi-spot firmware form, else the single-spot one. minutes: how long the
    // two-camera conditions run, in simulated time.
    CFaultTour(bool multi, FAULT_CONDITION condition, double minutes = 10.0);

    // Calibrates, starts tracking, turns the fault on and drives the tour; false with the
    // reason in Error().
    bool Run();
    const std::string& Error() const { return m_strError; }

    // Everything the driver sent, in the order of simulated time.
    std::vector<PEN_OUTPUT> Outputs();
    FAULT_FIGURES Figures();
    // When the tour made a camera quiet.
    const std::vector<std::uint64_t>& QuietTimes() const { return m_quietAt; }
    // What was posted to the main window.
    std::vector<std::uint32_t> MainMessages() { return m_scenario.MainMessages(); }

private:
    // Where a pen was, in screen pixels, from one instant until the next change. Pen 0 of
    // either camera is the mouse.
    struct SEGMENT
    {
        int pen = 0;
        int x = 0;
        int y = 0;
        std::uint64_t from = 0;
        std::uint64_t to = 0;
    };

    std::uint64_t Now();
    void Execute(const std::string& commands);
    void Down(int camera, int pen, int x, int y);
    void Up(int camera, int pen);
    void Close(int camera, int pen);

    bool Stroke(int camera, int pens, int x, int y, int steps, int quietAtStep = -1,
                const std::string& quietCommand = {});
    bool TapsAndHold(int camera);
    bool Round(int camera, int pens);
    bool StallTour(int pens);
    bool UnplugTour(int pens);
    bool UnplugReplugTour(int pens);
    bool TwoCameraTour(int pens);

    bool m_bMulti;
    FAULT_CONDITION m_condition;
    double m_dMinutes;
    CPenScenario m_scenario;
    std::vector<SEGMENT> m_segments;
    std::vector<std::ptrdiff_t> m_open;
    std::vector<std::uint64_t> m_quietAt;
    std::uint64_t m_nReplugAt = 0;
    std::string m_strError;
};
