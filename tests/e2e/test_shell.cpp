// The real Tavelo.exe under Wine, started and used as a person at the board would: it starts
// into the tray with a calibrated board, a stroke of the pen moves and clicks the pointer, the
// tray menu opens and Exit saves; every way start-up can fail tells the user and ends.

#include "shell/Messages.h"
#include "tests/e2e/E2eKit.h"

#include <gtest/gtest.h>

namespace
{
constexpr DWORD START_MS = 20000;

// The board every test here uses: one camera unit, multi-spot firmware, calibrated once.
const CCalibratedBoard& Board()
{
    static const CCalibratedBoard board;
    return board;
}

std::string Lines(const std::vector<std::wstring>& lines)
{
    std::string text;
    for (const std::wstring& line : lines)
        text += std::string(line.begin(), line.end()) + "\n";
    return text;
}

// Opens the tray menu as a click on the icon does, waits for the popup and leaves it open.
HWND OpenTrayMenu(CDriverRun& run)
{
    run.PostToMain(WM_TRAYNOTIFY, 131, WM_RBUTTONDOWN);
    return run.WaitForWindow(L"#32768", 5000);
}

// Chooses the last item of an open popup menu with the keyboard, as a user can.
void ChooseLastMenuItem()
{
    INPUT keys[4] = {};
    const WORD sequence[2] = {VK_UP, VK_RETURN};
    for (int i = 0; i < 2; ++i)
    {
        keys[2 * i].type = INPUT_KEYBOARD;
        keys[2 * i].ki.wVk = sequence[i];
        keys[2 * i + 1].type = INPUT_KEYBOARD;
        keys[2 * i + 1].ki.wVk = sequence[i];
        keys[2 * i + 1].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(4, keys, sizeof(INPUT));
}
} // namespace

TEST(Shell, CalibratedBoardStartsIntoTheTrayDrawsAStrokeAndExitSaves)
{
    ASSERT_TRUE(Board().IsCalibrated());
    CDriverRun run("calibrated");
    Board().WriteConfig(run);
    // A value the program does not keep must be gone after Exit's save rewrote the file.
    WritePrivateProfileStringW(L"State", L"Inkora", nullptr, run.Path("Config.ini").c_str());
    CHookProbe probe;
    ASSERT_TRUE(probe.IsReady());
    ASSERT_TRUE(probe.WaitUntilDelivering(0));

    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForMainWindow(START_MS), nullptr);
    ASSERT_TRUE(run.WaitForState("reader", "1", START_MS));
    const auto state = run.DescribeState();
    EXPECT_EQ(state.at("tray"), "1");
    EXPECT_EQ(state.at("runstate"), "1000");
    EXPECT_FALSE(IsWindowVisible(run.MainWindow()));

    const std::size_t skip = probe.Count();
    DrawStroke(run, Board(), {{300, 250}, {340, 270}, {400, 300}, {460, 330}, {520, 360}});
    const auto buttons = ButtonEvents(probe, skip, 2);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].message, unsigned{WM_LBUTTONDOWN});
    EXPECT_LT(Distance(buttons[0].x, buttons[0].y, 300, 250), 4.0)
        << "down at " << buttons[0].x << "," << buttons[0].y;
    EXPECT_EQ(buttons[1].message, unsigned{WM_LBUTTONUP});
    EXPECT_LT(Distance(buttons[1].x, buttons[1].y, 520, 360), 4.0)
        << "up at " << buttons[1].x << "," << buttons[1].y;

    // The tray menu: seven commands with the language file's texts, the first the default.
    const std::vector<std::wstring> items = run.MenuItems();
    EXPECT_EQ(Lines(items), "11026 0 1 Settings...\n"
                            "11036 0 0 Setup Wizard...\n"
                            "11028 0 0 Calibrate\n"
                            "0 800 0 \n"
                            "11031 0 0 Start Inkora\n"
                            "11029 0 0 On-Screen Keyboard\n"
                            "0 800 0 \n"
                            "11037 0 0 About Tavelo...\n"
                            "11027 0 0 Exit\n");
    HWND menu = OpenTrayMenu(run);
    ASSERT_NE(menu, nullptr) << "the tray menu did not open";
    Sleep(200);
    run.Screenshot("tray-menu", menu);
    ChooseLastMenuItem();

    EXPECT_EQ(run.WaitForExit(10000), 0u);
    EXPECT_EQ(ReadIni(run.Path("Config.ini"), L"State", L"Inkora"), L"0");
    EXPECT_EQ(ReadIni(run.Path("Config.ini"), L"State", L"Save"), L"1");
}
