// The real Tavelo.exe under Wine, started and used as a person at the board would: it starts
// into the tray with a calibrated board, a stroke of the pen moves and clicks the pointer, the
// tray menu opens and Exit saves; every way start-up can fail tells the user and ends.

#include "tests/wine_support/Landing.h"
#include "tests/wine_support/WindowPulse.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace
{
// Mostly red pixels: the error icon of a message box.
bool Red(int red, int green, int blue)
{
    return red > 180 && green < 90 && blue < 90;
}

const char* const STATE_WITHOUT_RADIO_SERVER = "[State]\r\nSave=1\r\nCheck Ceiling=0\r\n"
                                               "Check Rear=0\r\nLens Angles=0\r\n";

// A unit whose firmware keeps no settings of its own: the program's settings and its tables
// come from Config.ini.
const CCalibratedBoard& FileBoard()
{
    static const CCalibratedBoard board({.firmwareMinor = 0x0F});
    return board;
}

std::string EmbeddedManifest(const std::wstring& program)
{
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return std::string();
    std::string text;
    if (HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24)))
    {
        const char* data = static_cast<const char*>(LockResource(LoadResource(module, resource)));
        if (data != nullptr)
            text.assign(data, SizeofResource(module, resource));
    }
    FreeLibrary(module);
    return text;
}

// Sets the screen's logical resolution for programs started from now on; the old value comes
// back when the scope ends.
struct SCOPED_LOG_PIXELS
{
    explicit SCOPED_LOG_PIXELS(DWORD value)
    {
        DWORD size = sizeof old;
        hadOld = RegGetValueW(HKEY_CURRENT_USER, DESKTOP, L"LogPixels", RRF_RT_REG_DWORD, nullptr,
                              &old, &size) == ERROR_SUCCESS;
        RegSetKeyValueW(HKEY_CURRENT_USER, DESKTOP, L"LogPixels", REG_DWORD, &value, sizeof value);
    }
    ~SCOPED_LOG_PIXELS()
    {
        if (hadOld)
            RegSetKeyValueW(HKEY_CURRENT_USER, DESKTOP, L"LogPixels", REG_DWORD, &old, sizeof old);
        else
            RegDeleteKeyValueW(HKEY_CURRENT_USER, DESKTOP, L"LogPixels");
    }
    static constexpr const wchar_t* DESKTOP = L"Control Panel\\Desktop";
    DWORD old = 96;
    bool hadOld = false;
};
} // namespace

TEST(Shell, CalibratedBoardStartsIntoTheTrayDrawsAStrokeAndExitSaves)
{
    CDriverRun run("calibrated");
    CHookProbe probe;
    Board().WriteConfig(run);
    // A value the program does not keep must be gone after Exit's save rewrote the file.
    WritePrivateProfileStringW(L"State", L"Inkora", nullptr, run.Path("Config.ini").c_str());
    ASSERT_TRUE(run.StartTracking(probe, RUN_START_MS));
    const auto buttons =
        StrokeButtons(probe, run, Board().m_optics[0],
                      {{300, 250}, {340, 270}, {400, 300}, {460, 330}, {520, 360}});
    ASSERT_EQ(buttons.size(), 2u);
    // On the pen's own pixel, give or take the one the calibration's rounding may cost.
    EXPECT_TRUE(At(buttons[0], WM_LBUTTONDOWN, 300, 250, 1.5));
    EXPECT_TRUE(At(buttons[1], WM_LBUTTONUP, 520, 360, 1.5));

    // The tray menu: seven commands with the language file's texts, the first the default.
    const std::vector<std::wstring> menu = {L"11026 0 1 Settings...",
                                            L"11036 0 0 Setup Wizard...",
                                            L"11028 0 0 Calibrate",
                                            L"0 800 0 ",
                                            L"11031 0 0 Start Inkora",
                                            L"11029 0 0 On-Screen Keyboard",
                                            L"0 800 0 ",
                                            L"11037 0 0 About Tavelo...",
                                            L"11027 0 0 Exit"};
    EXPECT_EQ(run.MenuItems(), menu);
    ASSERT_NE(run.OpenTrayMenu(), nullptr) << "the tray menu did not open";
    // The last item, with the keyboard, as a user can.
    PressKey(VK_UP);
    PressKey(VK_RETURN);
    EXPECT_EQ(run.WaitForExit(10000), 0u);
    EXPECT_EQ(run.Config(L"State", L"Inkora"), L"0");
    EXPECT_FALSE(run.Exists("Config.new")) << "the save's copy replaces the file, none is left";
}

