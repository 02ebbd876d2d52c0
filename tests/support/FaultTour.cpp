#include "tests/support/FaultTour.h"

#include "core/Messages.h"
#include "shell/UnitReplug.h"
#include "tracking/PenInjector.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <set>
#include <tuple>

namespace
{
constexpr std::uint64_t PHANTOM_WINDOW_MICROS = 100'000;
constexpr double PHANTOM_RADIUS = 30.0;
// Stroke steps lie 25 pixels apart, so a pointer event this near a point belongs to it.
constexpr double LAG_RADIUS = 10.0;
constexpr int STEP_X = 25;
constexpr int STEP_Y = 6;
constexpr std::uint64_t OPEN = std::numeric_limits<std::uint64_t>::max();

bool IsTwoCameras(FAULT_CONDITION condition)
{
    return condition == FAULT_CONDITION::TwoCamerasFast ||
           condition == FAULT_CONDITION::TwoCamerasGarbage ||
           condition == FAULT_CONDITION::TwoCamerasClean;
}

// Pen 0's double click and click press and release in one record.
bool IsPress(MOUSE_ACTION kind)
{
    return kind == MOUSE_ACTION::Press || kind == MOUSE_ACTION::DoubleClick ||
           kind == MOUSE_ACTION::Click;
}

bool IsRelease(MOUSE_ACTION kind)
{
    return kind == MOUSE_ACTION::Release || kind == MOUSE_ACTION::DoubleClick ||
           kind == MOUSE_ACTION::Click;
}

// Pens 1 to 3 hold after a double click until they lift; pen 0's double click released itself.
void Follow(bool (&down)[4], const PEN_OUTPUT& output)
{
    if (output.kind == MOUSE_ACTION::Press)
        down[output.pen] = true;
    else if (IsRelease(output.kind))
        down[output.pen] = false;
}
// In the order of FAULT_CONDITION: the name, and the fault the simulator gets before the tour.
const struct
{
    const char* name;
    const char* fault;
} CONDITIONS[] = {
    {"clean", ""},
    {"garbage", "unit 0 fault garbage"},
    {"broken", "unit 0 fault broken"},
    {"garbage+broken", "unit 0 fault garbage\nunit 0 fault broken"},
    {"stall", ""},
    {"unplug", ""},
    {"two-cameras-fast", "unit 1 fps 101"},
    {"two-cameras-garbage", "unit 1 fault garbage"},
    {"two-cameras-clean", ""},
    {"unplug-replug", ""},
};
} // namespace

const char* FaultConditionName(FAULT_CONDITION condition)
{
    return CONDITIONS[static_cast<int>(condition)].name;
}

CFaultTour::CFaultTour(bool multi, FAULT_CONDITION condition, double minutes)
    : m_bMulti(multi), m_condition(condition), m_dMinutes(minutes),
      m_scenario({.cameras = IsTwoCameras(condition) ? 2 : 1,
                  .firmwareMinor = std::uint8_t(multi ? 0x23 : 0x15),
                  .monitorWidth = MONITOR_WIDTH,
                  .monitorHeight = MONITOR_HEIGHT}),
      m_open(8, -1)
{
}

std::uint64_t CFaultTour::Now()
{
    return m_scenario.m_world.m_bus->NowMicros();
}

void CFaultTour::Execute(const std::string& commands)
{
    m_scenario.m_world.m_bus->Execute(commands);
}

void CFaultTour::Down(int camera, int pen, int x, int y)
{
    Close(camera, pen);
    m_scenario.PenDown(camera, pen, x, y);
    m_open[std::size_t(camera * 4 + pen)] = static_cast<std::ptrdiff_t>(m_segments.size());
    m_segments.push_back({pen, x, y, Now(), OPEN});
}

void CFaultTour::Up(int camera, int pen)
{
    Close(camera, pen);
    m_scenario.PenUp(camera, pen);
}

void CFaultTour::Close(int camera, int pen)
{
    std::ptrdiff_t& open = m_open[std::size_t(camera * 4 + pen)];
    if (open >= 0)
        m_segments[std::size_t(open)].to = Now();
    open = -1;
}

