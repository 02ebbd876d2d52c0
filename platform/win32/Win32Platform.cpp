#include "platform/win32/Win32Platform.h"

#include "platform/win32/SystemLibraries.h"

#include <vector>

// The portable seam passes these values to the system unchanged.
static_assert(MOUSE_MOVE == MOUSEEVENTF_MOVE && MOUSE_LEFTDOWN == MOUSEEVENTF_LEFTDOWN &&
              MOUSE_LEFTUP == MOUSEEVENTF_LEFTUP && MOUSE_RIGHTDOWN == MOUSEEVENTF_RIGHTDOWN &&
              MOUSE_RIGHTUP == MOUSEEVENTF_RIGHTUP && MOUSE_ABSOLUTE == MOUSEEVENTF_ABSOLUTE);
static_assert(BOX_OK == MB_OK && BOX_YESNO == MB_YESNO && BOX_ICONERROR == MB_ICONERROR &&
              BOX_ICONQUESTION == MB_ICONQUESTION && BOX_ICONWARNING == MB_ICONWARNING &&
              BOX_ICONINFORMATION == MB_ICONINFORMATION && BOX_TOPMOST == MB_TOPMOST);
static_assert(METRIC_CXSCREEN == SM_CXSCREEN && METRIC_CYSCREEN == SM_CYSCREEN &&
              METRIC_CMONITORS == SM_CMONITORS);

CWin32Platform::CWin32Platform()
{
    QueryPerformanceFrequency(&m_frequency);
}

int CWin32Platform::ShowMessageBox(const std::wstring& text, std::uint32_t style)
{
    if (m_fnBoxShown)
        m_fnBoxShown(text);
    return MessageBoxW(m_hMainWnd, text.c_str(), m_strTitle.c_str(), style);
}

LOCAL_TIME CWin32Platform::LocalClock()
{
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return LOCAL_TIME{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                      now.wMinute, now.wSecond, now.wMilliseconds};
}

void CWin32Platform::SetMessageBoxTitle(const std::wstring& title)
{
    m_strTitle = title;
}

void CWin32Platform::Sleep(std::uint32_t milliseconds)
{
    ::Sleep(milliseconds);
}

std::uint64_t CWin32Platform::MonotonicMicros()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    const auto frequency = static_cast<std::uint64_t>(m_frequency.QuadPart);
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

LibraryHandle CWin32Platform::LoadAppLibrary(const std::wstring& name)
{
    // The driver runs elevated: never search the current folder or the PATH.
    if (HMODULE library =
            LoadLibraryExW(name.c_str(), nullptr,
                           LOAD_LIBRARY_SEARCH_APPLICATION_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32))
        return library;
    // A system without those search flags (Windows 7 without its loader update) refuses them
    // as an invalid parameter: the same two folders are then tried by full path.
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    for (const std::wstring& path :
         {GetModuleDirectory() + L"\\" + name, SystemLibraryPath(name.c_str())})
    {
        if (path.size() <= name.size() + 1)
            continue;
        if (HMODULE library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH))
            return library;
    }
    return nullptr;
}

void* CWin32Platform::GetLibrarySymbol(LibraryHandle library, const char* name)
{
    if (library == nullptr)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

int CWin32Platform::GetSystemMetric(int index)
{
    return GetSystemMetrics(index);
}

namespace
{
struct ENUM_CONTEXT
{
    const std::function<bool(const MONITOR_DESC&)>* visit;
};

BOOL CALLBACK MonitorVisitor(HMONITOR monitor, HDC, LPRECT rect, LPARAM context)
{
    auto* enumContext = reinterpret_cast<ENUM_CONTEXT*>(context);
    MONITORINFOEXW info{};
    info.cbSize = sizeof info;
    MONITOR_DESC desc;
    desc.hMonitor = reinterpret_cast<MonitorHandle>(monitor);
    desc.left = rect->left;
    desc.top = rect->top;
    desc.right = rect->right;
    desc.bottom = rect->bottom;
    if (GetMonitorInfoW(monitor, &info))
    {
        desc.deviceName.assign(info.szDevice, wcsnlen(info.szDevice, CCHDEVICENAME));
        desc.primary = (info.dwFlags & MONITORINFOF_PRIMARY) != 0;
    }
    return (*enumContext->visit)(desc) ? TRUE : FALSE;
}
} // namespace

void CWin32Platform::EnumerateMonitors(const std::function<bool(const MONITOR_DESC&)>& visit)
{
    ENUM_CONTEXT context{&visit};
    EnumDisplayMonitors(nullptr, nullptr, MonitorVisitor, reinterpret_cast<LPARAM>(&context));
}

bool CWin32Platform::GetCurrentDisplayMode(int& width, int& height)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    if (!EnumDisplaySettingsW(nullptr, ENUM_CURRENT_SETTINGS, &mode))
        return false;
    width = static_cast<int>(mode.dmPelsWidth);
    height = static_cast<int>(mode.dmPelsHeight);
    return true;
}

void CWin32Platform::SendMouseInput(const MOUSE_RECORD& record)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = record.dx;
    input.mi.dy = record.dy;
    input.mi.mouseData = record.mouseData;
    input.mi.dwFlags = record.flags;
    input.mi.time = record.time;
    input.mi.dwExtraInfo = record.extraInfo;
    SendInput(1, &input, sizeof input);
}

void CWin32Platform::DrainThreadMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
    {
    }
}

void CWin32Platform::SetCursorPosition(int x, int y)
{
    SetCursorPos(x, y);
}

int CWin32Platform::ShowMouseCursor(bool show)
{
    return ShowCursor(show ? TRUE : FALSE);
}

WindowHandle CWin32Platform::FindWindowByClass(const char* className)
{
    return reinterpret_cast<WindowHandle>(FindWindowA(className, nullptr));
}

bool CWin32Platform::IsWindowShown(WindowHandle window)
{
    return window != 0 && IsWindowVisible(reinterpret_cast<HWND>(window));
}

bool CWin32Platform::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                       std::uintptr_t wParam, std::intptr_t lParam)
{
    return PostMessageW(reinterpret_cast<HWND>(window), message, wParam, lParam) != FALSE;
}

void CWin32Platform::PostMainMessage(std::uint32_t message, std::uintptr_t wParam,
                                     std::intptr_t lParam)
{
    if (HWND hMain = m_hMainWnd.load())
        PostMessageW(hMain, message, wParam, lParam);
}

void CWin32Platform::QuitFromTray()
{
    if (m_fnQuit)
        m_fnQuit();
    else
        PostMainMessage(WM_DESTROY, 0, 0);
}

std::uint16_t CWin32Platform::GetSystemLanguageId()
{
    return GetSystemDefaultLangID();
}

std::wstring OwnExecutablePath()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;)
    {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size())
            return std::wstring(path.data(), length);
        path.resize(path.size() * 2);
    }
}

std::wstring CWin32Platform::GetModuleDirectory()
{
    const std::wstring full = OwnExecutablePath();
    const auto slash = full.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
}
