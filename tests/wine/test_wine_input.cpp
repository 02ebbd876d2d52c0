// The pen injector through the real Win32 seam: mouse records as another process's
// low-level mouse hook sees them, and companion messages as a stand-in companion window
// receives them.

#include "platform/win32/Win32Platform.h"
#include "tests/support/FakePlatform.h"
#include "tests/wine_support/Landing.h"
#include "tracking/PenInjector.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

TEST(WineInput, LowLevelHookInAnotherProcessSeesThePenGesturesMarkedAsTheDriversOwn)
{
    CWin32Platform platform;
    CScopedPlatform scope(platform);
    CHookProbe probe;
    ASSERT_TRUE(probe.IsReady()) << "the hook probe did not start";

    // A fresh Wine session may start delivering to the hook a moment after it reports ready.
    ASSERT_TRUE(probe.WaitUntilDelivering(PEN_EXTRA_INFO));
    const std::size_t skip = probe.Count();

    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    g_penInjector.Reset();
    g_penInjector.SetArea(0, 0, width, height);
    g_penInjector.SetFilter(FILTER_RAW, PEN_FILTER_T, 1);

    // Touch, drag, lift; a double click; a hold that right-clicks.
    g_penInjector.PointerMove(300, 200);
    g_penInjector.PointerMove(300, 200);
    g_penInjector.PointerMove(340, 220);
    for (int n = 0; n < 26; ++n)
        g_penInjector.PointerUp();
    g_penInjector.PointerMove(600, 400);
    g_penInjector.PointerUp();
    g_penInjector.PointerMove(605, 400);
    for (int n = 0; n < 26; ++n)
        g_penInjector.PointerUp();
    for (int n = 0; n < 54; ++n)
        g_penInjector.PointerMove(500, 300);
    g_penInjector.PointerUp();
    g_penInjector.Reset();

    const struct
    {
        unsigned message;
        long x;
        long y;
    } expected[] = {
        {WM_LBUTTONDOWN, 300, 200}, {WM_LBUTTONUP, 340, 220},   {WM_LBUTTONDOWN, 600, 400},
        {WM_LBUTTONUP, 600, 400},   {WM_LBUTTONDOWN, 600, 400}, {WM_LBUTTONUP, 600, 400},
        {WM_LBUTTONDOWN, 500, 300}, {WM_LBUTTONUP, 500, 300},   {WM_RBUTTONDOWN, 500, 300},
        {WM_RBUTTONUP, 500, 300},   {WM_LBUTTONUP, 500, 300}};
    const std::vector<HOOKED_EVENT> buttons = ButtonEvents(probe, skip, std::size(expected));
    ASSERT_EQ(buttons.size(), std::size(expected));
    for (std::size_t n = 0; n < buttons.size(); ++n)
        EXPECT_TRUE(At(buttons[n], expected[n].message, expected[n].x, expected[n].y, 1.5)) << n;
    const std::vector<HOOKED_EVENT> events = probe.Events();
    // Every event the hook saw was injected by the driver and carries its mark.
    EXPECT_GT(events.size(), skip + buttons.size());
    for (std::size_t n = skip; n < events.size(); ++n)
    {
        const HOOKED_EVENT& event = events[n];
        EXPECT_EQ(event.extraInfo, PEN_EXTRA_INFO);
        EXPECT_NE(event.flags & LLMHF_INJECTED, 0u);
    }
}

namespace
{
// Message, wParam, lParam.
using RECEIVED_MESSAGE = std::tuple<UINT, WPARAM, LPARAM>;
std::vector<RECEIVED_MESSAGE> g_received;

LRESULT CALLBACK CompanionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_COMPANION_PEN1 && message <= WM_COMPANION_PEN3)
    {
        g_received.emplace_back(message, wParam, lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// A visible window of the companion program's drawing class.
class CStandInCanvas
{
public:
    CStandInCanvas()
    {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = CompanionWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"TfrmCanvas";
        m_atom = RegisterClassW(&windowClass);
        m_hWnd =
            CreateWindowExW(WS_EX_TOOLWINDOW, L"TfrmCanvas", L"stand-in", WS_POPUP | WS_VISIBLE, 0,
                            0, 50, 50, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~CStandInCanvas()
    {
        DestroyWindow(m_hWnd);
        UnregisterClassW(L"TfrmCanvas", GetModuleHandleW(nullptr));
    }
    HWND Handle() const { return m_hWnd; }

    void Pump()
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }

private:
    ATOM m_atom = 0;
    HWND m_hWnd = nullptr;
};
} // namespace

TEST(WineInput, StandInCompanionWindowReceivesThePenMessages)
{
    CWin32Platform platform;
    CScopedPlatform scope(platform);
    CStandInCanvas canvas;
    ASSERT_NE(canvas.Handle(), nullptr);
    g_received.clear();

    // Found by its class name alone, and seen as shown.
    const WindowHandle found = platform.FindWindowByClass("TfrmCanvas");
    EXPECT_EQ(found, reinterpret_cast<WindowHandle>(canvas.Handle()));
    EXPECT_TRUE(platform.IsWindowShown(found));
    EXPECT_EQ(platform.FindWindowByClass("TfrmMultiPanser"), 0u);

    g_penInjector.Reset();
    g_penInjector.m_hCompanionWnd = found;
    g_penInjector.SetArea(0, -768, 1024, 768);
    g_penInjector.SetFilter(FILTER_RAW, PEN_FILTER_T, 1);
    g_penInjector.CompanionPenMove(2, 300, 200);
    g_penInjector.CompanionPenUp(2);
    g_penInjector.CompanionPenMove(1, 100, -50);
    g_penInjector.CompanionPenUp(1);
    g_penInjector.CompanionPenMove(3, 1000, 700);
    g_penInjector.Reset();
    canvas.Pump();

    const std::vector<RECEIVED_MESSAGE> expected = {
        {1140, 0x012C00C8, PEN_DOWN}, {1140, 0x012C00C8, PEN_MOVE}, {1140, 0x012C00C8, PEN_UP},
        {1139, 0x0064FFCE, PEN_DOWN}, {1139, 0x0064FFCE, PEN_MOVE}, {1139, 0xFFFFFFCE, PEN_UP},
        {1141, 0x03E802BC, PEN_DOWN}, {1141, 0x03E802BC, PEN_MOVE}};
    EXPECT_EQ(g_received, expected);
}
