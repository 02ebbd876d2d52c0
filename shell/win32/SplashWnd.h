#pragma once
// The start-up picture: a borderless top-most window the size of its bitmap, centred on the
// work area, shown from the opening of the cameras until start-up hides it.

#include <windows.h>

class CSplashWnd
{
public:
    CSplashWnd();
    virtual ~CSplashWnd();
    CSplashWnd(const CSplashWnd&) = delete;
    CSplashWnd& operator=(const CSplashWnd&) = delete;

    // Loads a bitmap resource (replacing the previous one). A missing resource counts as
    // success: there is nothing to show.
    BOOL LoadBitmap(UINT id);
    // 0 means no transparency.
    BOOL SetColorKey(COLORREF key);
    BOOL Show();
    BOOL Hide();

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyColorKey();
    void Paint(HDC dc);

    COLORREF m_crKey = 0;
    int m_nWidth = 0;
    int m_nHeight = 0;
    HBITMAP m_hBitmap = nullptr;
    const wchar_t* m_pszClassName = L"SPLASH";
};
