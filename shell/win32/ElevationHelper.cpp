#include "shell/win32/ElevationHelper.h"

#include <shellapi.h>

#include <vector>

BOOL CElevationHelper::IsVistaOrLater()
{
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info))
        return FALSE;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 6;
}

BOOL CElevationHelper::IsProcessElevated()
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return FALSE;
    DWORD elevation = 0;
    DWORD size = 0;
    const BOOL queried =
        GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
    CloseHandle(token);
    return queried && elevation != 0;
}

BOOL CElevationHelper::RelaunchElevated(HWND hOwner)
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;)
    {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return FALSE;
        if (length < path.size())
            break;
        path.resize(path.size() * 2);
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = hOwner;
    info.lpVerb = L"runas";
    info.lpFile = path.data();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info);
}
