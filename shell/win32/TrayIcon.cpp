#include "shell/win32/TrayIcon.h"

#include "core/DriverState.h"
#include "core/Messages.h"
#include "shell/TrayMenu.h"

#include <shellapi.h>

#include <chrono>
#include <cwchar>
#include <vector>

namespace
{
// The first form of the notification data, which every shell accepts.
constexpr DWORD NOTIFY_DATA_V1_SIZE = 152;
} // namespace

CTrayIcon::CTrayIcon(UINT iconId, HWND hOwner, HINSTANCE hInstance)
    : m_hInstance(hInstance), m_nIconId(iconId), m_hOwner(hOwner)
{
}

BOOL CTrayIcon::Notify(DWORD message)
{
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFY_DATA_V1_SIZE;
    data.hWnd = m_hOwner;
    data.uID = m_nIconId;
    if (message == NIM_ADD)
    {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = WM_TRAYNOTIFY;
        data.hIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(m_nIconId));
        wcsncpy(data.szTip, m_strTip.c_str(), 63);
    }
    else if (message == NIM_MODIFY)
    {
        data.uFlags = NIF_TIP;
        wcsncpy(data.szTip, m_strTip.c_str(), 63);
    }
    const BOOL result = Shell_NotifyIconW(message, &data);
    if (message == NIM_ADD)
    {
        m_bShown = result != FALSE;
        m_nShownAt =
            static_cast<unsigned long long>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                std::chrono::steady_clock::now().time_since_epoch())
                                                .count());
    }
    else if (message == NIM_DELETE)
        m_bShown = false;
    return result;
}

void CTrayIcon::SetTip(const std::wstring& tip)
{
    m_strTip = tip;
    if (m_bShown)
        (void)Notify(NIM_MODIFY);
}

void CTrayIcon::OnTrayMessage(UINT mouseMessage)
{
    switch (mouseMessage)
    {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
        ShowMenu();
        break;
    default:
        break;
    }
}

void CTrayIcon::OnCommand(UINT id)
{
    if (id != ID_TRAY_EXIT)
        return;
    Notify(NIM_DELETE);
    PostMessageW(m_hOwner, WM_DESTROY, 0, 0);
}

HMENU CTrayIcon::BuildMenu()
{
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr || g_pMainDlg == nullptr)
        return menu;
    for (const TRAY_MENU_ITEM& item : TrayMenuItems(*g_pMainDlg))
    {
        if (item.id == 0)
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        else
            AppendMenuW(menu, MF_STRING | item.typeFlags, item.id, item.text.c_str());
    }
    SetMenuDefaultItem(menu, 0, TRUE);
    return menu;
}

void CTrayIcon::ShowMenu()
{
    HMENU menu = BuildMenu();
    if (menu == nullptr)
        return;
    POINT cursor{};
    GetCursorPos(&cursor);
    SetForegroundWindow(m_hOwner);
    TrackPopupMenu(menu, TrayTrackFlags(), cursor.x, cursor.y, 0, m_hOwner, nullptr);
    DestroyMenu(menu);
}

std::wstring CTrayIcon::DescribeMenu()
{
    HMENU menu = BuildMenu();
    if (menu == nullptr)
        return std::wstring();
    std::wstring description;
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position)
    {
        wchar_t text[512] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 511;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info))
            continue;
        wchar_t line[64];
        std::swprintf(line, 64, L"%u %x %d ", info.wID, info.fType,
                      (info.fState & MFS_DEFAULT) != 0 ? 1 : 0);
        description += line;
        description += text;
        description += L"\n";
    }
    DestroyMenu(menu);
    return description;
}
