#include "tests/wine_support/CalibratedBoard.h"

#include "calibration/CameraCalibStore.h"
#include "core/DriverState.h"
#include "device/DeviceController.h"
#include "platform/win32/Win32Platform.h"
#include "settings/Settings.h"
#include "tests/support/FakePlatform.h"
#include "tests/wine_support/CalibrationWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

CCalibratedBoard::CCalibratedBoard(const PEN_SCENARIO_OPTIONS& options) : m_options(options)
{
    CPenScenario scenario(options);
    for (int c = 0; c < options.cameras; ++c)
        m_optics.push_back(scenario.Optics(c).Config());
    m_bCalibrated = scenario.StartDevices() && scenario.Calibrate();
    scenario.StopReader();
    if (!m_bCalibrated)
        return;
    CDriverState& state = scenario.State();
    state.m_bCalibrated = 1;
    if (options.cameras == 1)
    {
        (void)state.m_controller.WriteOptions();
        (void)WriteCalibrationToCamera(state.m_controller);
        const auto store = scenario.m_world.m_bus->SettingStore(0);
        // Addresses 0 and 1 are the unit's version answers, not settings.
        for (std::size_t address = 2; address < store.size(); ++address)
        {
            if (store[address] != 0)
                m_strStoreLines += "unit 0 set " + std::to_string(address) + " " +
                                   std::to_string(store[address]) + "\n";
        }
    }
    // The program's own save, into a file of this process's temporary folder.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    static int s_nBoards = 0;
    m_strConfig = std::wstring(temp) + L"tavelo-e2e-board" + std::to_wstring(++s_nBoards) + L".ini";
    DeleteFileW(m_strConfig.c_str());
    CWin32Platform platform;
    CScopedPlatform scope(platform);
    state.m_strConfigPath = m_strConfig;
    SaveSettings(state);
}

const CCalibratedBoard& Board()
{
    static const CCalibratedBoard board;
    return board;
}

std::string CCalibratedBoard::Scenario() const
{
    char minor[8];
    std::snprintf(minor, sizeof minor, "0x%02X", m_options.firmwareMinor);
    std::string text = "units " + std::to_string(m_options.cameras) + "\n";
    for (int c = 0; c < m_options.cameras; ++c)
        text += "unit " + std::to_string(c) + " minor " + minor + "\n";
    return text + m_strStoreLines;
}

void CCalibratedBoard::WriteConfig(const CDriverRun& run) const
{
    WriteSettingsFile(run);
    run.WriteText("SimScenario.txt", Scenario());
}

void CCalibratedBoard::WriteSettingsFile(const CDriverRun& run) const
{
    CopyFileW(m_strConfig.c_str(), run.Path("Config.ini").c_str(), FALSE);
}

std::string CCalibratedBoard::PenAt(int unit, int pen, double screenX, double screenY) const
{
    return ::PenAt(m_optics[static_cast<std::size_t>(unit)], unit, screenX, screenY, pen);
}

std::string CCalibratedBoard::PenUp(int unit, int pen)
{
    return "unit " + std::to_string(unit) + " pen " + std::to_string(pen) + " up";
}

void DrawStroke(const CDriverRun& run, const SIM_OPTICS_CONFIG& optics,
                const std::vector<std::pair<double, double>>& points, int unit)
{
    // A hand moves the pen continuously: between the given points it passes every few pixels,
    // never jumping farther than the tracker follows one pen from frame to frame.
    constexpr double STEP_PX = 6.0;
    constexpr DWORD STEP_MS = 12;
    run.Control(PenAt(optics, unit, points[0].first, points[0].second));
    // The pen rests a moment where it touches down, as a hand does.
    Sleep(150);
    for (std::size_t i = 1; i < points.size(); ++i)
    {
        const double dx = points[i].first - points[i - 1].first;
        const double dy = points[i].second - points[i - 1].second;
        const int steps = std::max(1, static_cast<int>(std::ceil(std::hypot(dx, dy) / STEP_PX)));
        for (int step = 1; step <= steps; ++step)
        {
            const double t = static_cast<double>(step) / steps;
            run.Control(
                PenAt(optics, unit, points[i - 1].first + t * dx, points[i - 1].second + t * dy));
            Sleep(STEP_MS);
        }
    }
    Sleep(100);
    run.Control(CCalibratedBoard::PenUp(unit, 0));
    Sleep(200);
}

std::vector<HOOKED_EVENT> ButtonEvents(CHookProbe& probe, std::size_t skip, std::size_t count)
{
    std::vector<HOOKED_EVENT> buttons;
    WaitUntil(
        [&]
        {
            buttons.clear();
            const std::vector<HOOKED_EVENT> events = probe.Events();
            for (std::size_t i = skip; i < events.size(); ++i)
            {
                if (events[i].message != WM_MOUSEMOVE)
                    buttons.push_back(events[i]);
            }
            return buttons.size() >= count;
        },
        10000);
    return buttons;
}

bool StartTracking(CDriverRun& run, CHookProbe& probe, const CCalibratedBoard& board)
{
    board.WriteConfig(run);
    return board.IsCalibrated() && run.StartTracking(probe, RUN_START_MS);
}

std::vector<HOOKED_EVENT> StrokeButtons(CHookProbe& probe, const CDriverRun& run,
                                        const SIM_OPTICS_CONFIG& optics,
                                        const std::vector<std::pair<double, double>>& points,
                                        int unit)
{
    const std::size_t skip = probe.Count();
    DrawStroke(run, optics, points, unit);
    return ButtonEvents(probe, skip, 2);
}

double Distance(long x, long y, double toX, double toY)
{
    return std::hypot(static_cast<double>(x) - toX, static_cast<double>(y) - toY);
}

std::size_t WaitForTrackingStarts(const CDriverRun& run, std::size_t count)
{
    const std::string packet = "24 03 00 A6 24 26";
    std::size_t starts = 0;
    WaitUntil(
        [&]
        {
            const std::string log = run.ReadText("packets.txt");
            starts = 0;
            for (auto at = log.find(packet); at != std::string::npos; at = log.find(packet, at + 1))
                ++starts;
            return starts >= count;
        },
        10000);
    return starts;
}
