// Figures of the real program under Wine:
//   startup units=<n> exe_to_tray_ms=<t> described_floor_ms=<t>
//     from starting Tavelo.exe to its tray icon being added, with one and with two units;
//     the floor is what the fixed reply waits of the described start-up alone would take
//     (two 500 ms version replies per unit);
//   latency pen_to_pointer_ms form=<single|multi> bridge_ms=<n>
//       event_char=<refused|on|off|driver>
//       p50=<t> p99=<t> samples=<n>
//     from the simulated unit putting the last byte of the frame that brought the pen to a
//     new position on the link to a mouse hook in another process first seeing the pointer
//     within 3 pixels of it. The pen jumps between positions 40 pixels apart, each used once,
//     so every hook event belongs to one position. The unit's bridge is fixed at a latency
//     timer and event character, or left to the driver ("driver": what it sets itself);
//   latency pen_to_pointer_ms p50=<t> p99=<t> samples=<n>
//     the same for the multi-spot form with the bridge as the driver sets it;
//   latency stages form=<single|multi> bridge_ms=<n> event_char=<refused|on|off|driver>
//       link_to_reader_ms p50=<t> p99=<t> read_to_event_ms p50=<t> p99=<t>
//       event_to_input_ms p50=<t> p99=<t>
//     where that time goes, after each latency line: from the frame's last byte on the link
//     to the driver's read returning it (the simulated library's own log), from that read to
//     the pointer event it completes, and from there to SendInput's return (the driver's own
//     timing, [Diagnostics] Timing=1, written to its log at Exit);
//   latency input_to_hook_ms p50=<t> p99=<t> samples=<n>
//     the share of that path that is Wine's, not the driver's: from this program's own
//     SendInput to the same hook, with the driver gone.
// Times on both sides come from the same monotonic clock.
//
// "bench_wine.exe soak [minutes]" instead measures the program's memory while four pens draw
// strokes at the unit's frame rate for that long (5 minutes unless given):
//   soak minutes=<n> rss_start_kb=<n> rss_end_kb=<n> slope_kb_per_s=<float>
//     resident size when the pens start and when they stop, and the least-squares slope of
//     the samples taken after the first minute (start-up's own growth settles in that time).

#include "tests/wine_support/CalibratedBoard.h"

#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace
{
constexpr DWORD START_MS = 20000;
constexpr double DESCRIBED_REPLY_WAITS_MS_PER_UNIT = 1000.0;
constexpr int STARTUP_RUNS = 3;
constexpr int LATENCY_SAMPLES = 300;
// Positions of the pen: a grid this far apart, visited row by row, back and forth; more of
// them than samples wanted, as a move the hook never sees gives none.
constexpr double POSITION_STEP_PX = 40.0;
// How long the pen stays at each position. The simulated unit reads its control file at most
// every 20 ms, at its first read after that, so reads a frame (10 ms) apart can leave up to
// about 30 ms between two looks; a position held for less could be taken over by the next
// before any frame shows it, and the pen would then jump two steps (80 pixels) in one frame:
// to the tracker a new pen, lifted and pressed, not a move.
constexpr DWORD POSITION_HOLD_MS = 45;
constexpr int POSITION_COLUMNS = 22;
constexpr int POSITIONS = POSITION_COLUMNS * 16;
constexpr double NEAR_PX = 3.0;

unsigned long long NowMicros()
{
    return static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                               std::chrono::steady_clock::now().time_since_epoch())
                                               .count());
}

