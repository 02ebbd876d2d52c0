// The About box and the tray's launchers of the real program: what the box says, its link, and
// which program each launcher starts, with stand-in programs (record_launch.exe copied under
// the names the driver starts) that record how they were started.

#include "core/Messages.h"
#include "resources/ProductInfo.h"
#include "tests/wine_support/DriverRun.h"
#include "tests/wine_support/HookProbe.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
constexpr DWORD START_MS = 20000;

// A copy of the stand-in under a program's path; its record ("<path>.launch.txt") and the copy
// go when the scope ends.
class CStandIn
{
public:
    explicit CStandIn(const std::wstring& path) : m_strPath(path)
    {
        for (std::size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
             slash = path.find(L'\\', slash + 1))
            CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
        DeleteFileW((m_strPath + L".launch.txt").c_str());
        m_bCopied = CopyFileW((TestProgramDirectory() + L"\\record_launch.exe").c_str(),
                              path.c_str(), FALSE) != FALSE;
    }
    ~CStandIn()
    {
        DeleteFileW(m_strPath.c_str());
        DeleteFileW((m_strPath + L".launch.txt").c_str());
    }
    CStandIn(const CStandIn&) = delete;
    CStandIn& operator=(const CStandIn&) = delete;

    bool IsCopied() const { return m_bCopied; }
    // The record, once the stand-in has written it whole, or "" after the time-out.
    std::string WaitForRecord(DWORD milliseconds) const
    {
        const ULONGLONG deadline = GetTickCount64() + milliseconds;
        do
        {
            std::string text;
            if (FILE* file = _wfopen((m_strPath + L".launch.txt").c_str(), L"rb"))
            {
                char buffer[4096];
                const std::size_t got = std::fread(buffer, 1, sizeof buffer, file);
                std::fclose(file);
                text.assign(buffer, got);
            }
            if (text.find("end\n") != std::string::npos)
                return text;
            Sleep(50);
        } while (GetTickCount64() < deadline);
        return std::string();
    }

private:
    std::wstring m_strPath;
    bool m_bCopied = false;
};

std::wstring WindowsFolder()
{
    wchar_t folder[MAX_PATH] = {};
    GetWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

std::wstring DriveOf(const std::wstring& path)
{
    return path.substr(0, 2);
}

std::wstring ItemText(HWND dialog, int id)
{
    wchar_t text[512] = {};
    GetWindowTextW(GetDlgItem(dialog, id), text, 511);
    return text;
}

HWND WaitForAboutBox(CDriverRun& run)
{
    HWND box = run.WaitForDialog(1017, 5000);
    wchar_t title[128] = {};
    if (box == nullptr || GetWindowTextW(box, title, 127) == 0 ||
        std::wstring(title) != L"About Corvane Tavelo")
        return nullptr;
    return box;
}

// Pixels of the control's area that are clearly blue text.
int BluePixels(HWND control)
{
    RECT area{};
    GetWindowRect(control, &area);
    const std::vector<std::uint8_t> rgb = CDriverRun::CaptureRgb(area);
    int blue = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
    {
        if (rgb[i] < 80 && rgb[i + 1] < 80 && rgb[i + 2] > 180)
            ++blue;
    }
    return blue;
}

void ClickAt(int x, int y)
{
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT clicks[2] = {};
    for (INPUT& click : clicks)
    {
        click.type = INPUT_MOUSE;
        click.mi.dx = (x * 65536 + width / 2) / width;
        click.mi.dy = (y * 65536 + height / 2) / height;
    }
    clicks[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTDOWN;
    clicks[1].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_LEFTUP;
    SendInput(2, clicks, sizeof(INPUT));
}

// The machine's browser for ".htm" pages, a stand-in in the run's folder, for the scope.
class CBrowserStandIn
{
public:
    explicit CBrowserStandIn(const CDriverRun& run)
        : m_standIn(run.Path("browser.exe")),
          m_command(L"\"" + run.Path("browser.exe") + L"\" \"%1\"")
    {
    }

    CStandIn m_standIn;

private:
    CHtmlOpenCommand m_command;
};
} // namespace

TEST(AboutAndLaunchers, AboutBoxShowsTheFilesVersionEachCamerasFirmwareAndOpensTheSite)
{
    CDriverRun run("about-two-units");
    run.WriteText("SimScenario.txt", "units 2\nunit 0 minor 0x10\nunit 1 minor 0x15\n");
    // A board set up before: the driver starts into the tray, not into the first-run wizard.
    run.WriteText("Config.ini", "[State]\r\nSave=1\r\n");
    CBrowserStandIn browser(run);
    ASSERT_TRUE(browser.m_standIn.IsCopied());
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForMainWindow(START_MS), nullptr);
    ASSERT_TRUE(run.WaitForState("tray", "1", START_MS));

    run.PostToMain(WM_COMMAND, ID_TRAY_ABOUT);
    HWND about = WaitForAboutBox(run);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ItemText(about, 1016), L"Tavelo Version: 1.0.0.0");
    EXPECT_EQ(ItemText(about, 1033), L"Tavelo Firmware Version : 1.10 ,  1.15");
    EXPECT_EQ(ItemText(about, 1017), L"" TAVELO_MAKER_URL);
    Sleep(300);
    run.Screenshot("about", about);
    HWND link = GetDlgItem(about, 1017);
    EXPECT_GT(BluePixels(link), 20) << "the link's text should be blue";

    SetForegroundWindow(about);
    RECT area{};
    GetWindowRect(link, &area);
    ClickAt(area.left + 10, (area.top + area.bottom) / 2);
    const std::string record = browser.m_standIn.WaitForRecord(10000);
    EXPECT_NE(record.find("arg=" TAVELO_MAKER_URL "\n"), std::string::npos) << record;

    CDriverRun::Click(about, IDOK);
    run.PostToMain(WM_COMMAND, ID_TRAY_EXIT);
    EXPECT_EQ(run.WaitForExit(10000), 0u);

    // One camera: its firmware alone, with two decimals.
    CDriverRun single("about-one-unit");
    single.WriteText("SimScenario.txt", "units 1\nunit 0 minor 0x20\nunit 0 set 4 1\n");
    ASSERT_TRUE(single.Start());
    ASSERT_NE(single.WaitForMainWindow(START_MS), nullptr);
    ASSERT_TRUE(single.WaitForState("tray", "1", START_MS));
    single.PostToMain(WM_COMMAND, ID_TRAY_ABOUT);
    about = WaitForAboutBox(single);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(ItemText(about, 1033), L"Tavelo Firmware Version : 1.20");
    CDriverRun::Click(about, IDOK);
    single.PostToMain(WM_COMMAND, ID_TRAY_EXIT);
    EXPECT_EQ(single.WaitForExit(10000), 0u);
}

