#include "shell/win32/MainDlg.h"

#include "calibration/CameraCalibStore.h"
#include "calibration/CaptureSequence.h"
#include "device/Protocol.h"
#include "device/StageTiming.h"
#include "platform/Platform.h"
#include "platform/win32/CopyDataReply.h"
#include "platform/win32/Win32Platform.h"
#include "settings/SettingsFlows.h"

#include "calibration/win32/CalibrationDlg.h"
#include "core/DiagLog.h"
#include "core/Language.h"
#include "core/Messages.h"
#include "resources/resource.h"
#include "settings/Settings.h"
#include "setup_ui/win32/AdjustDlg.h"
#include "setup_ui/win32/SetupHooks.h"
#include "shell/DiagEvents.h"
#include "shell/DriverWiring.h"
#include "shell/MainFlows.h"
#include "shell/RecordingControl.h"
#include "shell/UnitReplug.h"
#include "shell/win32/AboutDlg.h"
#include "shell/win32/CommandLine.h"
#include "shell/win32/Launchers.h"
#include "shell/win32/SplashWnd.h"
#include "shell/win32/TrayIcon.h"
#include "update/VersionText.h"
#include "update/win32/ModuleInfo.h"
#include <shellapi.h>

#include <cstdlib>
#include <string>

namespace
{
const wchar_t* const MAIN_WINDOW_CLASS = L"CTavelo_Angle78_NEW";
const wchar_t* const MUTEX_NAME = L"TaveloMutex";
const wchar_t* const MAIN_WINDOW_TITLE = L"Tavelo";
constexpr UINT IDM_ABOUTBOX = 16;
// The timer that looks for a unit that is gone.
constexpr UINT_PTR UNIT_LOOK_TIMER = 1;
// Second argument of the WM_SHOWWINDOW that start-up posts to keep the window hidden.
constexpr LPARAM SHOW_WINDOW_STATUS = 4;

std::wstring LoadResourceString(UINT id)
{
    const wchar_t* text = nullptr;
    // A length of 0 asks for a pointer into the resource itself.
    const int length = LoadStringW(ResourceInstance(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text != nullptr ? std::wstring(text, static_cast<std::size_t>(length))
                                         : std::wstring();
}
} // namespace

namespace
{
CMainDlg* g_pMainWindow = nullptr;
// The program asked itself to end (the stall, a cancelled first wizard, the updater).
bool g_bQuitAsked = false;

// /record <file>, or the hidden setting for boards whose shortcut cannot carry arguments; and
// the pen chain's timing when the settings ask for it.
void StartAskedRecording(CDriverState& state)
{
    EnableStageTimingFromSettings(state.m_strConfigPath);
    const std::wstring path = ChooseRecordingPath(state, RecordPathArgument());
    if (!path.empty())
        (void)StartRecording(state, path);
}

// Escape re-read the settings from the camera: the dialog's check box follows them.
void RefreshMainControls()
{
    if (g_pMainWindow != nullptr)
        g_pMainWindow->UpdateData(false);
}
} // namespace

UINT DescribeStateMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Tavelo.DescribeState");
    return message;
}

CMainDlg::CMainDlg() : CDialog(IDD_MAIN, nullptr)
{
    RegisterDialogClass(MAIN_WINDOW_CLASS);
    m_hIcon = LoadIconW(ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CMainDlg::~CMainDlg()
{
    delete m_pTrayIcon;
    m_pTrayIcon = nullptr;
}

void CMainDlg::DoDataExchange(CDataExchange& dx)
{
    int ceiling = m_bCeilingMount;
    DDX_Check(dx, IDC_CEILING_MOUNT, ceiling);
    if (dx.m_bSaveAndValidate)
        m_bCeilingMount = ceiling;
}

void CMainDlg::AddAboutToSystemMenu()
{
    const std::wstring text = LoadResourceString(IDS_ABOUTBOX);
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (text.empty() || menu == nullptr)
        return;
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, IDM_ABOUTBOX, text.c_str());
}

bool CMainDlg::CheckSingleInstance()
{
    if (HANDLE other = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, MUTEX_NAME))
    {
        CloseHandle(other);
        if (FindWindowW(nullptr, MAIN_WINDOW_TITLE) != nullptr)
        {
            Platform().ShowMessageBox(m_strMsgText[1], BOX_ICONWARNING);
            std::exit(0);
        }
        return true;
    }
    m_hMutex = CreateMutexW(nullptr, FALSE, MUTEX_NAME);
    if (m_hMutex == nullptr)
    {
        Platform().ShowMessageBox(m_strMsgText[0], BOX_ICONWARNING);
        std::exit(0);
    }
    return true;
}

void CMainDlg::MinimiseAndHide()
{
    ShowWindow(m_hWnd, SW_SHOWMINIMIZED);
    PostMessageW(m_hWnd, WM_SHOWWINDOW, FALSE, SHOW_WINDOW_STATUS);
}

void CMainDlg::StartupFailure()
{
    SetShutdownReason("start-up failed (no usable unit)");
    Platform().ShowMessageBox(m_strMsgText[0], BOX_OK);
    ShowWindow(m_hWnd, SW_MINIMIZE);
    m_pTrayIcon->Notify(NIM_ADD);
    m_pTrayIcon->OnCommand(ID_TRAY_EXIT);
}

BOOL CMainDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (auto* platform = dynamic_cast<CWin32Platform*>(&Platform()))
    {
        platform->m_hMainWnd = m_hWnd;
        platform->m_fnBoxShown = [this](const std::wstring& text) { LogMessageBox(*this, text); };
        platform->m_fnQuit = [this]
        {
            g_bQuitAsked = true;
            if (m_pTrayIcon != nullptr)
                m_pTrayIcon->OnCommand(ID_TRAY_EXIT);
            else
                PostMessageW(m_hWnd, WM_DESTROY, 0, 0);
        };
    }
    AddAboutToSystemMenu();
    g_pMainWindow = this;
    g_pfnRunAlignmentView = [](CDriverState&, HWND hOwner)
    { return g_pMainWindow->RunAlignment(hOwner); };
    CALIBRATION_HOOKS hooks = ProgramCalibrationHooks();
    AddCalibrationWindowHooks(hooks, &RefreshMainControls);
    g_calibrationHooks = hooks;

