#include "shell/win32/ElevationHelper.h"

#include "platform/win32/Win32Platform.h"

#include <shellapi.h>

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
    const std::wstring path = OwnExecutablePath();
    if (path.empty())
        return FALSE;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = hOwner;
    info.lpVerb = L"runas";
    info.lpFile = path.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info);
}