TEST(AboutAndLaunchers, KeyboardPrefersTheTabletPanelAndTheCompanionComesFromProgramFiles)
{
    const std::wstring drive = DriveOf(WindowsFolder());
    const std::wstring panelPath =
        drive + L"\\Program Files\\Common Files\\Microsoft Shared\\Ink\\TabTip.exe";
    const std::wstring keyboardPath = WindowsFolder() + L"\\system32\\osk.exe";
    // Any signed-in user can create a folder in the root of a drive; only an administrator
    // can install under Program Files.
    const std::wstring plantedPath = drive + L"\\Corvane\\Inkora 4\\Inkora.exe";
    const std::wstring companionPath = drive + L"\\Program Files\\Corvane\\Inkora 4\\Inkora.exe";
    ASSERT_EQ(GetFileAttributesW(companionPath.c_str()), INVALID_FILE_ATTRIBUTES);

    CDriverRun run("launchers");
    run.WriteText("SimScenario.txt", "units 1\nunit 0 minor 0x23\nunit 0 set 4 1\n");
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForMainWindow(START_MS), nullptr);
    ASSERT_TRUE(run.WaitForState("tray", "1", START_MS));

    {
        CStandIn keyboard(keyboardPath);
        ASSERT_TRUE(keyboard.IsCopied());
        {
            CStandIn panel(panelPath);
            ASSERT_TRUE(panel.IsCopied());
            run.PostToMain(WM_COMMAND, ID_TRAY_KEYBOARD);
            EXPECT_NE(panel.WaitForRecord(10000), "") << "the tablet input panel did not start";
            EXPECT_EQ(keyboard.WaitForRecord(500), "") << "with the panel, no keyboard";
        }
        run.PostToMain(WM_COMMAND, ID_TRAY_KEYBOARD);
        EXPECT_NE(keyboard.WaitForRecord(10000), "") << "the on-screen keyboard did not start";
    }

    {
        CStandIn planted(plantedPath);
        ASSERT_TRUE(planted.IsCopied());
        run.PostToMain(WM_COMMAND, ID_TRAY_INKORA);
        EXPECT_EQ(run.WaitForMessageBox(2000), nullptr) << "a missing companion program is silent";
        EXPECT_EQ(planted.WaitForRecord(500), "") << "a program in the drive root was started";
        EXPECT_TRUE(run.IsRunning());
        CStandIn companion(companionPath);
        ASSERT_TRUE(companion.IsCopied());
        run.PostToMain(WM_COMMAND, ID_TRAY_INKORA);
        EXPECT_NE(companion.WaitForRecord(10000), "") << "the companion program did not start";
        EXPECT_EQ(planted.WaitForRecord(500), "") << "a program in the drive root was started";
    }
    for (const std::wstring& folder :
         {drive + L"\\Corvane\\Inkora 4", drive + L"\\Corvane",
          drive + L"\\Program Files\\Corvane\\Inkora 4", drive + L"\\Program Files\\Corvane"})
        RemoveDirectoryW(folder.c_str());
    run.PostToMain(WM_COMMAND, ID_TRAY_EXIT);
    EXPECT_EQ(run.WaitForExit(10000), 0u);
}
