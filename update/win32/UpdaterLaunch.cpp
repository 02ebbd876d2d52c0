#include "update/win32/UpdaterLaunch.h"

#include "platform/Platform.h"
#include "update/BrowserCommand.h"
#include "update/win32/ModuleInfo.h"

#include <windows.h>

#include <shellapi.h>

namespace
{
bool StartUpdater(int show)
{
    const std::wstring folder = Platform().GetModuleDirectory();
    if (folder.empty())
        return false;
    const std::wstring program = folder + L"\\" + UPDATER_PROGRAM;
    const std::wstring parameters = L"3" + DefaultUpdateUrl();
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"open";
    info.lpFile = program.c_str();
    info.lpParameters = parameters.c_str();
    info.nShow = show;
    return ShellExecuteExW(&info) && reinterpret_cast<INT_PTR>(info.hInstApp) > 32;
}
} // namespace

void LaunchUpdater(const std::wstring& url, int show)
{
    // The updater needs the driver's rights and comes only from the driver's own folder; the
    // browser gets the user's.
    if (!StartUpdater(show))
        (void)StartMachineBrowser(url, show);
    Platform().QuitFromTray();
}