// `pens` pens side by side, 300 pixels apart, in `steps` steps, each seen for three frames;
// before step quietAtStep the quiet command goes to the simulator.
bool CFaultTour::Stroke(int camera, int pens, int x, int y, int steps, int quietAtStep,
                        const std::string& quietCommand)
{
    for (int step = 0; step < steps; ++step)
    {
        if (step == quietAtStep)
        {
            Execute(quietCommand);
            m_quietAt.push_back(Now());
        }
        for (int pen = 0; pen < pens; ++pen)
            Down(camera, pen, x + step * STEP_X, y + step * STEP_Y + 300 * pen);
        if (!m_scenario.Frames(3))
            return false;
    }
    if (!m_scenario.Frames(3))
        return false;
    for (int pen = 0; pen < pens; ++pen)
        Up(camera, pen);
    return m_scenario.Frames(30);
}

// Taps far enough apart that none is a double click, then a hold that is a right click.
bool CFaultTour::TapsAndHold(int camera)
{
    const int left = camera * MONITOR_WIDTH;
    const int taps[3][2] = {{300, 600}, {600, 600}, {850, 450}};
    for (const auto& tap : taps)
    {
        Down(camera, 0, left + tap[0], tap[1]);
        if (!m_scenario.Frames(4))
            return false;
        Up(camera, 0);
        if (!m_scenario.Frames(30))
            return false;
    }
    Down(camera, 0, left + 700, 200);
    if (!m_scenario.Frames(70))
        return false;
    Up(camera, 0);
    return m_scenario.Frames(30);
}

// A stroke (two pens side by side in the multi-spot form, so the companion program gets one
// too), three taps and a hold.
bool CFaultTour::Round(int camera, int pens)
{
    return Stroke(camera, pens, camera * MONITOR_WIDTH + 200, 150, 20) && TapsAndHold(camera);
}

bool CFaultTour::StallTour(int pens)
{
    // A stall in the middle of a stroke; the pens go on and lift while the camera is silent,
    // and it comes back a while after.
    if (!Stroke(0, pens, 200, 150, 20, 10, "unit 0 fault stall") || !m_scenario.Frames(57))
        return false;
    Execute("unit 0 fault stall off");
    if (!m_scenario.Frames(30))
        return false;
    // Half a second of silence while the pens rest, then the stroke goes on: a lift and a
    // new touch.
    for (int pen = 0; pen < pens; ++pen)
        Down(0, pen, 300, 200 + 300 * pen);
    if (!m_scenario.Frames(20))
        return false;
    Execute("unit 0 fault stall");
    m_quietAt.push_back(Now());
    if (!m_scenario.Frames(50))
        return false;
    Execute("unit 0 fault stall off");
    return Stroke(0, pens, 300, 200, 12) && Round(0, pens);
}

bool CFaultTour::UnplugTour(int pens)
{
    // Unplugged in the middle of a stroke; nothing comes from it again.
    return Stroke(0, pens, 200, 150, 20, 10, "unit 0 fault unplug") && m_scenario.Frames(67);
}

bool CFaultTour::UnplugReplugTour(int pens)
{
    if (!Stroke(0, pens, 200, 150, 20, 10, "unit 0 fault unplug") || !m_scenario.Frames(20))
        return false;
    const std::vector<std::uint32_t> messages = m_scenario.MainMessages();
    if (std::find(messages.begin(), messages.end(), WM_UNIT_GONE) == messages.end() ||
        !m_scenario.AsMainWindow(&OnUnitGone))
        return false;
    // The main window looks every UNIT_LOOK_MS; the unit comes back after the first look.
    const int lookFrames = static_cast<int>(UNIT_LOOK_MS / 10);
    if (!m_scenario.Frames(lookFrames) || m_scenario.AsMainWindow(&LookForGoneUnit) ||
        !m_scenario.Frames(lookFrames / 2))
        return false;
    Execute("unit 0 fault unplug off");
    m_nReplugAt = Now();
    if (!m_scenario.Frames(lookFrames / 2) || !m_scenario.AsMainWindow(&LookForGoneUnit) ||
        !m_scenario.AsMainWindow(&OnUnitBack))
        return false;
    return m_scenario.Frames(5) && Round(0, pens) && Stroke(0, pens, 250, 200, 12);
}