// Median of the runs from CreateProcess to the tray icon's NIM_ADD.
double StartupMs(const CCalibratedBoard& board, int units)
{
    std::vector<double> runs;
    for (int run = 0; run < STARTUP_RUNS; ++run)
    {
        CDriverRun driver("bench-startup-" + std::to_string(units));
        board.WriteConfig(driver);
        const unsigned long long started = NowMicros();
        if (!driver.Start() || driver.WaitForMainWindow(START_MS) == nullptr ||
            !driver.WaitForState("tray", "1", START_MS))
            continue;
        const unsigned long long added = std::stoull(driver.DescribeState()["trayat"]);
        runs.push_back(double(added - started) / 1000.0);
        driver.PostToMain(WM_COMMAND, 11027);
        driver.WaitForExit(10000);
    }
    if (runs.empty())
        return -1.0;
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

struct SPOT_SENT
{
    unsigned long long micros;
    std::string position;
};

// Unit 0's lines of the simulated unit's log: "<micros> unit 0 spot <x> <y>" when a frame moved
// the pen, and "<read micros> unit 0 read <sent micros>" when the driver's read took that
// frame's last byte.
struct UNIT_LOG
{
    std::vector<SPOT_SENT> spots;
    std::vector<double> linkToReaderMs;
};

UNIT_LOG ReadUnitLog(const std::string& log)
{
    UNIT_LOG parsed;
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line))
    {
        std::istringstream words(line);
        unsigned long long micros = 0;
        std::string unit;
        int index = -1;
        std::string kind;
        std::string first;
        std::string second;
        if (!(words >> micros >> unit >> index >> kind >> first) || index != 0)
            continue;
        if (kind == "spot" && words >> second)
            parsed.spots.push_back({micros, first + " " + second});
        if (kind == "read" && micros >= std::stoull(first))
            parsed.linkToReaderMs.push_back(double(micros - std::stoull(first)) / 1000.0);
    }
    return parsed;
}

// The driver's own figures: what follows "Pen chain timing: " in its log.
std::string DriverStages(const std::string& log)
{
    const std::string mark = "Pen chain timing: ";
    const std::size_t at = log.rfind(mark);
    if (at == std::string::npos)
        return "read_to_event_ms p50=0 p99=0 event_to_input_ms p50=0 p99=0";
    std::string stages = log.substr(at + mark.size());
    stages = stages.substr(0, stages.find_first_of("\r\n"));
    return stages.substr(0, stages.find(" samples="));
}

// Wine's input path alone: absolute moves sent from here, timed to the hook that sees them.
std::vector<double> InputToHookMs(CHookProbe& probe)
{
    std::vector<double> latencies;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    for (int i = 0; i < LATENCY_SAMPLES; ++i)
    {
        const long x = 200 + 4 * (i % 150);
        const long y = 300 + 2 * (i / 150) + (i % 7);
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((x * 65536 + width / 2) / width);
        input.mi.dy = static_cast<LONG>((y * 65536 + height / 2) / height);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        const std::size_t before = probe.Count();
        const unsigned long long sent = NowMicros();
        SendInput(1, &input, sizeof(input));
        Sleep(25);
        const std::vector<HOOKED_EVENT> events = probe.Events();
        for (std::size_t k = before; k < events.size(); ++k)
        {
            if (std::labs(events[k].x - x) <= 1 && std::labs(events[k].y - y) <= 1)
            {
                latencies.push_back(double(events[k].micros - sent) / 1000.0);
                break;
            }
        }
    }
    return latencies;
}

// Resident size of a process, in kB; 0 when it cannot be read.
double ResidentKb(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        return 0.0;
    return double(counters.WorkingSetSize) / 1024.0;
}