    if (!m_elevation.IsProcessElevated() && m_elevation.IsVistaOrLater())
    {
        // Whether or not the elevated copy could be started, this one ends here.
        (void)m_elevation.RelaunchElevated(m_hWnd);
        std::exit(0);
    }

    m_nSkin = SKIN_STANDARD;
    m_nWizardOrigin = -1;
    m_strConfigPath = Platform().GetModuleDirectory() + L"\\Config.ini";
    DiagLog().Open(Platform().GetModuleDirectory());
    const std::optional<VERSION_NUMBER> version = GetOwnFileVersion();
    LogProgramStart(version ? FormatVersionText(*version) : L"(no version)", ProgramArguments());
    CStartupSteps steps;
    ChooseLanguage(*this);
    steps.Step("language texts loaded");
    CheckSingleInstance();
    steps.Step("single instance secured");

    m_pTrayIcon = new CTrayIcon(IDR_MAINFRAME, m_hWnd, ResourceInstance());
    if (!m_controller.StartDevices())
    {
        steps.Step("units listed: start-up failed");
        StartupFailure();
        return TRUE;
    }
    steps.Step("units listed and opened");

    CSplashWnd splash;
    splash.LoadBitmap(m_nSkin == SKIN_VELMARA ? IDB_SPLASH_VELMARA : IDB_SPLASH);
    splash.SetColorKey(0);
    splash.Show();

    if (!m_controller.DetectFirmware())
    {
        steps.Step("firmware detection failed");
        splash.Hide();
        StartupFailure();
        return TRUE;
    }
    steps.Step("firmware detected");
    LogUnits(*this);
    LogDisplayGeometry(*this, "Start-up");

