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

TEST(WineInput, LowLevelHookInAnotherProcessSeesThePenStrokeMarkedAsTheDriversOwn)
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

    // Touch, drag, lift. Where the press and the release land is the end-to-end stroke's part.
    g_penInjector.PointerMove(300, 200);
    g_penInjector.PointerMove(300, 200);
    g_penInjector.PointerMove(340, 220);
    g_penInjector.PointerUp();
    g_penInjector.Reset();

    const std::vector<HOOKED_EVENT> buttons = ButtonEvents(probe, skip, 2);
    ASSERT_EQ(buttons.size(), 2u);
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

TEST(WineInput, StandInCompanionWindowReceivesThePenMessages)
{
    CWin32Platform platform;
    CScopedPlatform scope(platform);
    // A visible window of the companion program's drawing class; the pen messages are posted to
    // it, so they wait in this thread's queue.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TfrmCanvas";
    RegisterClassW(&windowClass);
    HWND canvas =
        CreateWindowExW(WS_EX_TOOLWINDOW, L"TfrmCanvas", L"stand-in", WS_POPUP | WS_VISIBLE, 0, 0,
                        50, 50, nullptr, nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(canvas, nullptr);

    // Found by its class name alone, and seen as shown.
    const WindowHandle found = platform.FindWindowByClass("TfrmCanvas");
    EXPECT_EQ(found, reinterpret_cast<WindowHandle>(canvas));
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

    // Message, wParam, lParam.
    std::vector<std::tuple<UINT, WPARAM, LPARAM>> received;
    for (MSG message;
         PeekMessageW(&message, canvas, WM_COMPANION_PEN1, WM_COMPANION_PEN3, PM_REMOVE);)
        received.emplace_back(message.message, message.wParam, message.lParam);
    const decltype(received) expected = {
        {1140, 0x012C00C8, PEN_DOWN}, {1140, 0x012C00C8, PEN_MOVE}, {1140, 0x012C00C8, PEN_UP},
        {1139, 0x0064FFCE, PEN_DOWN}, {1139, 0x0064FFCE, PEN_MOVE}, {1139, 0xFFFFFFCE, PEN_UP},
        {1141, 0x03E802BC, PEN_DOWN}, {1141, 0x03E802BC, PEN_MOVE}};
    EXPECT_EQ(received, expected);
    DestroyWindow(canvas);
    UnregisterClassW(L"TfrmCanvas", windowClass.hInstance);
}