// Least-squares slope of (seconds, kB) samples.
double Slope(const std::vector<std::pair<double, double>>& samples)
{
    const double n = double(samples.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto& [x, y] : samples)
    {
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double denominator = n * sxx - sx * sx;
    return n < 2 || denominator == 0 ? 0.0 : (n * sxy - sx * sy) / denominator;
}

// Four pens move over the board in circles of their own, every frame a new place, lifted for a
// moment every two seconds: strokes of four people at once, for `minutes`.
int Soak(const CCalibratedBoard& board, double minutes)
{
    constexpr DWORD STEP_MS = 10;
    constexpr int STROKE_STEPS = 200;
    constexpr int LIFT_STEPS = 20;
    constexpr DWORD SAMPLE_MS = 5000;
    CDriverRun run("bench-soak");
    board.WriteConfig(run);
    CHookProbe probe;
    if (!run.StartTracking(probe, START_MS))
    {
        std::printf("bench-wine: the program did not start tracking\n");
        return 1;
    }
    HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, run.ProcessId());
    if (process == nullptr)
    {
        std::printf("bench-wine: the program's memory cannot be read\n");
        return 1;
    }
    const double centres[4][2] = {{300, 250}, {700, 250}, {300, 550}, {700, 550}};
    const ULONGLONG started = GetTickCount64();
    const ULONGLONG length = static_cast<ULONGLONG>(minutes * 60000.0);
    const double rssStart = ResidentKb(process);
    std::vector<std::pair<double, double>> samples;
    ULONGLONG nextSample = started;
    for (int step = 0; GetTickCount64() - started < length && run.IsRunning(); ++step)
    {
        std::vector<std::string> lines;
        const int inStroke = step % STROKE_STEPS;
        for (int pen = 0; pen < 4; ++pen)
        {
            if (inStroke >= STROKE_STEPS - LIFT_STEPS)
            {
                if (inStroke == STROKE_STEPS - LIFT_STEPS)
                    lines.push_back(CCalibratedBoard::PenUp(0, pen));
                continue;
            }
            const double angle = 0.05 * step + pen;
            lines.push_back(board.PenAt(0, pen, centres[pen][0] + 120 * std::cos(angle),
                                        centres[pen][1] + 90 * std::sin(angle)));
        }
        if (!lines.empty())
            run.Control(lines);
        const ULONGLONG now = GetTickCount64();
        if (now >= nextSample)
        {
            const double seconds = double(now - started) / 1000.0;
            if (seconds >= 60.0)
                samples.emplace_back(seconds, ResidentKb(process));
            nextSample += SAMPLE_MS;
        }
        Sleep(STEP_MS);
    }
    const bool survived = run.IsRunning();
    const double rssEnd = ResidentKb(process);
    CloseHandle(process);
    run.Control(CCalibratedBoard::PenUp(0, 0));
    run.PostToMain(WM_COMMAND, 11027);
    run.WaitForExit(10000);
    std::printf("soak minutes=%.0f rss_start_kb=%.0f rss_end_kb=%.0f slope_kb_per_s=%.3f\n",
                minutes, rssStart, rssEnd, Slope(samples));
    return survived && rssStart > 0 ? 0 : 1;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(std::ceil(share * double(values.size()))) - 1;
    return values[std::min(index, values.size() - 1)];
}

void PrintPercentiles(const std::vector<double>& values)
{
    if (values.empty())
    {
        std::printf("p50=0 p99=0 samples=0\n");
        return;
    }
    std::printf("p50=%.2f p99=%.2f samples=%zu\n", Percentile(values, 0.5),
                Percentile(values, 0.99), values.size());
}

struct LATENCY_RUN
{
    std::vector<double> penToPointer;
    std::vector<double> linkToReader;
    std::string driverStages;
};

// One run of the program, its pen taken once to each of the positions.
LATENCY_RUN PenToPointerMs(const CCalibratedBoard& board, CHookProbe& probe,
                           const std::string& name, const std::string& bridge)
{
    CDriverRun run("bench-latency-" + name);
    board.WriteConfig(run);
    WritePrivateProfileStringW(L"Diagnostics", L"Timing", L"1", run.Path("Config.ini").c_str());
    run.WriteText("SimScenario.txt", board.Scenario() + bridge + "log spots.txt\n");
    if (!run.StartTracking(probe, START_MS))
    {
        std::printf("bench-wine: the program did not start tracking (%s)\n", name.c_str());
        return {};
    }
    std::map<std::string, std::pair<double, double>> screenOf;
    const std::size_t skip = probe.Count();
    for (int i = 0; i < POSITIONS; ++i)
    {
        const int row = i / POSITION_COLUMNS;
        const int column =
            row % 2 == 0 ? i % POSITION_COLUMNS : POSITION_COLUMNS - 1 - i % POSITION_COLUMNS;
        const double x = 80.0 + POSITION_STEP_PX * column;
        const double y = 80.0 + POSITION_STEP_PX * row;
        const std::string line = board.PenAt(0, 0, x, y);
        screenOf[line.substr(line.find(" 0 ", 8) + 3)] = {x, y};
        run.Control(line);
        Sleep(POSITION_HOLD_MS);
    }
    run.Control(CCalibratedBoard::PenUp(0, 0));
    Sleep(500);
    const std::vector<HOOKED_EVENT> events = probe.Events();
    const UNIT_LOG unitLog = ReadUnitLog(run.ReadText("spots.txt"));
    std::vector<double> latencies;
    for (const SPOT_SENT& spot : unitLog.spots)
    {
        const auto screen = screenOf.find(spot.position);
        if (screen == screenOf.end())
            continue;
        for (std::size_t i = skip; i < events.size(); ++i)
        {
            if (events[i].micros < spot.micros)
                continue;
            if (Distance(events[i].x, events[i].y, screen->second.first, screen->second.second) <=
                NEAR_PX)
            {
                latencies.push_back(double(events[i].micros - spot.micros) / 1000.0);
                break;
            }
        }
    }
    run.PostToMain(WM_COMMAND, 11027);
    run.WaitForExit(10000);
    return {latencies, unitLog.linkToReaderMs, DriverStages(run.ReadText("Tavelo.log"))};
}
} // namespace

