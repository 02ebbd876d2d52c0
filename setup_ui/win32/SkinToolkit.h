#pragma once
// The skinned look the set-up windows share: fonts by layout, texts, styles and rectangles
// from the layout tables, the background picture, the white erase and the grey control
// colours. Each window owns its fonts and brush; these functions only draw and place.

#include "platform/win32/Dialog.h"
#include "setup_ui/SkinLayout.h"

#include <span>

class CDriverState;

// The grey that every skinned control paints itself on.
constexpr COLORREF SKIN_GREY = RGB(236, 236, 236);

HFONT CreateSkinFont(const SKIN_FONT& font);

// The caption and description fonts of one window, released with it.
class CSkinFonts
{
public:
    CSkinFonts() = default;
    ~CSkinFonts();
    CSkinFonts(const CSkinFonts&) = delete;
    CSkinFonts& operator=(const CSkinFonts&) = delete;

    void Create(SETUP_WINDOW window, int layout);
    HFONT Caption() const { return m_hCaption; }
    HFONT Description() const { return m_hDescription; }

private:
    void Release();

    HFONT m_hCaption = nullptr;
    HFONT m_hDescription = nullptr;
};

// Every control of the window's table gets its text, its font (captions, check boxes and radio
// buttons the caption font, descriptions the second one, push buttons `buttonFont` when it is
// given), the right-to-left style and its rectangle for the layout.
void LayOutSkinControls(const CDialog& dialog, SETUP_WINDOW window, const CDriverState& state,
                        int layout, const CSkinFonts& fonts, HFONT buttonFont = nullptr);
// WS_EX_RIGHT on the window itself in the right-to-left layout.
void ApplyWindowDirection(HWND hWnd, int layout);

// WM_PAINT: the picture copied 1:1 at (0, 0), at most `picture` large, loaded at every paint;
// then the controls named are repainted at once above it.
void PaintSkinBackground(HWND hWnd, int bitmapId, const SKIN_RECT& picture,
                         std::span<const int> repaint);
// WM_ERASEBKGND: white.
void EraseWhite(HWND hWnd, HDC dc);
// The WM_CTLCOLOR* rule: edit, list box, button, scroll bar and static controls draw black on
// grey with the window's brush; the dialog gets the brush as it is; other requests (message
// boxes) keep the defaults. True when the message was taken.
bool SkinControlColour(UINT message, WPARAM wParam, HBRUSH brush, LRESULT& result);

// A test program asks a skinned window which picture it paints and which font each control
// has (a font handle means nothing in another process). The answer goes back to the asking
// window (wParam) as WM_COPYDATA: "bitmap=<id>" and "font <control id> <face> <height>" lines.
UINT DescribeSkinMessage();
void AnswerSkinDescription(HWND hWnd, HWND hRequester, int bitmapId);
