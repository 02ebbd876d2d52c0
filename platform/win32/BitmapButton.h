#pragma once
// A push button drawn from two bitmaps, up and down, and exactly as large as they are. The
// dialog's button must be owner-drawn; the dialog layer hands it its WM_DRAWITEM.

#include <windows.h>

class CBitmapButton
{
public:
    CBitmapButton() = default;
    ~CBitmapButton();
    CBitmapButton(const CBitmapButton&) = delete;
    CBitmapButton& operator=(const CBitmapButton&) = delete;

    // Takes over the dialog's control. False when there is no such control.
    bool Attach(HWND hDialog, int id);
    // Loads both bitmaps from the resources; the down bitmap may be 0 (drawn as the up one).
    bool LoadBitmaps(UINT upId, UINT downId);
    // Sizes the button to its up bitmap.
    void SizeToContent();
    void DrawItem(const DRAWITEMSTRUCT& item);

    HWND m_hWnd = nullptr;

private:
    void Release();

    HBITMAP m_hUp = nullptr;
    HBITMAP m_hDown = nullptr;
};

// The bitmap button a control belongs to, or null.
CBitmapButton* BitmapButtonFromWindow(HWND hWnd);
