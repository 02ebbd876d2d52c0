#include "platform/win32/BitmapButton.h"

#include "platform/win32/ResourceModule.h"

namespace
{
const wchar_t* const BUTTON_PROPERTY = L"TaveloBitmapButton";
}

CBitmapButton::~CBitmapButton()
{
    if (m_hWnd != nullptr && IsWindow(m_hWnd))
        RemovePropW(m_hWnd, BUTTON_PROPERTY);
    Release();
}

void CBitmapButton::Release()
{
    if (m_hUp != nullptr)
        DeleteObject(m_hUp);
    if (m_hDown != nullptr)
        DeleteObject(m_hDown);
    m_hUp = nullptr;
    m_hDown = nullptr;
}

bool CBitmapButton::Attach(HWND hDialog, int id)
{
    m_hWnd = GetDlgItem(hDialog, id);
    if (m_hWnd == nullptr)
        return false;
    SetPropW(m_hWnd, BUTTON_PROPERTY, reinterpret_cast<HANDLE>(this));
    const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~BS_TYPEMASK) | BS_OWNERDRAW);
    return true;
}

bool CBitmapButton::LoadBitmaps(UINT upId, UINT downId)
{
    Release();
    m_hUp = static_cast<HBITMAP>(
        LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(upId), IMAGE_BITMAP, 0, 0, 0));
    if (downId != 0)
        m_hDown = static_cast<HBITMAP>(
            LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(downId), IMAGE_BITMAP, 0, 0, 0));
    if (m_hWnd != nullptr)
        InvalidateRect(m_hWnd, nullptr, FALSE);
    return m_hUp != nullptr;
}

void CBitmapButton::SizeToContent()
{
    BITMAP info{};
    if (m_hWnd == nullptr || m_hUp == nullptr || GetObjectW(m_hUp, sizeof info, &info) == 0)
        return;
    SetWindowPos(m_hWnd, nullptr, 0, 0, info.bmWidth, info.bmHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBitmapButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    HBITMAP bitmap = (item.itemState & ODS_SELECTED) != 0 && m_hDown != nullptr ? m_hDown : m_hUp;
    if (bitmap == nullptr)
        return;
    BITMAP info{};
    GetObjectW(bitmap, sizeof info, &info);
    HDC memory = CreateCompatibleDC(item.hDC);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(item.hDC, item.rcItem.left, item.rcItem.top, info.bmWidth, info.bmHeight, memory, 0, 0,
           SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    if ((item.itemState & ODS_DISABLED) != 0)
    {
        // A disabled button is greyed over its picture rather than drawn from a third bitmap.
        RECT rect = item.rcItem;
        HBRUSH grey = CreateHatchBrush(HS_BDIAGONAL, RGB(236, 236, 236));
        SetBkMode(item.hDC, TRANSPARENT);
        FillRect(item.hDC, &rect, grey);
        DeleteObject(grey);
    }
}

CBitmapButton* BitmapButtonFromWindow(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    return reinterpret_cast<CBitmapButton*>(GetPropW(hWnd, BUTTON_PROPERTY));
}