bool CFaultTour::TwoCameraTour(int pens)
{
    const std::uint64_t end = Now() + static_cast<std::uint64_t>(m_dMinutes * 60e6);
    for (int round = 0; Now() < end; ++round)
    {
        if (!Round(round % 2, round % 2 == 0 ? pens : 1) || !m_scenario.Frames(200))
            return false;
    }
    return true;
}

bool CFaultTour::Run()
{
    if (!m_scenario.StartDevices() || !m_scenario.Calibrate() || !m_scenario.StartTracking() ||
        !m_scenario.Frames(5))
    {
        m_strError = m_scenario.Error();
        return false;
    }
    m_scenario.ClearRecords();

    const int pens = m_bMulti ? 2 : 1;
    Execute(CONDITIONS[static_cast<int>(m_condition)].fault);
    bool ran = false;
    if (m_condition == FAULT_CONDITION::Stall)
        ran = StallTour(pens);
    else if (m_condition == FAULT_CONDITION::Unplug)
        ran = UnplugTour(pens);
    else if (m_condition == FAULT_CONDITION::UnplugReplug)
        ran = UnplugReplugTour(pens);
    else if (IsTwoCameras(m_condition))
        ran = TwoCameraTour(pens);
    else
        ran = Round(0, pens) && Round(0, pens);
    // Whatever is still on its way has time to arrive.
    ran = ran && m_scenario.Frames(50);
    m_scenario.StopReader();
    if (!ran)
        m_strError = m_scenario.Error();
    return ran;
}

std::vector<PEN_OUTPUT> CFaultTour::Outputs()
{
    std::vector<PEN_OUTPUT> outputs;
    const std::vector<std::uint64_t> times = m_scenario.MouseTimes();
    const std::vector<INJECTED_EVENT> mouse = MouseEvents(m_scenario.m_world.m_platform);
    for (std::size_t n = 0; n < mouse.size() && n < times.size(); ++n)
        outputs.push_back({0, mouse[n].action, mouse[n].x, mouse[n].y, times[n]});
    for (const RECORDED_MESSAGE& message : m_scenario.WindowMessages())
    {
        if (message.message < WM_COMPANION_PEN1 || message.message > WM_COMPANION_PEN3)
            continue;
        const std::intptr_t action = message.lParam;
        outputs.push_back({static_cast<int>(message.message - WM_COMPANION_PEN1) + 1,
                           action == PEN_DOWN || action == PEN_DBLCLICK ? MOUSE_ACTION::Press
                           : action == PEN_UP                           ? MOUSE_ACTION::Release
                           : action == PEN_MOVE                         ? MOUSE_ACTION::Move
                                                                        : MOUSE_ACTION::Other,
                           static_cast<std::int16_t>((message.wParam >> 16) & 0xFFFF),
                           static_cast<std::int16_t>(message.wParam & 0xFFFF), message.micros});
    }
    std::stable_sort(outputs.begin(), outputs.end(),
                     [](const PEN_OUTPUT& a, const PEN_OUTPUT& b) { return a.micros < b.micros; });
    return outputs;
}