int main(int argc, char** argv)
{
    const CCalibratedBoard one;
    if (argc >= 2 && std::string(argv[1]) == "soak")
    {
        if (!one.IsCalibrated())
        {
            std::printf("bench-wine: the board could not be calibrated\n");
            return 1;
        }
        return Soak(one, argc >= 3 ? std::atof(argv[2]) : 5.0);
    }
    PEN_SCENARIO_OPTIONS twoUnits;
    twoUnits.cameras = 2;
    twoUnits.firmwareMinor = 0x15;
    const CCalibratedBoard two(twoUnits);
    if (!one.IsCalibrated() || !two.IsCalibrated())
    {
        std::printf("bench-wine: the boards could not be calibrated\n");
        return 1;
    }
    for (const auto& [units, board] : {std::pair<int, const CCalibratedBoard*>{1, &one}, {2, &two}})
    {
        std::printf("startup units=%d exe_to_tray_ms=%.1f described_floor_ms=%.1f\n", units,
                    StartupMs(*board, units), DESCRIBED_REPLY_WAITS_MS_PER_UNIT * units);
    }

    PEN_SCENARIO_OPTIONS singleForm;
    singleForm.firmwareMinor = 0x15;
    const CCalibratedBoard single(singleForm);
    if (!single.IsCalibrated())
    {
        std::printf("bench-wine: the single-spot board could not be calibrated\n");
        return 1;
    }
    struct BRIDGE
    {
        const char* scenario;
        int latencyMs;
        const char* eventChar;
    };
    // The bridge as units come (16 ms, no event character), the two ways of making it hand
    // on small packets sooner and both together, then as the driver sets it. "refused": the
    // bridge refuses the driver's settings, which then reports each multi-spot frame with the
    // next one's first packet, as before frames were closed on a quiet link.
    const BRIDGE bridges[] = {
        {"unit 0 bridge refuse\n", 16, "refused"}, {"unit 0 bridge 16\n", 16, "off"},
        {"unit 0 bridge 2\n", 2, "off"},           {"unit 0 bridge 16 26\n", 16, "on"},
        {"unit 0 bridge 2 26\n", 2, "on"},         {"", 16, "driver"}};
    std::vector<double> chosen;
    CHookProbe probe;
    for (const auto& [form, board] :
         {std::pair<const char*, const CCalibratedBoard*>{"single", &single}, {"multi", &one}})
    {
        for (const BRIDGE& bridge : bridges)
        {
            const LATENCY_RUN run = PenToPointerMs(*board, probe,
                                                   std::string(form) + "-" + bridge.eventChar +
                                                       std::to_string(bridge.latencyMs),
                                                   bridge.scenario);
            std::printf("latency pen_to_pointer_ms form=%s bridge_ms=%d event_char=%s ", form,
                        bridge.latencyMs, bridge.eventChar);
            PrintPercentiles(run.penToPointer);
            std::printf("latency stages form=%s bridge_ms=%d event_char=%s link_to_reader_ms "
                        "p50=%.2f p99=%.2f %s\n",
                        form, bridge.latencyMs, bridge.eventChar, Percentile(run.linkToReader, 0.5),
                        Percentile(run.linkToReader, 0.99), run.driverStages.c_str());
            if (std::string(form) == "multi" && bridge.scenario[0] == '\0')
                chosen = run.penToPointer;
        }
    }
    std::printf("latency pen_to_pointer_ms ");
    PrintPercentiles(chosen);
    if (chosen.empty())
        return 1;
    const std::vector<double> wine = InputToHookMs(probe);
    if (wine.empty())
    {
        std::printf("latency input_to_hook_ms p50=0 p99=0 samples=0\n");
        return 1;
    }
    std::printf("latency input_to_hook_ms p50=%.2f p99=%.2f samples=%zu\n", Percentile(wine, 0.5),
                Percentile(wine, 0.99), wine.size());
    return 0;
}