TEST(Shell, EveryStartUpFailureTellsTheUserAndEnds)
{
    const struct
    {
        const char* name;
        const char* scenario;
        const wchar_t* message;
        // Only a refusal after the settings were loaded saves them again, every key written.
        bool savedAgain;
    } cases[] = {
        {"no-unit", "units 0\n", L"M1", false},
        {"unreadable-version", "units 1\nunit 0 fault noversion\n", L"M1", false},
        {"two-multi-pen-units", "units 2\nunit 0 minor 0x23\nunit 1 minor 0x23\n", L"M12", true},
    };
    for (const auto& failure : cases)
    {
        SCOPED_TRACE(failure.name);
        CDriverRun run(failure.name);
        run.WriteText("SimScenario.txt", failure.scenario);
        run.WriteText("Config.ini", STATE_WITHOUT_RADIO_SERVER);
        ASSERT_TRUE(run.Start());
        EXPECT_EQ(WindowText(run.WaitForMessageBox(RUN_START_MS)), L"Tavelo");
        EXPECT_EQ(run.AnswerBox(IDOK, failure.savedAgain ? "m12" : "m1"),
                  EnglishMessage(failure.message));
        EXPECT_EQ(run.WaitForExit(10000), 0u);
        if (failure.savedAgain)
            EXPECT_EQ(run.Config(L"State", L"Radio Server"), L"0");
        else
            EXPECT_EQ(run.ReadText("Config.ini"), STATE_WITHOUT_RADIO_SERVER);
    }
}

TEST(Shell, StalledUnitEndsTheProgramWithTheErrorMessage)
{
    CDriverRun run("stalled-unit");
    ASSERT_TRUE(run.StartOn(Board()));
    // A line stuck at one value: the same byte far more than a thousand times in a row.
    std::string stuck = "unit 0 send";
    for (int i = 0; i < 256; ++i)
        stuck += " 00";
    run.Control(std::vector<std::string>(5, stuck));
    HWND box = run.WaitForMessageBox(RUN_START_MS);
    ASSERT_NE(box, nullptr) << "no message after the stall";
    run.Shoot("m1-stall", box);
    EXPECT_GT(CDriverRun::CountPixels(box, Red), 20) << "the box should carry the error icon";
    const ULONGLONG answered = GetTickCount64();
    EXPECT_EQ(run.AnswerBox(IDOK), EnglishMessage(L"M1"));
    EXPECT_EQ(run.WaitForExit(10000), 0u);
    EXPECT_LT(GetTickCount64() - answered, 5000u);
}

// Any program may ask the driver a question and name a window that never answers as the one to
// reply to: the driver's main window still answers at once, and its own messages go on.
TEST(Shell, AHungWindowNamedForTheAnswerCannotHoldTheDriver)
{
    CDriverRun run("hung-asker");
    run.WriteText("SimScenario.txt", "units 1\nunit 0 minor 0x23\nunit 0 set 4 1\n");
    ASSERT_TRUE(run.StartUntil("tray"));

    // A window whose thread never reads a message again until the test releases it.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<HWND> hung{nullptr};
    std::thread hanger(
        [&]
        {
            HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr,
                                          nullptr, nullptr);
            hung = window;
            WaitForSingleObject(release, INFINITE);
            DestroyWindow(window);
        });
    while (hung.load() == nullptr)
        Sleep(10);

    CWindowPulse pulse(run.MainWindow());
    const UINT question = RegisterWindowMessageW(L"Tavelo.DescribeState");
    for (int i = 0; i < 5; ++i)
        PostMessageW(run.MainWindow(), question, reinterpret_cast<WPARAM>(hung.load()), 0);
    const ULONGLONG asked = GetTickCount64();
    const std::string tray = run.DescribeState()["tray"];
    const ULONGLONG answerMs = GetTickCount64() - asked;
    Sleep(500);
    pulse.Stop();
    SetEvent(release);
    hanger.join();
    CloseHandle(release);
    std::printf("hung asker: next answer after %llu ms, main window answered %u times, longest "
                "%.1f ms\n",
                answerMs, pulse.Samples(), pulse.LongestMs());
    EXPECT_EQ(tray, "1") << "the driver's own messages stopped";
    EXPECT_LT(answerMs, 3000u);
    EXPECT_GT(pulse.Samples(), 20u);
    EXPECT_LT(pulse.LongestMs(), 100.0);
    EXPECT_TRUE(run.IsRunning());
}