    SetIcons(static_cast<HICON>(m_hIcon));
    g_pMainDlg = this;
    m_dFirmwareVersion = m_controller.GetDeviceVersion(0);

    if (m_controller.GetDeviceCount() == 2)
    {
        splash.Hide();
        if (m_controller.GetDeviceVersion(0) >= protocol::MULTI_SPOT_VERSION ||
            m_controller.GetDeviceVersion(1) >= protocol::MULTI_SPOT_VERSION)
        {
            // The quit this posts is dispatched by the next message loop; start-up goes on,
            // so that the shutdown saves what it has just loaded.
            SetShutdownReason("two units with multi-pen firmware");
            Platform().ShowMessageBox(m_strMsgText[11], BOX_OK);
            ShowWindow(m_hWnd, SW_MINIMIZE);
            m_pTrayIcon->Notify(NIM_ADD);
            m_pTrayIcon->OnCommand(ID_TRAY_EXIT);
        }
    }

    const bool settingsFromUnit = LoadStartupSettings(*this);
    if (settingsFromUnit)
        UpdateData(false);
    steps.Step("settings loaded");
    LogSettingsSource(*this, settingsFromUnit);

    if (m_bCalibrated == 0)
    {
        DiagLog().Write("Not calibrated: the start wizard opens");
        StartAskedRecording(*this);
        splash.Hide();
        // Cancelled, it has already asked the driver to end: no icon, no update check.
        if (!RunFirstWizard())
            return TRUE;
        steps.Step("start wizard closed");
        m_pTrayIcon->Notify(NIM_ADD);
        MinimiseAndHide();
    }
    else
    {
        m_pTrayIcon->Notify(NIM_ADD);
        steps.Step("calibration loaded");
        LogCalibration(*this, settingsFromUnit);
        StartAskedRecording(*this);
        splash.Hide();
        m_nRunState = RUN_STATE_RUNNING;
        m_modes.SetMode(DRIVER_MODE::Tracking);
        (void)m_controller.StartPenTracking();
        steps.Step("pen tracking started");
        MinimiseAndHide();
    }
    // The requests run on a worker: a silent or slow server never holds this thread.
    m_updateChecker.StartCheck(WM_UPDATE_FETCHED);
    steps.Step("update check started");
    steps.Done();
    return TRUE;
}

INT_PTR CMainDlg::RunAlignment(HWND hOwner)
{
    m_modes.SetAligning(true);
    const INT_PTR result = RunAlignmentView(*this, hOwner);
    m_modes.SetAligning(false);
    return result;
}

void CMainDlg::OnAbout()
{
    CAboutDlg about(m_hWnd);
    about.DoModal();
}

void CMainDlg::OnExit()
{
    SetShutdownReason("Exit chosen from the tray menu");
    m_modes.OnEscape();
    CloseActiveWizard();
    m_pTrayIcon->OnCommand(ID_TRAY_EXIT);
}

void CMainDlg::OnDestroy()
{
    LogStageTiming();
    LogShutdown();
    m_updateChecker.StopCheck();
    ShutdownDevices(*this);
    StopRecording("the program ends");
    delete g_pCalibrationDlg.exchange(nullptr);
    delete m_pTrayIcon;
    m_pTrayIcon = nullptr;
    if (m_hMutex != nullptr)
    {
        ReleaseMutex(m_hMutex);
        Sleep(2);
        CloseHandle(m_hMutex);
        m_hMutex = nullptr;
    }
    DiagLog().Write("Process ends");
    std::exit(0);
}

void CMainDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, static_cast<HICON>(m_hIcon));
    EndPaint(m_hWnd, &paint);
}

namespace
{
bool CursorShown()
{
    CURSORINFO info{};
    info.cbSize = sizeof info;
    return GetCursorInfo(&info) && (info.flags & CURSOR_SHOWING) != 0;
}
} // namespace

