#include "shell/win32/Launchers.h"

#include "platform/Platform.h"
#include "resources/ProductInfo.h"
#include "shell/CompanionProgram.h"
#include "update/BrowserCommand.h"

#include <cwchar>
#include <string>

namespace
{
using PFN_IsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
using PFN_Wow64DisableWow64FsRedirection = BOOL(WINAPI*)(PVOID*);
using PFN_Wow64RevertWow64FsRedirection = BOOL(WINAPI*)(PVOID);

std::wstring WindowsDirectory()
{
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

// The drive the system is on: the first character of the Windows folder.
wchar_t SystemDrive()
{
    const std::wstring folder = WindowsDirectory();
    return folder.empty() ? L'C' : folder[0];
}

std::wstring TabletInputPanelPath()
{
    wchar_t path[MAX_PATH] = {};
    std::swprintf(path, MAX_PATH,
                  L"%lc:\\Program Files\\Common Files\\Microsoft Shared\\Ink\\TabTip.exe",
                  SystemDrive());
    return path;
}

std::wstring OnScreenKeyboardPath()
{
    return WindowsDirectory() + L"\\system32\\osk.exe";
}

// Started by the desktop shell for the user, never with the driver's rights: only a program
// that is there is handed over, since the shell reports nothing back.
bool LaunchForUser(const std::wstring& program)
{
    return Platform().FileExists(program) &&
           Platform().StartProgramAsUser(program, L"", SW_SHOWNORMAL);
}

// The tablet input panel where it is installed, the on-screen keyboard otherwise.
void LaunchKeyboard()
{
    if (!LaunchForUser(TabletInputPanelPath()))
        LaunchForUser(OnScreenKeyboardPath());
}

template <typename FUNCTION> FUNCTION Lookup(HMODULE module, const char* name)
{
    return reinterpret_cast<FUNCTION>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
} // namespace

BOOL IsWow64()
{
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    auto isWow64Process =
        kernel != nullptr ? Lookup<PFN_IsWow64Process>(kernel, "IsWow64Process") : nullptr;
    if (isWow64Process == nullptr)
        return FALSE;
    BOOL wow64 = FALSE;
    if (!isWow64Process(GetCurrentProcess(), &wow64))
        return FALSE;
    return wow64;
}

void ShowOnScreenKeyboard()
{
    if (!IsWow64())
    {
        LaunchKeyboard();
        return;
    }
    // A 32-bit program on 64-bit Windows sees the 32-bit system folder unless redirection is
    // switched off for the launch; the keyboard lives in the real one.
    HMODULE kernel = LoadLibraryW(L"kernel32.dll");
    if (kernel == nullptr)
        return;
    auto disable =
        Lookup<PFN_Wow64DisableWow64FsRedirection>(kernel, "Wow64DisableWow64FsRedirection");
    auto revert =
        Lookup<PFN_Wow64RevertWow64FsRedirection>(kernel, "Wow64RevertWow64FsRedirection");
    PVOID previous = nullptr;
    if (disable != nullptr && disable(&previous))
    {
        LaunchKeyboard();
        if (revert != nullptr)
            revert(previous);
    }
    FreeLibrary(kernel);
}

void StartInkora()
{
    (void)StartCompanionProgram();
}

void OpenMakerWebSite(HWND)
{
    (void)StartMachineBrowser(L"" TAVELO_MAKER_URL, SW_SHOWMAXIMIZED);
}