// Runs with a Farsi system language (its own ctest entry sets the locale).
TEST(ShellFarsi, TrayMenuIsRightToLeft)
{
    ASSERT_EQ(PRIMARYLANGID(GetSystemDefaultLangID()), LANG_FARSI)
        << "run this suite with LC_ALL=fa_IR.UTF-8";
    CDriverRun run("farsi");
    ASSERT_TRUE(run.StartOn(Board()));
    const std::vector<std::wstring> items = run.MenuItems();
    ASSERT_EQ(items.size(), 9u);
    EXPECT_EQ(items[8], L"11027 6000 0 " + LanguageText("FAR", L"TRAY ICON MENU", L"T7"));
    EXPECT_EQ(items[0].substr(0, 13), L"11026 6000 1 ");
    EXPECT_EQ(items[3], L"0 800 0 ");
}

TEST(Shell, StaysHiddenRestartsTrackingOnResumeAndReloadsTablesOnADisplayChange)
{
    ASSERT_TRUE(FileBoard().IsCalibrated());
    // The settings file starts with the tables of a camera aimed differently.
    const CCalibratedBoard elsewhere({.firmwareMinor = 0x0F, .viewFill = 0.65});
    CDriverRun run("power-display");
    elsewhere.WriteSettingsFile(run);
    run.WriteText("SimScenario.txt", FileBoard().Scenario() + "log packets.txt\n");
    CHookProbe probe;
    ASSERT_TRUE(run.StartTracking(probe, RUN_START_MS));

    ShowWindow(run.MainWindow(), SW_SHOW);
    // Answered after whatever the program posted itself while it was shown.
    run.DescribeState();
    EXPECT_FALSE(IsWindowVisible(run.MainWindow()));

    EXPECT_EQ(WaitForTrackingStarts(run, 1), 1u);
    run.PostToMain(WM_POWERBROADCAST, 4);
    ASSERT_TRUE(run.WaitForState("runstate", "1004", 5000));
    run.PostToMain(WM_POWERBROADCAST, 7);
    ASSERT_TRUE(run.WaitForState("runstate", "1000", 5000));
    EXPECT_EQ(WaitForTrackingStarts(run, 2), 2u);

    // With the other camera's tables the pen lands far from where it touches.
    EXPECT_FALSE(ShortStrokeLands(probe, run, FileBoard().m_optics[0], 400, 300, 20.0));

    // The display changes; the file now holds this board's tables for the screen size.
    FileBoard().WriteSettingsFile(run);
    run.PostToMain(WM_DISPLAYCHANGE, 32, MAKELPARAM(1024, 768));
    // One start each for the resume and the display change: a doubled one shows here.
    EXPECT_EQ(WaitForTrackingStarts(run, 3), 3u);
    EXPECT_TRUE(ShortStrokeLands(probe, run, FileBoard().m_optics[0], 400, 300, 4.0));
}

