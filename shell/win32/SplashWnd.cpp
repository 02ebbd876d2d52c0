#include "shell/win32/SplashWnd.h"

#include "platform/win32/Dialog.h"

namespace
{
using PFN_SetLayeredWindowAttributes = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);

PFN_SetLayeredWindowAttributes g_pfnSetLayeredWindowAttributes = nullptr;
CSplashWnd* g_pSplash = nullptr;
} // namespace

CSplashWnd::CSplashWnd()
{
    // Looked up rather than linked: systems without layered windows still show the picture.
    if (HMODULE user32 = GetModuleHandleW(L"USER32.DLL"))
        g_pfnSetLayeredWindowAttributes = reinterpret_cast<PFN_SetLayeredWindowAttributes>(
            reinterpret_cast<void*>(GetProcAddress(user32, "SetLayeredWindowAttributes")));
}

CSplashWnd::~CSplashWnd()
{
    Hide();
    if (m_hBitmap != nullptr)
        DeleteObject(m_hBitmap);
}

BOOL CSplashWnd::LoadBitmap(UINT id)
{
    if (m_hBitmap != nullptr)
    {
        DeleteObject(m_hBitmap);
        m_hBitmap = nullptr;
    }
    m_hBitmap =
        static_cast<HBITMAP>(LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0,
                                        0, LR_CREATEDIBSECTION | LR_DEFAULTSIZE));
    if (m_hBitmap == nullptr)
        return TRUE;
    BITMAP info{};
    if (GetObjectW(m_hBitmap, sizeof info, &info) == 0)
    {
        DeleteObject(m_hBitmap);
        m_hBitmap = nullptr;
        return FALSE;
    }
    m_nWidth = info.bmWidth;
    m_nHeight = info.bmHeight;
    return TRUE;
}

BOOL CSplashWnd::SetColorKey(COLORREF key)
{
    m_crKey = key;
    ApplyColorKey();
    return TRUE;
}

void CSplashWnd::ApplyColorKey()
{
    if (m_hWnd == nullptr || g_pfnSetLayeredWindowAttributes == nullptr || m_crKey == 0)
        return;
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE) | WS_EX_LAYERED);
    g_pfnSetLayeredWindowAttributes(m_hWnd, m_crKey, 0, LWA_COLORKEY);
}

BOOL CSplashWnd::Show()
{
    Hide();
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_BYTEALIGNCLIENT | CS_BYTEALIGNWINDOW;
    windowClass.lpfnWndProc = &CSplashWnd::WindowProc;
    windowClass.cbWndExtra = 30;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_WAIT);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    windowClass.lpszClassName = m_pszClassName;
    if (RegisterClassExW(&windowClass) == 0)
        return FALSE;
    const int x = (GetSystemMetrics(SM_CXFULLSCREEN) - m_nWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYFULLSCREEN) - m_nHeight) / 2;
    g_pSplash = this;
    m_hWnd =
        CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, m_pszClassName, L"Banner", WS_POPUP, x, y,
                        m_nWidth, m_nHeight, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (m_hWnd == nullptr)
        return FALSE;
    ApplyColorKey();
    ShowWindow(m_hWnd, SW_SHOW);
    UpdateWindow(m_hWnd);
    return TRUE;
}

BOOL CSplashWnd::Hide()
{
    if (m_hWnd == nullptr)
        return FALSE;
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    UnregisterClassW(m_pszClassName, GetModuleHandleW(nullptr));
    if (g_pSplash == this)
        g_pSplash = nullptr;
    return TRUE;
}

void CSplashWnd::Paint(HDC dc)
{
    if (m_hBitmap == nullptr)
        return;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, m_hBitmap);
    BitBlt(dc, 0, 0, m_nWidth, m_nHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
}

LRESULT CALLBACK CSplashWnd::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message)
    {
    case WM_CREATE:
        g_pSplash =
            static_cast<CSplashWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        return 0;
    case WM_PAINT:
    {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hWnd, &paint);
        if (g_pSplash != nullptr)
            g_pSplash->Paint(dc);
        EndPaint(hWnd, &paint);
        return 0;
    }
    default:
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
}
