#include "setup_ui/win32/SkinToolkit.h"

#include "core/DriverState.h"
#include "platform/win32/CopyDataReply.h"

#include <algorithm>
#include <string>

namespace
{
// A drop-down list's window height includes its open list: room for about ten servers.
constexpr int LIST_DROP_HEIGHT = 160;
constexpr BYTE SWISS_VARIABLE_PITCH = VARIABLE_PITCH | FF_SWISS;
} // namespace

HFONT CreateSkinFont(const SKIN_FONT& font)
{
    return CreateFontW(font.height, font.width, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       SWISS_VARIABLE_PITCH, font.face);
}

CSkinFonts::~CSkinFonts()
{
    Release();
}

void CSkinFonts::Release()
{
    if (m_hCaption != nullptr)
        DeleteObject(m_hCaption);
    if (m_hDescription != nullptr)
        DeleteObject(m_hDescription);
    m_hCaption = nullptr;
    m_hDescription = nullptr;
}

void CSkinFonts::Create(SETUP_WINDOW window, int layout)
{
    Release();
    m_hCaption = CreateSkinFont(CaptionFont(window, layout));
    m_hDescription = CreateSkinFont(DescriptionFont(window, layout));
}

void LayOutSkinControls(const CDialog& dialog, SETUP_WINDOW window, const CDriverState& state,
                        int layout, const CSkinFonts& fonts, HFONT buttonFont)
{
    const bool rightToLeft = IsRightToLeft(layout);
    for (const SKIN_CONTROL& control : SkinControls(window))
    {
        HFONT font = nullptr;
        switch (control.kind)
        {
        case CONTROL_CAPTION:
        case CONTROL_CHECK:
        case CONTROL_RADIO:
            font = fonts.Caption();
            break;
        case CONTROL_DESCRIPTION:
            font = fonts.Description();
            break;
        case CONTROL_PUSH:
            font = buttonFont;
            break;
        case CONTROL_LIST:
            break;
        }
        if (font != nullptr)
            dialog.SetItemFont(control.id, font);
        if (rightToLeft)
            dialog.ChangeItemStyle(control.id,
                                   static_cast<LONG_PTR>(RightToLeftStyle(control.kind)), 0);
        if (control.text.group != TEXT_NONE)
            dialog.SetItemText(control.id, ControlText(state, control.text));
        const SKIN_RECT& rect = ControlRect(control, layout);
        const int height = control.kind == CONTROL_LIST ? LIST_DROP_HEIGHT : rect.height;
        dialog.MoveItem(control.id, rect.x, rect.y, rect.width, height);
    }
}

void ApplyWindowDirection(HWND hWnd, int layout)
{
    if (!IsRightToLeft(layout))
        return;
    const LONG_PTR style = GetWindowLongPtrW(hWnd, GWL_EXSTYLE);
    SetWindowLongPtrW(hWnd, GWL_EXSTYLE, style | RIGHT_TO_LEFT_WINDOW_STYLE);
}

void PaintSkinBackground(HWND hWnd, int bitmapId, const SKIN_RECT& picture,
                         std::span<const int> repaint)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hWnd, &paint);
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(bitmapId),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap != nullptr)
    {
        BITMAP info{};
        GetObjectW(bitmap, sizeof info, &info);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        // A picture smaller than the window's leaves the white erase showing below it, never
        // whatever lies past the bitmap's end.
        BitBlt(dc, picture.x, picture.y, std::min<int>(picture.width, info.bmWidth),
               std::min<int>(picture.height, info.bmHeight), memory, 0, 0, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
        DeleteObject(bitmap);
    }
    EndPaint(hWnd, &paint);
    for (const int id : repaint)
    {
        if (HWND control = GetDlgItem(hWnd, id))
            RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    }
}

void EraseWhite(HWND hWnd, HDC dc)
{
    RECT client{};
    GetClientRect(hWnd, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
}

bool SkinControlColour(UINT message, WPARAM wParam, HBRUSH brush, LRESULT& result)
{
    HDC dc = reinterpret_cast<HDC>(wParam);
    switch (message)
    {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        SetTextColor(dc, RGB(0, 0, 0));
        SetBkColor(dc, SKIN_GREY);
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    case WM_CTLCOLORDLG:
        result = reinterpret_cast<LRESULT>(brush);
        return true;
    default:
        return false;
    }
}

UINT DescribeSkinMessage()
{
    static const UINT message = RegisterWindowMessageW(L"Tavelo.DescribeSkin");
    return message;
}

void AnswerSkinDescription(HWND hWnd, HWND hRequester, int bitmapId)
{
    if (!IsWindow(hRequester))
        return;
    std::wstring description = L"bitmap=" + std::to_wstring(bitmapId) + L"\n";
    for (HWND child = GetWindow(hWnd, GW_CHILD); child != nullptr;
         child = GetWindow(child, GW_HWNDNEXT))
    {
        HFONT font = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
        LOGFONTW info{};
        if (font == nullptr || GetObjectW(font, sizeof info, &info) == 0)
            continue;
        description += L"font " + std::to_wstring(GetDlgCtrlID(child)) + L" " + info.lfFaceName +
                       L" " + std::to_wstring(info.lfHeight) + L"\n";
    }
    (void)SendCopyDataReply(hRequester, hWnd, DescribeSkinMessage(), description);
}