TEST(Shell, At144DpiTheSplashKeepsItsPixelSizeAndThePenLandsWhereItTouches)
{
    const std::string manifest = EmbeddedManifest(TestProgramDirectory() + L"\\Tavelo.exe");
    for (const char* part :
         {"<dpiAwareness>PerMonitorV2, PerMonitor</dpiAwareness>", "<dpiAware>true/pm</dpiAware>",
          "Microsoft.Windows.Common-Controls", "level=\"asInvoker\""})
        EXPECT_NE(manifest.find(part), std::string::npos) << part << " in\n" << manifest;

    const SCOPED_LOG_PIXELS dpi(144);
    CDriverRun run("dpi144");
    FileBoard().WriteConfig(run);
    // The version's second reply never comes, so the splash stays up for the reply time-out.
    run.WriteText("SimScenario.txt", FileBoard().Scenario() + "unit 0 fault firstversion\n");
    CHookProbe probe;
    ASSERT_TRUE(probe.IsReady() && probe.WaitUntilDelivering(0));
    ASSERT_TRUE(run.Start());
    HWND splash = run.WaitForWindow(L"SPLASH", RUN_START_MS);
    ASSERT_NE(splash, nullptr) << "no splash";
    const RECT area = WindowRect(splash);
    EXPECT_EQ(area.right - area.left, 400);
    EXPECT_EQ(area.bottom - area.top, 250);
    run.Screenshot("splash", splash);

    ASSERT_NE(run.WaitForMainWindow(RUN_START_MS), nullptr);
    ASSERT_TRUE(run.WaitForState("reader", "1", RUN_START_MS));
    EXPECT_TRUE(ShortStrokeLands(probe, run, FileBoard().m_optics[0], 700, 500, 4.0));
}

// A second copy tells the user and ends, and the first keeps tracking. Then a cable pulled
// mid-stroke and plugged in again: the button comes up at once, the tray tip says the camera is
// missing, and within a few seconds of the replug the same program draws again where the pen
// is, with no message and no new calibration.
TEST(Shell, ASecondCopyEndsAndAUnitUnpluggedMidStrokeAndPluggedInAgainDrawsAgain)
{
    CDriverRun run("unplug-replug");
    CHookProbe probe;
    ASSERT_TRUE(StartTracking(run, probe, Board()));
    PROCESS_INFORMATION second{};
    ASSERT_TRUE(Launch(run.Path("Tavelo.exe"), L"", second, run.Path("").c_str()));
    EXPECT_EQ(run.AnswerBox(IDOK, "m2", second.dwProcessId), EnglishMessage(L"M2"));
    EXPECT_EQ(Finish(second, 10000), 0u);

    const std::size_t skip = probe.Count();
    run.Control(Board().PenAt(0, 0, 400, 300));
    ASSERT_TRUE(PressedAt(ButtonEvents(probe, skip, 1), 400, 300, 4.0)) << "the first tracks";
    const ULONGLONG unplugged = GetTickCount64();
    run.Control("unit 0 fault unplug");
    const auto buttons = ButtonEvents(probe, skip, 2);
    ASSERT_EQ(buttons.size(), 2u) << "the button stayed down";
    EXPECT_EQ(buttons[1].message, unsigned{WM_LBUTTONUP});
    EXPECT_LT(GetTickCount64() - unplugged, 1000u);
    EXPECT_TRUE(run.WaitForState("reader", "0", 5000));
    EXPECT_NE(run.DescribeState()["tip"], "Tavelo");
    run.Control(CCalibratedBoard::PenUp(0, 0));
    Sleep(3000);

    run.Control("unit 0 fault unplug off");
    const ULONGLONG replugged = GetTickCount64();
    ASSERT_TRUE(run.WaitForState("reader", "1", 5000)) << "not reopened";
    EXPECT_EQ(run.DescribeState()["tip"], "Tavelo");
    const auto again =
        StrokeButtons(probe, run, Board().m_optics[0], {{600, 400}, {640, 420}, {700, 450}});
    ASSERT_EQ(again.size(), 2u) << "no stroke after the replug";
    EXPECT_TRUE(PressedAt(again, 600, 400, 4.0));
    EXPECT_LT(GetTickCount64() - replugged, 5000u);
    EXPECT_EQ(run.WaitForMessageBox(0), nullptr) << "a message box is up";
    EXPECT_TRUE(run.Exit());
}
