// The About box and the tray's launchers of the real program: what the box says, its link, and
// which program each launcher starts, with stand-in programs (record_launch.exe copied under
// the names the driver starts) that record how they were started.

#include "core/Messages.h"
#include "resources/ProductInfo.h"
#include "resources/resource.h"
#include "tests/wine_support/DriverRun.h"
#include "tests/wine_support/HookProbe.h"
#include "tests/wine_support/StandIn.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
HWND OpenAboutBox(CDriverRun& run)
{
    HWND box = run.OpenDialog(ID_TRAY_ABOUT, IDC_ABOUT_LINK);
    return WindowText(box) == L"About Corvane Tavelo" ? box : nullptr;
}
} // namespace

TEST(AboutAndLaunchers, AboutBoxShowsTheFilesVersionEachCamerasFirmwareAndOpensTheSite)
{
    CDriverRun run("about-two-units");
    run.WriteText("SimScenario.txt", "units 2\nunit 0 minor 0x10\nunit 1 minor 0x15\n");
    // A board set up before: the driver starts into the tray, not into the first-run wizard.
    run.WriteText("Config.ini", "[State]\r\nSave=1\r\n");
    CStandIn browser(run.Path("browser.exe"));
    CHtmlOpenCommand open(L"\"" + run.Path("browser.exe") + L"\" \"%1\"");
    ASSERT_TRUE(run.StartUntil("tray"));
    HWND about = OpenAboutBox(run);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_PRODUCT)), L"Tavelo Version: 1.0.0.0");
    EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_FIRMWARE)),
              L"Tavelo Firmware Version : 1.10 ,  1.15");
    EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_LINK)), L"" TAVELO_MAKER_URL);
    run.Shoot("about", about);
    HWND link = GetDlgItem(about, IDC_ABOUT_LINK);
    const auto clearlyBlue = [](int red, int green, int blue)
    { return red < 80 && green < 80 && blue > 180; };
    EXPECT_GT(CDriverRun::CountPixels(link, clearlyBlue), 20) << "the link's text should be blue";

    // A click on the link's text.
    SetForegroundWindow(about);
    const RECT area = WindowRect(link);
    SetCursorPos(area.left + 10, (area.top + area.bottom) / 2);
    INPUT clicks[2] = {};
    clicks[0].type = clicks[1].type = INPUT_MOUSE;
    clicks[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
    EXPECT_EQ(browser.WaitForArguments(10000), std::vector<std::string>{TAVELO_MAKER_URL});

    CDriverRun::Click(about, IDOK);
    EXPECT_TRUE(run.Exit());

    // One camera: its firmware alone, with two decimals.
    CDriverRun single("about-one-unit");
    single.WriteText("SimScenario.txt", "units 1\nunit 0 minor 0x20\nunit 0 set 4 1\n");
    ASSERT_TRUE(single.StartUntil("tray"));
    ASSERT_NE(about = OpenAboutBox(single), nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(about, IDC_ABOUT_FIRMWARE)), L"Tavelo Firmware Version : 1.20");
    CDriverRun::Click(about, IDOK);
    EXPECT_TRUE(single.Exit());
}

TEST(AboutAndLaunchers, KeyboardPrefersTheTabletPanelAndTheCompanionComesFromProgramFiles)
{
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    const std::wstring drive(windows, 2);
    const std::wstring panelPath =
        drive + L"\\Program Files\\Common Files\\Microsoft Shared\\Ink\\TabTip.exe";
    const std::wstring keyboardPath = std::wstring(windows) + L"\\system32\\osk.exe";
    // Any signed-in user can create a folder in the root of a drive; only an administrator
    // can install under Program Files.
    const std::wstring plantedPath = drive + L"\\Corvane\\Inkora 4\\Inkora.exe";
    const std::wstring companionPath = drive + L"\\Program Files\\Corvane\\Inkora 4\\Inkora.exe";
    ASSERT_EQ(GetFileAttributesW(companionPath.c_str()), INVALID_FILE_ATTRIBUTES);

    CDriverRun run("launchers");
    run.WriteText("SimScenario.txt", "units 1\nunit 0 minor 0x23\nunit 0 set 4 1\n");
    ASSERT_TRUE(run.StartUntil("tray"));
    {
        CStandIn keyboard(keyboardPath);
        {
            CStandIn panel(panelPath);
            run.Command(ID_TRAY_KEYBOARD);
            EXPECT_NE(panel.WaitForRecord(10000), "") << "the tablet input panel did not start";
            EXPECT_EQ(keyboard.WaitForRecord(500), "") << "with the panel, no keyboard";
        }
        run.Command(ID_TRAY_KEYBOARD);
        EXPECT_NE(keyboard.WaitForRecord(10000), "") << "the on-screen keyboard did not start";
    }

    {
        CStandIn planted(plantedPath);
        ASSERT_TRUE(planted.IsCopied());
        run.Command(ID_TRAY_INKORA);
        EXPECT_EQ(run.WaitForMessageBox(2000), nullptr) << "a missing companion program is silent";
        CStandIn companion(companionPath);
        run.Command(ID_TRAY_INKORA);
        EXPECT_NE(companion.WaitForRecord(10000), "") << "the companion program did not start";
        EXPECT_EQ(planted.WaitForRecord(500), "") << "a program in the drive root was started";
    }
    for (const std::wstring& folder :
         {drive + L"\\Corvane\\Inkora 4", drive + L"\\Corvane",
          drive + L"\\Program Files\\Corvane\\Inkora 4", drive + L"\\Program Files\\Corvane"})
        RemoveDirectoryW(folder.c_str());
    EXPECT_TRUE(run.Exit());
}
