#include "update/win32/UpdaterLaunch.h"

#include "platform/Platform.h"
#include "update/BrowserCommand.h"
#include "update/win32/ModuleInfo.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

namespace
{
// Longest value taken from the registry: the longest command line Windows accepts.
constexpr DWORD REGISTRY_TEXT_CHARS = 32767;

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

// The default value of a key under HKEY_CLASSES_ROOT, or "" when it is missing or not text.
std::wstring ClassesDefaultValue(const std::wstring& key)
{
    std::vector<wchar_t> text(REGISTRY_TEXT_CHARS + 1);
    DWORD size = DWORD(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text.data(),
                     &size) != ERROR_SUCCESS)
        return std::wstring();
    text.back() = L'\0';
    return std::wstring(text.data());
}

void StartBrowser(const std::wstring& url, int show)
{
    const std::wstring pageType = ClassesDefaultValue(L".htm");
    if (pageType.empty())
        return;
    const std::wstring openCommand = ClassesDefaultValue(pageType + L"\\shell\\open\\command");
    std::optional<std::wstring> commandLine = BuildBrowserCommand(openCommand, url);
    if (!commandLine)
        return;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION process{};
    if (CreateProcessW(nullptr, commandLine->data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       &startup, &process))
    {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}
} // namespace

void LaunchUpdater(const std::wstring& url, int show)
{
    if (!StartUpdater(show))
        StartBrowser(url, show);
    Platform().QuitFromTray();
}
