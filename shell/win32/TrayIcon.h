#pragma once
// The notification-area icon and its popup menu, and the driver's quit path: remove the icon
// and post WM_DESTROY to the main window.

#include <windows.h>

#include <string>

class CTrayIcon
{
public:
    CTrayIcon(UINT iconId, HWND hOwner, HINSTANCE hInstance);
    virtual ~CTrayIcon() = default;
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // NIM_ADD sends the whole notification data; any other message only identifies the icon.
    BOOL Notify(DWORD message);
    // The mouse message of WM_TRAYNOTIFY: a left click, a left double click or a right click
    // opens the menu.
    void OnTrayMessage(UINT mouseMessage);
    // Only the exit command is acted on here.
    void OnCommand(UINT id);
    void ShowMenu();
    // The icon was added and not removed since.
    bool IsShown() const { return m_bShown; }
    // The tip the icon shows on hover ("Tavelo" unless changed); the icon takes a new tip at
    // once when it is shown.
    void SetTip(const std::wstring& tip);
    const std::wstring& Tip() const { return m_strTip; }
    // When the icon was added, microseconds of the monotonic clock; 0 before.
    unsigned long long ShownAtMicros() const { return m_nShownAt; }

    // The menu as it would open, one line per item ("<id> <type flags hex> <default 0|1>
    // <text>"), for a test program that asks the main window for it.
    std::wstring DescribeMenu();

private:
    HMENU BuildMenu();

    HINSTANCE m_hInstance;
    UINT m_nIconId;
    HWND m_hOwner;
    bool m_bShown = false;
    unsigned long long m_nShownAt = 0;
    std::wstring m_strTip = L"Tavelo";
};
