// The driver's main job, shown on the real program: Tavelo.exe starts on a fresh installation
// with a simulated camera unit; its start wizard is clicked through (model, options, the
// alignment view, calibration by holding a simulated pen on each target shown, Finish), and
// the calibration's report shown and printed, closed by a tap of the pen), and the pen draws a
// stroke, double-clicks, holds for a right click and brings the companion program three more
// pens; then Exit from the tray menu.
// What the pointer did is read by a mouse hook in this process, what the companion program
// got by a stand-in window of its class. Ends with one summary line.

#include "resources/resource.h"
#include "tests/wine_support/CalibratedBoard.h"
#include "tests/wine_support/CalibrationWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace
{
constexpr DWORD START_MS = 20000;
constexpr DWORD WINDOW_MS = 10000;
constexpr int ID_NEXT = 12324;
constexpr int ID_FINISH = 12325;
constexpr UINT FIRST_COMPANION_MESSAGE = 1139;
constexpr UINT LAST_COMPANION_MESSAGE = 1141;

std::set<UINT> g_companionPens;
int g_nCompanionMessages = 0;

LRESULT CALLBACK CanvasProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= FIRST_COMPANION_MESSAGE && message <= LAST_COMPANION_MESSAGE)
    {
        g_companionPens.insert(message);
        ++g_nCompanionMessages;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A visible window of the companion program's drawing class.
HWND ShowStandInCanvas()
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = CanvasProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TfrmCanvas";
    RegisterClassW(&windowClass);
    return CreateWindowExW(WS_EX_TOOLWINDOW, L"TfrmCanvas", L"companion stand-in",
                           WS_POPUP | WS_VISIBLE, 980, 0, 40, 40, nullptr, nullptr,
                           windowClass.hInstance, nullptr);
}

void PumpFor(DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (GetTickCount64() < deadline)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        Sleep(10);
    }
}

const char* ButtonName(unsigned message)
{
    switch (message)
    {
    case WM_LBUTTONDOWN:
        return "left button down";
    case WM_LBUTTONUP:
        return "left button up";
    case WM_RBUTTONDOWN:
        return "right button down";
    case WM_RBUTTONUP:
        return "right button up";
    default:
        return "button";
    }
}

// Button events since `skip`, each measured against where the pen touched.
struct POINTER_ERRORS
{
    std::vector<double> distances;
    void Add(double distance) { distances.push_back(distance); }
};

void Report(CHookProbe& probe, std::size_t skip, std::size_t expected, double x, double y,
            POINTER_ERRORS& errors)
{
    for (const HOOKED_EVENT& event : ButtonEvents(probe, skip, expected))
    {
        const double distance = Distance(event.x, event.y, x, y);
        errors.Add(distance);
        std::printf("    %-18s at (%ld, %ld), %.1f px from the pen\n", ButtonName(event.message),
                    event.x, event.y, distance);
    }
}

// A figure of the kept report's "key=value" lines, or 0.
double ReportFigure(const std::string& report, const std::string& key)
{
    const std::size_t at = report.find(key + "=");
    return at == std::string::npos ? 0.0 : std::atof(report.c_str() + at + key.size() + 1);
}
} // namespace

