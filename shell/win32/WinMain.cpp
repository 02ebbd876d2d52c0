// The program's entry: one platform, the calibration hooks of the program, and the hidden main
// dialog, whose shutdown ends the process.

#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"
#include "resources/resource.h"
#include "setup_ui/win32/AdjustDlg.h"
#include "setup_ui/win32/SetupHooks.h"
#include "shell/DriverWiring.h"
#include "shell/win32/MainDlg.h"
#include "update/win32/ModuleInfo.h"
#include "update/win32/UpdaterLaunch.h"

#include <commctrl.h>

namespace
{
CWin32Platform g_platform;

std::wstring ApplicationTitle()
{
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), IDS_APP_TITLE, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : L"Tavelo";
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    // The reader's read time-outs and the pacing of setting writes rely on a fine timer.
    syscall::timeBeginPeriod(1);
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);

    g_platform.m_strTitle = ApplicationTitle();
    SetPlatform(&g_platform);
    g_pfnLaunchDefaultUpdater = [](int show) { LaunchUpdater(DefaultUpdateUrl(), show); };

    CMainDlg dialog;
    dialog.DoModal();
    return 0;
}