FAULT_FIGURES CFaultTour::Figures()
{
    const std::vector<PEN_OUTPUT> outputs = Outputs();
    auto distance = [](const SEGMENT& segment, const PEN_OUTPUT& output)
    { return std::hypot(double(segment.x - output.x), double(segment.y - output.y)); };

    // Each point a pen touched, first time only: the tour comes back to the same points.
    std::vector<SEGMENT> points;
    std::set<std::tuple<int, int, int>> seen;
    for (const SEGMENT& segment : m_segments)
    {
        if (seen.insert({segment.pen, segment.x, segment.y}).second)
            points.push_back(segment);
    }

    FAULT_FIGURES figures;
    bool down[4] = {false, false, false, false};
    double sumPx = 0.0;
    int positions = 0;
    for (const PEN_OUTPUT& output : outputs)
    {
        figures.presses += IsPress(output.kind) ? 1 : 0;
        figures.releases += IsRelease(output.kind) ? 1 : 0;
        Follow(down, output);
        if (IsPress(output.kind))
        {
            const bool touched =
                std::any_of(m_segments.begin(), m_segments.end(),
                            [&](const SEGMENT& segment)
                            {
                                return segment.pen == output.pen && segment.from <= output.micros &&
                                       (segment.to == OPEN ||
                                        segment.to + PHANTOM_WINDOW_MICROS >= output.micros) &&
                                       distance(segment, output) <= PHANTOM_RADIUS;
                            });
            figures.phantom += touched ? 0 : 1;
        }
        if (output.kind != MOUSE_ACTION::Press && output.kind != MOUSE_ACTION::Move)
            continue;
        double nearest = std::numeric_limits<double>::infinity();
        for (const SEGMENT& point : points)
        {
            if (point.pen == output.pen && point.from <= output.micros)
                nearest = std::min(nearest, distance(point, output));
        }
        if (std::isfinite(nearest))
        {
            sumPx += nearest;
            figures.maxPx = std::max(figures.maxPx, nearest);
            ++positions;
        }
    }
    figures.stuck = std::any_of(std::begin(down), std::end(down), [](bool d) { return d; });
    figures.meanPx = positions > 0 ? sumPx / positions : 0.0;

    if (m_nReplugAt != 0)
    {
        const auto after = [this](const PEN_OUTPUT& output)
        { return output.pen == 0 && output.micros >= m_nReplugAt; };
        const auto firstMove =
            std::find_if(outputs.begin(), outputs.end(),
                         [&](const PEN_OUTPUT& output)
                         { return after(output) && output.kind == MOUSE_ACTION::Move; });
        const bool pressedAfter = std::any_of(outputs.begin(), outputs.end(),
                                              [&](const PEN_OUTPUT& output)
                                              { return after(output) && IsPress(output.kind); });
        figures.resumed = pressedAfter && figures.stuck == 0 && figures.phantom == 0 ? 1 : 0;
        figures.lagMs = firstMove == outputs.end()
                            ? std::numeric_limits<double>::infinity()
                            : double(firstMove->micros - m_nReplugAt) / 1000.0;
        return figures;
    }

    if (!m_quietAt.empty())
    {
        for (std::uint64_t quiet : m_quietAt)
        {
            bool pressed[4] = {false, false, false, false};
            for (const PEN_OUTPUT& output : outputs)
            {
                if (output.micros > quiet)
                    break;
                Follow(pressed, output);
            }
            for (int pen = 0; pen < 4; ++pen)
            {
                if (!pressed[pen])
                    continue;
                double lag = std::numeric_limits<double>::infinity();
                for (const PEN_OUTPUT& output : outputs)
                {
                    if (output.pen == pen && output.micros >= quiet && IsRelease(output.kind))
                    {
                        lag = double(output.micros - quiet) / 1000.0;
                        break;
                    }
                }
                figures.lagMs = std::max(figures.lagMs, lag);
            }
        }
        return figures;
    }

    for (std::size_t n = 0; n < m_segments.size(); ++n)
    {
        const SEGMENT& segment = m_segments[n];
        // A point whose every report was lost must not borrow the pointer of a later visit.
        std::uint64_t until = OPEN;
        for (std::size_t later = n + 1; later < m_segments.size(); ++later)
        {
            const SEGMENT& next = m_segments[later];
            if (next.pen == segment.pen &&
                std::hypot(double(next.x - segment.x), double(next.y - segment.y)) <= LAG_RADIUS)
            {
                until = next.from;
                break;
            }
        }
        const auto first = std::lower_bound(outputs.begin(), outputs.end(), segment.from,
                                            [](const PEN_OUTPUT& output, std::uint64_t micros)
                                            { return output.micros < micros; });
        for (auto it = first; it != outputs.end(); ++it)
        {
            const PEN_OUTPUT& output = *it;
            if (output.micros >= until)
                break;
            if (output.pen != segment.pen || output.micros < segment.from ||
                output.kind == MOUSE_ACTION::Other || distance(segment, output) > LAG_RADIUS)
                continue;
            figures.lagMs = std::max(figures.lagMs, double(output.micros - segment.from) / 1000.0);
            break;
        }
    }
    return figures;
}