void CMainDlg::AnswerStateDescription(HWND hRequester)
{
    if (!IsWindow(hRequester))
        return;
    std::wstring description =
        L"tray=" + std::to_wstring(m_pTrayIcon != nullptr && m_pTrayIcon->IsShown() ? 1 : 0) +
        L"\nrunstate=" + std::to_wstring(m_nRunState.load()) + L"\nreader=" +
        std::to_wstring(m_controller.m_link.IsReaderRunning() ? 1 : 0) + L"\ncalibrated=" +
        std::to_wstring(m_bCalibrated.load()) + L"\ncameras=" +
        std::to_wstring(m_controller.GetDeviceCount()) + L"\ncursor=" +
        std::to_wstring(CursorShown() ? 1 : 0) + L"\ntrayat=" +
        std::to_wstring(m_pTrayIcon != nullptr ? m_pTrayIcon->ShownAtMicros() : 0) + L"\n";
    description += L"newversion=" + std::to_wstring(m_bNewVersionAvailable) + L"\n";
    if (m_pTrayIcon != nullptr)
        description += L"tip=" + m_pTrayIcon->Tip() + L"\n";
    if (const CAMERA_RECORD* records = m_controller.GetRecords())
    {
        for (std::uint16_t i = 0; i < m_controller.GetDeviceCount(); ++i)
        {
            const CAMERA_RECORD& record = records[i];
            description += L"record" + std::to_wstring(i) + L"=" +
                           std::to_wstring(record.monitorIndex) + L"_" +
                           std::to_wstring(record.monitorRect[0]) + L"_" +
                           std::to_wstring(record.monitorRect[1]) + L"_" +
                           std::to_wstring(record.monitorRect[2]) + L"_" +
                           std::to_wstring(record.monitorRect[3]) + L"\n";
        }
    }
    if (m_pTrayIcon != nullptr)
        description += m_pTrayIcon->DescribeMenu();
    (void)SendCopyDataReply(hRequester, m_hWnd, DescribeStateMessage(), description);
}

bool CMainDlg::OnCommand(int id, int, HWND)
{
    switch (id)
    {
    case IDC_START_CALIBRATION:
    case ID_TRAY_CALIBRATE:
        m_modes.OnCalibrate(false);
        if (m_modes.IsCalibrating())
            LogCalibrationStarted(g_nCalibCamera);
        return true;
    case ID_TRAY_EXIT:
        OnExit();
        return true;
    case ID_TRAY_CONFIG:
        if (m_modes.MayOpenWindow())
            OnConfig();
        return true;
    case ID_TRAY_WIZARD:
        if (m_modes.MayOpenWindow())
            OnTrayWizard();
        return true;
    case ID_TRAY_KEYBOARD:
        ShowOnScreenKeyboard();
        return true;
    case ID_TRAY_INKORA:
        StartInkora();
        return true;
    case ID_TRAY_ABOUT:
        OnAbout();
        return true;
    case ID_TRAY_RESERVED:
        return true;
    case ID_TRAY_STOP_RECORDING:
        StopRecording("from the tray menu");
        return true;
    default:
        return false;
    }
}

