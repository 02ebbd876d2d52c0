#include "calibration/win32/CalibrationDlg.h"

#include "calibration/CalibrationReport.h"
#include "calibration/CalibrationView.h"
#include "calibration/CaptureSequence.h"
#include "calibration/win32/CalibrationReportView.h"
#include "core/DriverState.h"
#include "core/Language.h"
#include "device/DeviceController.h"
#include "resources/resource.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

std::atomic<CCalibrationDlg*> g_pCalibrationDlg{nullptr};

namespace
{
const wchar_t* const CALIBRATION_CLASS = L"CCalibrationDlg";
const COLORREF INSTRUCTION_COLOUR = RGB(32, 41, 51);
const UINT_PTR REPORT_TIMER = 1;
const UINT REPORT_SHOWN_MS = 10000;

HBITMAP LoadPicture(UINT id)
{
    return static_cast<HBITMAP>(
        LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0));
}

// Copies a picture onto the DC, stretched to the rectangle or as it is, with a raster rule.
void DrawPicture(HDC dc, HBITMAP picture, int x, int y, int width, int height, int sourceWidth,
                 int sourceHeight, DWORD rule)
{
    if (picture == nullptr)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, picture);
    if (width == sourceWidth && height == sourceHeight)
    {
        BitBlt(dc, x, y, width, height, memory, 0, 0, rule);
    }
    else
    {
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        StretchBlt(dc, x, y, width, height, memory, 0, 0, sourceWidth, sourceHeight, rule);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
}

bool ShowWindowHook(CDeviceController& controller, std::uint16_t camera)
{
    // The monitor table as it stood before the device refresh that follows.
    CALIB_RECT monitor;
    const MONITOR_AREA* areas = controller.GetAreas();
    if (areas != nullptr && camera < controller.m_areas.GetCapacity())
        monitor = {areas[camera].rect[0], areas[camera].rect[1], areas[camera].rect[2],
                   areas[camera].rect[3]};
    CCalibrationDlg* window = g_pCalibrationDlg.load();
    if (window == nullptr)
    {
        window = new CCalibrationDlg();
        window->m_rcMonitor = monitor;
        window->m_nModel = g_pMainDlg->m_nCalibModel;
        if (!window->Create())
        {
            delete window;
            return false;
        }
        g_pCalibrationDlg = window;
    }
    window->ShowOn(monitor, g_pMainDlg->m_nCalibModel);
    return true;
}

void RedrawHook()
{
    if (CCalibrationDlg* window = g_pCalibrationDlg.load())
        PostMessageW(window->m_hWnd, WM_CALIB_REDRAW, 0, 0);
}

void HideHook()
{
    if (CCalibrationDlg* window = g_pCalibrationDlg.load())
        PostMessageW(window->m_hWnd, WM_CALIB_HIDE, 0, 0);
}

// Reader thread: only copies the capture; the window makes, draws and keeps the report.
void CameraSolvedHook(std::int32_t model, std::uint16_t camera, bool lastCamera)
{
    CCalibrationDlg* window = g_pCalibrationDlg.load();
    auto capture = std::make_unique<CALIB_CAPTURE>();
    if (window == nullptr || !CopyCapture(model, camera, *capture))
        return;
    if (PostMessageW(window->m_hWnd, WM_CALIB_REPORT, lastCamera ? 1 : 0,
                     reinterpret_cast<LPARAM>(capture.get())))
        capture.release();
}
} // namespace

CCalibrationDlg::CCalibrationDlg() : CDialog(IDD_CALIBRATION, nullptr)
{
    RegisterDialogClass(CALIBRATION_CLASS);
    ReadScreenSize();
}

CCalibrationDlg::~CCalibrationDlg()
{
    if (m_hFont != nullptr)
        DeleteObject(m_hFont);
    if (m_hReport != nullptr)
        DeleteObject(m_hReport);
}

void CCalibrationDlg::ReadScreenSize()
{
    m_cxScreenDlg = GetSystemMetrics(SM_CXSCREEN);
    m_cyScreenDlg = GetSystemMetrics(SM_CYSCREEN);
}