int main()
{
    const CCalibratedBoard board;
    if (!board.IsCalibrated())
    {
        std::printf("demo: exe=Tavelo.exe started=0 tracked=0 pointer_mean_px=0 "
                    "pointer_max_px=0 companion_pens=0 wizard=0 calibrated=0 targets=0 "
                    "exited=0 utilization=0 px_per_camera_px=0 worst_target_px=0\n");
        return 1;
    }
    // A fresh installation: no settings file, a unit that was never set up, aimed at its
    // monitor the way the pens are placed.
    CDriverRun run("demo");
    run.WriteText("SimScenario.txt", "units 1\nunit 0 minor 0x23\nunit 0 view 0.8 0.06\n"
                                     "unit 0 lens -0.04\n");
    CHookProbe probe;
    const bool hooked = probe.IsReady() && probe.WaitUntilDelivering(0);
    HWND canvas = ShowStandInCanvas();

    std::printf("Starting Tavelo.exe in %ls, a fresh installation\n", run.Path("").c_str());
    const bool started = run.Start() && run.WaitForMainWindow(START_MS) != nullptr;
    HWND wizard = started ? run.WaitForDialog(ID_NEXT, START_MS) : nullptr;
    bool wizardDone = false;
    std::size_t targets = 0;
    bool calibrated = false;
    std::string report;
    if (wizard != nullptr)
    {
        std::printf("The start wizard: the sixteen-point model and the options as they are...\n");
        run.Screenshot("wizard-model", wizard);
        CDriverRun::Click(wizard, ID_NEXT);
        CDriverRun::WaitForPage(wizard, IDC_OPTIONS_HEADING, WINDOW_MS);
        CDriverRun::Click(wizard, ID_NEXT);
        if (HWND page = CDriverRun::WaitForPage(wizard, IDC_ALIGN_HEADING, WINDOW_MS))
        {
            std::printf("  alignment: the camera's picture in the frame, then OK\n");
            CDriverRun::ClickLater(page, IDC_PAGE_BUTTON);
            if (HWND view = run.WaitForDialog(IDC_ADJUST_OK, WINDOW_MS))
            {
                Sleep(2500);
                run.Screenshot("alignment-view", view);
                CDriverRun::Click(view, IDC_ADJUST_OK);
            }
        }
        CDriverRun::Click(wizard, ID_NEXT);
        if (HWND page = CDriverRun::WaitForPage(wizard, IDC_CALIBRATE_HEADING, WINDOW_MS))
        {
            std::printf("  calibration from the wizard's last page: the pen is held on each "
                        "target shown\n");
            CDriverRun::ClickLater(page, IDC_PAGE_BUTTON);
            const std::vector<TOUCHED> touched =
                TouchShownTargets(run, OpticsFor(Monitors(), 1), 17);
            targets = touched.size();
            for (std::size_t i = 0; i < touched.size(); ++i)
                std::printf("    target %2zu at (%4.0f, %4.0f) taken\n", i + 1, touched[i].target.x,
                            touched[i].target.y);
            calibrated = targets == 16 && run.WaitForState("calibrated", "1", 5000) &&
                         run.WaitForState("cursor", "1", 5000);
            if (HWND shown = WaitForReportScreen(run, 5000))
            {
                run.Screenshot("calibration-report", shown);
                report = run.ReadText("CalibrationReport0.txt");
                std::printf("  the calibration's report (kept as CalibrationReport0.txt and .png "
                            "beside Config.ini):\n");
                for (std::size_t begin = 0, end = 0; begin < report.size(); begin = end + 1)
                {
                    end = report.find('\n', begin);
                    if (end == std::string::npos)
                        end = report.size();
                    std::printf("    %s\n", report.substr(begin, end - begin).c_str());
                }
                const bool closed =
                    TapUntilHidden(run, OpticsFor(Monitors(), 1)[0], 0, shown, 512, 600);
                std::printf("  a tap of the pen %s the report\n",
                            closed ? "closes" : "does not close");
            }
            else
            {
                std::printf("  no report was shown after the last target\n");
            }
        }
        CDriverRun::Click(wizard, ID_FINISH);
        wizardDone = run.WaitForState("runstate", "1000", WINDOW_MS) &&
                     run.WaitForState("tray", "1", WINDOW_MS);
        std::printf("  Finish: %s\n", wizardDone ? "settings saved, the driver in the tray"
                                                 : "the wizard did not finish");
    }
    const bool tracking = wizardDone && run.WaitForState("reader", "1", START_MS);
    std::printf("  pen tracking running: %s\n", tracking ? "yes" : "no");

    POINTER_ERRORS errors;
    if (tracking && hooked && calibrated)
    {
        std::printf("A stroke from (200, 300) to (600, 420):\n");
        std::size_t skip = probe.Count();
        DrawStroke(run, board, {{200, 300}, {300, 330}, {400, 360}, {500, 390}, {600, 420}});
        const auto stroke = ButtonEvents(probe, skip, 2);
        if (stroke.size() >= 2)
        {
            errors.Add(Distance(stroke[0].x, stroke[0].y, 200, 300));
            errors.Add(Distance(stroke[1].x, stroke[1].y, 600, 420));
            std::printf("    left button down   at (%ld, %ld), %.1f px from the pen\n", stroke[0].x,
                        stroke[0].y, errors.distances[0]);
            std::printf("    left button up     at (%ld, %ld), %.1f px from the pen\n", stroke[1].x,
                        stroke[1].y, errors.distances[1]);
        }

        std::printf("Two quick taps at (400, 500):\n");
        skip = probe.Count();
        for (int tap = 0; tap < 2; ++tap)
        {
            run.Control(board.PenAt(0, 0, 400, 500));
            Sleep(60);
            run.Control(CCalibratedBoard::PenUp(0, 0));
            Sleep(60);
        }
        Sleep(300);
        Report(probe, skip, 4, 400, 500, errors);

        std::printf("The pen held still at (700, 250) for a second:\n");
        skip = probe.Count();
        run.Control(board.PenAt(0, 0, 700, 250));
        Sleep(1000);
        run.Control(CCalibratedBoard::PenUp(0, 0));
        Sleep(300);
        Report(probe, skip, 5, 700, 250, errors);

        std::printf("Four pens at once; pens 1 to 3 go to the companion program:\n");
        run.Control({board.PenAt(0, 0, 150, 150), board.PenAt(0, 1, 350, 200),
                     board.PenAt(0, 2, 550, 250), board.PenAt(0, 3, 750, 300)});
        PumpFor(400);
        run.Control({CCalibratedBoard::PenUp(0, 0), CCalibratedBoard::PenUp(0, 1),
                     CCalibratedBoard::PenUp(0, 2), CCalibratedBoard::PenUp(0, 3)});
        PumpFor(400);
        std::printf("    %d messages for %zu companion pens\n", g_nCompanionMessages,
                    g_companionPens.size());
    }

    bool exited = false;
    if (started)
    {
        std::printf("Exit from the tray menu:\n");
        run.PostToMain(0x2B11, 131, WM_RBUTTONDOWN);
        if (HWND menu = run.WaitForWindow(L"#32768", 5000))
        {
            Sleep(200);
            run.Screenshot("tray-menu", menu);
            PressKey(VK_UP);
            PressKey(VK_RETURN);
        }
        exited = run.WaitForExit(10000) == 0;
        std::printf("    the program %s\n",
                    exited ? "saved its settings and ended" : "did not end");
    }
    DestroyWindow(canvas);
    // What support would read after this session: the log the program keeps beside itself.
    std::printf("The diagnostic log, Tavelo.log beside the program:\n");
    const std::string log = run.ReadText("Tavelo.log");
    for (std::size_t from = 0; from < log.size();)
    {
        const std::size_t end = std::min(log.find('\n', from), log.size());
        std::string line = log.substr(from, end - from);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::printf("    %s\n", line.c_str());
        from = end + 1;
    }

    double sum = 0;
    double largest = 0;
    for (double distance : errors.distances)
    {
        sum += distance;
        largest = std::max(largest, distance);
    }
    const double mean = errors.distances.empty() ? 0.0 : sum / double(errors.distances.size());
    std::printf("Screenshots: build/test-logs/screens/demo-*.png\n");
    std::printf("demo: exe=Tavelo.exe started=%d tracked=%d pointer_mean_px=%.2f "
                "pointer_max_px=%.2f companion_pens=%zu wizard=%d calibrated=%d targets=%zu "
                "exited=%d utilization=%.1f px_per_camera_px=%.2f worst_target_px=%.2f\n",
                started ? 1 : 0, tracking && !errors.distances.empty() ? 1 : 0, mean, largest,
                g_companionPens.size(), wizardDone ? 1 : 0, calibrated ? 1 : 0, targets,
                exited ? 1 : 0, ReportFigure(report, "utilization"),
                ReportFigure(report, "px_per_camera_px"), ReportFigure(report, "worst_target_px"));
    return started && exited ? 0 : 1;
}