bool CMainDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_ABOUTBOX)
            return false;
        OnAbout();
        return true;
    case WM_PAINT:
        if (!IsIconic(m_hWnd))
            return false;
        OnPaint();
        return true;
    case WM_QUERYDRAGICON:
        result = reinterpret_cast<LRESULT>(m_hIcon);
        return true;
    case WM_DESTROY:
        OnDestroy();
        return true;
    case WM_WINDOWPOSCHANGING:
        // The window never becomes visible, whoever asks.
        reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
        return false;
    case WM_TRAYNOTIFY:
        if (m_pTrayIcon != nullptr)
            m_pTrayIcon->OnTrayMessage(static_cast<UINT>(lParam));
        result = 0;
        return true;
    case WM_CALIBRATE_NEXT:
        m_modes.OnCalibrate(wParam == CALIBRATE_NEXT_CAMERA);
        if (m_modes.IsCalibrating())
            LogCalibrationStarted(g_nCalibCamera);
        return true;
    case WM_POWERBROADCAST:
        LogPowerEvent(static_cast<std::uint32_t>(wParam));
        m_modes.OnPowerEvent(static_cast<std::uint32_t>(wParam));
        result = TRUE;
        return true;
    case WM_RESTART_TRACKING:
    {
        const bool calibrating = m_modes.IsCalibrating();
        m_modes.OnRestartTracking();
        if (calibrating && !m_modes.IsCalibrating())
            LogCalibrationFinished(*this);
        return true;
    }
    case WM_DISPLAYCHANGE:
        m_modes.OnDisplayChange();
        LogDisplayGeometry(*this, "Display changed");
        return true;
    case WM_RECORDING_ENDED:
        OnRecordingEnded();
        return true;
    case WM_CAMERA_QUIET:
        LogCameraQuiet(static_cast<std::uint16_t>(wParam), lParam != 0);
        return true;
    case WM_SHOW_CURSOR:
        m_modes.OnShowCursor();
        return true;
    case WM_QUERYENDSESSION:
        result = TRUE;
        return true;
    case WM_ENDSESSION:
        // The session ends without Exit: what Exit saves and releases must not be lost.
        if (wParam != 0)
        {
            SetShutdownReason("Windows ends the session");
            m_modes.OnEndSession();
        }
        result = 0;
        return true;
    case WM_SAVE_SETTINGS_FILE:
        (void)SaveSettingsFile();
        return true;
    case WM_WRITE_CAMERA_STORE:
        (void)WriteCalibrationToCamera(m_controller);
        return true;
    case WM_CAMERA_STALLED:
        if (m_bStallReported == 0)
        {
            LogCameraStalled(static_cast<std::uint16_t>(wParam));
            SetShutdownReason("the stall watch gave up on a unit");
        }
        OnCameraStalled(*this);
        return true;
    case WM_UPDATE_FETCHED:
    {
        const bool checking = m_updateChecker.IsChecking();
        m_updateChecker.OnFetched(wParam);
        if (checking && !m_updateChecker.IsChecking())
            LogUpdateCheck(m_updateChecker.CheckUrl(), m_updateChecker.m_strServerVersion,
                           m_bNewVersionAvailable != 0, m_updateChecker.CheckMicros());
        // Yes to the offer leaves for the updater, which asked to quit while the box was up.
        if (g_bQuitAsked)
            SetShutdownReason("an update was accepted and the updater started");
        return true;
    }
    case WM_D2XX_ENTRY_INVALID:
        ShowInvalidEntry(reinterpret_cast<const char*>(lParam));
        return true;
    case WM_UNIT_GONE:
        // A calibration cannot take targets from a unit that is gone, and a pen user has no
        // Escape: it ends as Escape ends it.
        m_modes.OnEscape();
        if (OnUnitGone(*this))
        {
            DiagLog().Write("A unit is gone (its reads fail): waiting for it to be listed again");
            if (m_pTrayIcon != nullptr)
                m_pTrayIcon->SetTip(UNIT_GONE_TIP);
            SetTimer(m_hWnd, UNIT_LOOK_TIMER, UNIT_LOOK_MS, nullptr);
        }
        return true;
    case WM_TIMER:
        if (wParam != UNIT_LOOK_TIMER)
            return false;
        (void)LookForGoneUnit(*this);
        return true;
    case WM_UNIT_BACK:
    {
        const bool waiting = IsWaitingForUnit(*this);
        if (OnUnitBack(*this))
        {
            if (waiting)
                DiagLog().Write("The unit is back and reopened");
            KillTimer(m_hWnd, UNIT_LOOK_TIMER);
            if (m_pTrayIcon != nullptr)
                m_pTrayIcon->SetTip(L"Tavelo");
        }
        return true;
    }
    default:
        if (message == DescribeStateMessage() && message != 0)
        {
            AnswerStateDescription(reinterpret_cast<HWND>(wParam));
            return true;
        }
        return false;
    }
}