void CCalibrationDlg::LayOutTargets()
{
    ReadScreenSize();
    const std::vector<CALIB_POINT> targets = TargetsInWindow(m_nModel, m_rcMonitor);
    if (m_nModel == CALIB_MODEL_NINE)
        std::copy_n(targets.begin(), std::min<std::size_t>(targets.size(), 9), m_ptNine);
    else if (m_nModel == CALIB_MODEL_SIXTEEN)
        std::copy_n(targets.begin(), std::min<std::size_t>(targets.size(), 16), m_ptSixteen);
}

BOOL CCalibrationDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    LayOutTargets();
    // The default character set, so that every language's instruction has its glyphs.
    m_hFont = CreateFontW(15, 6, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          VARIABLE_PITCH | FF_SWISS,
                          g_nLangLayout == LANG_LAYOUT_TAHOMA ? L"Tahoma" : L"MS San Serif");
    SetItemFont(IDC_CALIB_TEXT, m_hFont);
    return TRUE;
}

void CCalibrationDlg::ShowOn(const CALIB_RECT& monitor, std::int32_t model)
{
    // A calibration started while the last report is still up replaces it.
    CloseReport();
    m_rcMonitor = monitor;
    m_nModel = model;
    LayOutTargets();
    m_nTargetIndex = g_captureState.m_nTargetIndex;
    MoveWindow(m_hWnd, monitor.left, monitor.top, monitor.right - monitor.left,
               monitor.bottom - monitor.top, TRUE);
    ShowWindow(m_hWnd, SW_SHOW);
    InvalidateRect(m_hWnd, nullptr, TRUE);
    // In front and with the keyboard, so that Escape reaches it.
    SetForegroundWindow(m_hWnd);
}

void CCalibrationDlg::DrawBackground(HDC dc, int width, int height)
{
    HBITMAP background = LoadPicture(CalibrationBackground(g_pMainDlg->m_nSkin));
    DrawPicture(dc, background, 0, 0, width, height, CALIB_BACKGROUND_WIDTH,
                CALIB_BACKGROUND_HEIGHT, SRCCOPY);
    if (background != nullptr)
        DeleteObject(background);
}

void CCalibrationDlg::Redraw()
{
    if (m_hReport != nullptr)
        return;
    ReadScreenSize();
    m_nTargetIndex = g_captureState.m_nTargetIndex;
    HDC dc = GetDC(m_hWnd);
    DrawBackground(dc, std::abs(m_rcMonitor.right - m_rcMonitor.left),
                   std::abs(m_rcMonitor.bottom - m_rcMonitor.top));
    if (const std::uint16_t picture = TargetPicture(m_nModel, m_nTargetIndex))
    {
        const CALIB_POINT target =
            m_nModel == CALIB_MODEL_NINE ? m_ptNine[m_nTargetIndex] : m_ptSixteen[m_nTargetIndex];
        HBITMAP bitmap = LoadPicture(picture);
        // White is transparent: the picture is combined with what is on the screen.
        DrawPicture(dc, bitmap, target.x - TARGET_PICTURE_CENTRE, target.y - TARGET_PICTURE_CENTRE,
                    TARGET_PICTURE_SIZE, TARGET_PICTURE_SIZE, TARGET_PICTURE_SIZE,
                    TARGET_PICTURE_SIZE, SRCAND);
        if (bitmap != nullptr)
            DeleteObject(bitmap);
    }
    ReleaseDC(m_hWnd, dc);
    const CDriverState& state = *g_pMainDlg;
    SetItemText(IDC_CALIB_TEXT, state.m_strCalibText[1] + L"\r\n" + state.m_strCalibText[2]);
    const TEXT_PLACE place = InstructionPlace(m_cxScreenDlg, m_cyScreenDlg);
    MoveItem(IDC_CALIB_TEXT, place.x, place.y, place.width, place.height);
}

void CCalibrationDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    if (m_hReport != nullptr)
    {
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, m_hReport);
        BitBlt(dc, 0, 0, std::abs(m_rcMonitor.right - m_rcMonitor.left),
               std::abs(m_rcMonitor.bottom - m_rcMonitor.top), memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
        EndPaint(m_hWnd, &paint);
        return;
    }
    ReadScreenSize();
    DrawBackground(dc, m_cxScreenDlg, m_cyScreenDlg);
    EndPaint(m_hWnd, &paint);
    Redraw();
    if (HWND text = GetItem(IDC_CALIB_TEXT))
        RedrawWindow(text, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CCalibrationDlg::OnReport(CALIB_CAPTURE* capture, bool show)
{
    const std::unique_ptr<CALIB_CAPTURE> owned(capture);
    if (owned == nullptr || g_pMainDlg == nullptr)
        return;
    const CDriverState& state = *g_pMainDlg;
    const CALIB_REPORT report = MakeCalibrationReport(*owned);
    const CALIB_RECT& monitor = owned->monitor;
    HBITMAP screen = DrawCalibrationReport(
        report, state.m_strReportText, CalibrationBackground(state.m_nSkin),
        std::abs(monitor.right - monitor.left), std::abs(monitor.bottom - monitor.top),
        g_nLangLayout == LANG_LAYOUT_RIGHT_TO_LEFT);
    // Beside the settings file, where a support person finds it.
    const std::wstring folder =
        state.m_strConfigPath.substr(0, state.m_strConfigPath.find_last_of(L'\\') + 1);
    (void)KeepCalibrationReport(report, screen, folder);
    if (!show || screen == nullptr)
    {
        if (screen != nullptr)
            DeleteObject(screen);
        return;
    }
    CloseReport();
    m_hReport = screen;
    m_rcMonitor = monitor;
    ShowItem(IDC_CALIB_TEXT, false);
    MoveWindow(m_hWnd, monitor.left, monitor.top, monitor.right - monitor.left,
               monitor.bottom - monitor.top, TRUE);
    ShowWindow(m_hWnd, SW_SHOW);
    InvalidateRect(m_hWnd, nullptr, FALSE);
    // Painted now: the restart of pen tracking queued behind this message would otherwise
    // leave whatever was below on the screen for a while.
    UpdateWindow(m_hWnd);
    SetForegroundWindow(m_hWnd);
    SetTimer(m_hWnd, REPORT_TIMER, REPORT_SHOWN_MS, nullptr);
}

void CCalibrationDlg::CloseReport()
{
    if (m_hReport == nullptr)
        return;
    KillTimer(m_hWnd, REPORT_TIMER);
    ShowWindow(m_hWnd, SW_HIDE);
    DeleteObject(m_hReport);
    m_hReport = nullptr;
    ShowItem(IDC_CALIB_TEXT, true);
}

bool CCalibrationDlg::PreTranslateMessage(MSG& message)
{
    if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE || g_pMainDlg == nullptr)
        return false;
    // The calibration is over while its report shows: Escape only closes the report.
    if (m_hReport != nullptr)
    {
        CloseReport();
        return true;
    }
    AbandonCalibration(g_pMainDlg->m_controller);
    return false;
}

bool CCalibrationDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_ERASEBKGND:
        result = TRUE;
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return TransparentControlColour(wParam, lParam, INSTRUCTION_COLOUR, result);
    case WM_CALIB_REDRAW:
        Redraw();
        return true;
    case WM_CALIB_HIDE:
        ShowWindow(m_hWnd, SW_HIDE);
        return true;
    case WM_CALIB_REPORT:
        OnReport(reinterpret_cast<CALIB_CAPTURE*>(lParam), wParam != 0);
        return true;
    case WM_TIMER:
        if (wParam != REPORT_TIMER)
            return false;
        CloseReport();
        return true;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        // The pen is the mouse again by now: a tap anywhere on the report closes it.
        if (m_hReport == nullptr)
            return false;
        CloseReport();
        return true;
    default:
        return false;
    }
}

void AddCalibrationWindowHooks(CALIBRATION_HOOKS& hooks, void (*pfnRefreshControls)())
{
    hooks.pfnShowWindow = &ShowWindowHook;
    hooks.pfnRedraw = &RedrawHook;
    hooks.pfnHideWindow = &HideHook;
    hooks.pfnCameraSolved = &CameraSolvedHook;
    hooks.pfnRefreshControls = pfnRefreshControls;
}
