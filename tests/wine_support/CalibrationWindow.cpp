#include "tests/wine_support/CalibrationWindow.h"

#include "calibration/CalibTypes.h"
#include "resources/resource.h"
#include "tests/wine_support/CalibratedBoard.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
// The cross-hair's lines are the row and the column with the most cyan: its centre even when
// the picture runs off the edge of the screen. Nothing while the window is hidden.
std::optional<SHOWN_TARGET> FindShownTarget(HWND window)
{
    if (!IsWindowVisible(window))
        return std::nullopt;
    const RECT area = WindowRect(window);
    const std::vector<std::uint8_t> rgb = CDriverRun::CaptureRgb(area);
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0 || rgb.empty())
        return std::nullopt;
    std::vector<int> rows(std::size_t(height), 0);
    std::vector<int> columns(std::size_t(width), 0);
    double magentaX = 0, magentaY = 0;
    int cyan = 0, magenta = 0;
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
        {
            const std::size_t i = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
            const int r = rgb[i], g = rgb[i + 1], b = rgb[i + 2];
            if (r < 80 && g > 140 && b > 140)
            {
                ++rows[std::size_t(y)];
                ++columns[std::size_t(x)];
                ++cyan;
            }
            else if (r > 140 && g < 80 && b > 140)
            {
                magentaX += x;
                magentaY += y;
                ++magenta;
            }
        }
    }
    if (cyan < 30 || magenta < 30)
        return std::nullopt;
    // The middle of the band of lines with the most cyan.
    auto line = [](const std::vector<int>& counts)
    {
        const int most = *std::max_element(counts.begin(), counts.end());
        double sum = 0;
        int n = 0;
        for (std::size_t i = 0; i < counts.size(); ++i)
        {
            if (counts[i] * 5 >= most * 4)
            {
                sum += double(i);
                ++n;
            }
        }
        return sum / n;
    };
    const double x = line(columns);
    const double y = line(rows);
    return SHOWN_TARGET{area.left + x, area.top + y, magentaX / magenta - x,
                        magentaY / magenta - y};
}

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT, LPARAM context)
{
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    auto* list = reinterpret_cast<std::vector<RECT>*>(context);
    // The primary monitor serves camera 0.
    if ((info.dwFlags & MONITORINFOF_PRIMARY) != 0)
        list->insert(list->begin(), info.rcMonitor);
    else
        list->push_back(info.rcMonitor);
    return TRUE;
}

bool Moved(const SHOWN_TARGET& a, const SHOWN_TARGET& b)
{
    return std::hypot(a.x - b.x, a.y - b.y) > 20.0;
}
} // namespace

int UnitOfWindow(HWND window, const std::vector<RECT>& monitors)
{
    const RECT area = WindowRect(window);
    for (std::size_t unit = 0; unit < monitors.size(); ++unit)
    {
        if (EqualRect(&area, &monitors[unit]))
            return static_cast<int>(unit);
    }
    return -1;
}

std::vector<RECT> Monitors()
{
    std::vector<RECT> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

std::vector<SIM_OPTICS_CONFIG> OpticsFor(const std::vector<RECT>& monitors, int units)
{
    std::vector<SIM_OPTICS_CONFIG> optics;
    for (int unit = 0; unit < units; ++unit)
    {
        SIM_OPTICS_CONFIG config;
        const RECT& m = monitors[std::size_t(unit)];
        config.monitor = CALIB_RECT{m.left, m.top, m.right, m.bottom};
        PlaceCentredView(config, 0.8, 0.06);
        config.k1 = -0.04;
        optics.push_back(config);
    }
    return optics;
}

std::string PenAt(const SIM_OPTICS_CONFIG& config, int unit, double x, double y, int pen)
{
    const CSimOptics optics(config);
    double cameraX = 0, cameraY = 0;
    if (!optics.ScreenToCameraExact(x, y, cameraX, cameraY))
        return CCalibratedBoard::PenUp(unit, pen);
    char line[96];
    std::snprintf(line, sizeof line, "unit %d pen %d %.2f %.2f", unit, pen, cameraX, cameraY);
    return line;
}

std::vector<TOUCHED>
TouchShownTargets(CDriverRun& run, const std::vector<SIM_OPTICS_CONFIG>& optics, std::size_t limit)
{
    std::vector<TOUCHED> touched;
    const std::vector<RECT> monitors = Monitors();
    HWND window = run.WaitForWindow(L"CCalibrationDlg", 10000);
    if (window == nullptr)
        return touched;
    std::optional<SHOWN_TARGET> previous;
    int previousUnit = -1;
    while (touched.size() < limit)
    {
        // The next target: a new place, or the same place on the next camera's monitor.
        std::optional<SHOWN_TARGET> shown;
        int unit = -1;
        const ULONGLONG deadline = GetTickCount64() + 5000;
        do
        {
            shown = FindShownTarget(window);
            unit = UnitOfWindow(window, monitors);
            if (shown && (!previous || Moved(*shown, *previous) || unit != previousUnit))
            {
                // What a window just shown covers stays on the screen until it has painted:
                // a target counts once it is still there a moment later.
                Sleep(touched.empty() || unit != previousUnit ? 400 : 100);
                const auto again = FindShownTarget(window);
                if (again && !Moved(*again, *shown) && UnitOfWindow(window, monitors) == unit)
                    break;
            }
            shown.reset();
            Sleep(30);
        } while (GetTickCount64() < deadline);
        if (!shown || unit < 0)
            break;
        if (touched.size() == 0 || touched.size() == 4)
            run.Screenshot("target" + std::to_string(touched.size() + 1), window);
        touched.push_back({unit, *shown});
        run.Control(PenAt(optics[std::size_t(unit)], unit, shown->x, shown->y));
        const ULONGLONG held = GetTickCount64() + 3000;
        while (GetTickCount64() < held)
        {
            const auto now = FindShownTarget(window);
            if (!now || Moved(*now, *shown))
                break;
            Sleep(30);
        }
        run.Control(CCalibratedBoard::PenUp(unit, 0));
        Sleep(100);
        previous = shown;
        previousUnit = unit;
    }
    return touched;
}

HWND WaitForReportScreen(const CDriverRun& run, DWORD milliseconds)
{
    HWND window = nullptr;
    const bool shown = WaitUntil(
        [&]
        {
            window = run.WaitForWindow(L"CCalibrationDlg", 0);
            HWND instruction = window != nullptr ? GetDlgItem(window, IDC_CALIB_TEXT) : nullptr;
            return instruction != nullptr && !IsWindowVisible(instruction);
        },
        milliseconds);
    Sleep(shown ? 500 : 0);
    return shown ? window : nullptr;
}

bool TapUntilHidden(const CDriverRun& run, const SIM_OPTICS_CONFIG& optics, int unit, HWND window,
                    double x, double y)
{
    run.Control(PenAt(optics, unit, x, y));
    Sleep(150);
    run.Control(CCalibratedBoard::PenUp(unit, 0));
    return WaitUntil([window] { return !IsWindowVisible(window); }, 3000);
}
