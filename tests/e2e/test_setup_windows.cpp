// The set-up windows of the real Tavelo.exe under Wine, used with clicks and answers as a person
// at the board uses them: the first-run wizard from a fresh installation to a calibrated board,
// the tray's wizard and its questions, the configuration dialog, and every page and the dialog
// in each skin (with the Farsi right-to-left layout), each saved as a PNG.

#include "core/Language.h"
#include "core/Messages.h"
#include "resources/resource.h"
#include "setup_ui/SkinLayout.h"
#include "tests/wine_support/CalibrationWindow.h"
#include "tests/wine_support/Landing.h"

#include <gtest/gtest.h>

#include <sstream>

namespace
{
void RemoveAutostart()
{
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, RUN_KEY, L"Tavelo");
}

// A control that is not there is neither.
bool IsShown(HWND dialog, int id)
{
    return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE;
}

bool IsEnabled(HWND dialog, int id)
{
    return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE;
}

bool IsChecked(HWND dialog, int id)
{
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// Once the program's user-interface thread has handled everything posted to it so far (it
// answers a request posted after them), whether a question is up.
bool NoBoxOnceHandled(CDriverRun& run)
{
    run.DescribeState();
    return run.WaitForMessageBox(0) == nullptr;
}

// How far the page's illustration (left of every control) on the screen is from a picture of
// the program: the mean difference of its colour channels.
double PictureDifference(HWND page, int id)
{
    HMODULE module = LoadLibraryExW((TestProgramDirectory() + L"\\Tavelo.exe").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info{};
    const std::vector<std::uint8_t> picture =
        bitmap != nullptr && GetObjectW(bitmap, sizeof info, &info) != 0
            ? BitmapRgb(bitmap, info.bmWidth, info.bmHeight)
            : std::vector<std::uint8_t>();
    DeleteObject(bitmap);
    FreeLibrary(module);
    if (picture.empty() || info.bmHeight != PAGE_AREA.height)
        return 1e9;
    RECT area = WindowRect(page);
    constexpr int PANEL_WIDTH = 200;
    area.right = area.left + PANEL_WIDTH;
    area.bottom = area.top + PAGE_AREA.height;
    const std::vector<std::uint8_t> shown = CDriverRun::CaptureRgb(area);
    double difference = 0;
    for (int y = 0; y < PAGE_AREA.height; ++y)
    {
        for (int x = 0; x < PANEL_WIDTH * 3; ++x)
            difference += std::abs(int(shown[std::size_t(y * PANEL_WIDTH * 3 + x)]) -
                                   int(picture[std::size_t(y * info.bmWidth * 3 + x)]));
    }
    return difference / double(PANEL_WIDTH * PAGE_AREA.height * 3);
}

// Font faces of a window's controls, as the program reports them.
std::map<int, std::wstring> FontFaces(HWND window)
{
    std::map<int, std::wstring> faces;
    std::wistringstream lines(CDriverRun::Ask(window, L"Tavelo.DescribeSkin"));
    for (std::wstring line; std::getline(lines, line);)
    {
        // "font <id> <face> <height>", the face with any spaces it has.
        const auto idEnd = line.find(L' ', 5);
        if (line.rfind(L"font ", 0) == 0 && idEnd != std::wstring::npos && line.rfind(L' ') > idEnd)
            faces[std::stoi(line.substr(5))] = line.substr(idEnd + 1, line.rfind(L' ') - idEnd - 1);
    }
    return faces;
}

struct SKIN_EXPECTED
{
    const char* code;
    std::uint16_t skin;
    int layout;
};

// Every control of a window's table as the user sees it: its text, its place (the layout's
// rectangle; check boxes and radio buttons with their box on the right in right-to-left),
// its caption font.
void ExpectLaidOut(HWND window, SETUP_WINDOW kind, const SKIN_EXPECTED& expected)
{
    SCOPED_TRACE("window " + std::to_string(kind));
    const std::map<int, std::wstring> faces = FontFaces(window);
    const SKIN_FONT caption = CaptionFont(kind, expected.layout);
    for (const SKIN_CONTROL& control : SkinControls(kind))
    {
        SCOPED_TRACE(control.id);
        HWND item = GetDlgItem(window, control.id);
        ASSERT_NE(item, nullptr);
        if (control.text.group != TEXT_NONE)
        {
            EXPECT_EQ(WindowText(item), ShippedText(expected.code, control.text));
        }
        const SKIN_RECT& want = ControlRect(control, expected.layout);
        RECT got = WindowRect(item);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&got), 2);
        EXPECT_EQ(got.left, want.x);
        EXPECT_EQ(got.top, want.y);
        if (control.kind != CONTROL_LIST && control.kind != CONTROL_PUSH)
        {
            EXPECT_EQ(got.right - got.left, want.width);
            EXPECT_EQ(faces.count(control.id) ? faces.at(control.id) : L"(none)", caption.face);
        }
        const LONG_PTR style = GetWindowLongPtrW(item, GWL_STYLE);
        const std::uint32_t rightToLeft = RightToLeftStyle(control.kind);
        if (rightToLeft != 0)
        {
            EXPECT_EQ((style & LONG_PTR(rightToLeft)) == LONG_PTR(rightToLeft),
                      IsRightToLeft(expected.layout));
        }
    }
    EXPECT_EQ((GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_RIGHT) != 0,
              IsRightToLeft(expected.layout));
}

// Opens the configuration dialog and the tray's wizard on a calibrated board, checks each
// page's picture, texts, places and fonts, saves them as PNGs and closes them with Cancel.
void ShowEveryWindowInItsSkin(const SKIN_EXPECTED& expected)
{
    ASSERT_EQ(LanguageCodeFor(GetSystemDefaultLangID()),
              std::wstring(expected.code, expected.code + 3))
        << "run this suite with the locale of its ctest entry";
    CDriverRun run(std::string("skin") + std::to_string(expected.skin) + "-" + expected.code);
    ASSERT_TRUE(run.StartOn(Board()));
    HWND dialog = run.OpenDialog(ID_TRAY_CONFIG, IDC_CFG_SERVER_LIST);
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(run.Shoot("configuration", dialog));
    ExpectLaidOut(dialog, SETUP_CONFIG, expected);
    CDriverRun::Click(dialog, IDC_CFG_CANCEL);
    Sleep(300);
    HWND wizard = run.OpenDialog(ID_TRAY_WIZARD, WIZARD_NEXT);
    ASSERT_NE(wizard, nullptr);
    const struct
    {
        SETUP_WINDOW window;
        int control;
        const char* shot;
    } pages[] = {
        {SETUP_MODEL_PAGE, IDC_MODEL_HEADING, "model-page"},
        {SETUP_OPTIONS_PAGE, IDC_OPTIONS_HEADING, "options-page"},
        {SETUP_ALIGN_PAGE, IDC_ALIGN_HEADING, "align-page"},
        {SETUP_CALIBRATE_PAGE, IDC_CALIBRATE_HEADING, "calibrate-page"},
    };
    for (const auto& shown : pages)
    {
        SCOPED_TRACE(shown.shot);
        HWND page = nullptr;
        ASSERT_NE(page = CDriverRun::WaitForPage(wizard, shown.control), nullptr);
        EXPECT_TRUE(run.Shoot(shown.shot, wizard));
        EXPECT_LT(
            PictureDifference(page, BackgroundBitmap(shown.window, expected.skin, expected.layout)),
            2.0);
        ExpectLaidOut(page, shown.window, expected);
        if (shown.window != SETUP_CALIBRATE_PAGE)
            CDriverRun::Click(wizard, WIZARD_NEXT);
    }
    ExpectLaidOut(wizard, SETUP_WIZARD_FRAME, expected);
    CDriverRun::Click(wizard, IDCANCEL);
    run.DescribeState();

    // The calibration's report, in the skin and the language.
    run.Command(ID_TRAY_CALIBRATE);
    const std::vector<SIM_OPTICS_CONFIG> optics = OpticsFor(Monitors(), 1);
    EXPECT_FALSE(TouchShownTargets(run, optics, 17).empty());
    HWND report = WaitForReportScreen(run, RUN_WINDOW_MS);
    ASSERT_NE(report, nullptr) << "no report after the calibration";
    EXPECT_TRUE(run.Shoot("calibration-report", report));
    EXPECT_TRUE(run.Exit());
}
} // namespace

TEST(SetupWindows, FirstRunWizardSetsUpTheBoardAndCalibratesFromItsLastPage)
{
    RemoveAutostart();
    CDriverRun run("first-run");
    HWND wizard = run.StartIntoWizard();
    ASSERT_NE(wizard, nullptr) << "no wizard at first start";
    EXPECT_EQ(run.WaitForWindow(L"SPLASH", 0), nullptr) << "the splash must be gone";
    auto state = run.DescribeState();
    EXPECT_EQ(state["runstate"], "1003");
    EXPECT_EQ(state["tray"], "0");
    EXPECT_EQ(state["reader"], "0");

    HWND page = nullptr;
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_MODEL_SIXTEEN), nullptr);
    EXPECT_EQ(WindowText(wizard), LanguageText("ENU", L"START WIZARD", L"W1"));
    EXPECT_FALSE(IsEnabled(wizard, WIZARD_BACK));
    EXPECT_TRUE(IsChecked(page, IDC_MODEL_SIXTEEN)) << "a fresh installation has model 0";
    CDriverRun::Click(wizard, WIZARD_NEXT);

    // The mounting options belong to the sixteen-point model: tick them there first.
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_OPTIONS_CEILING), nullptr);
    EXPECT_TRUE(IsShown(page, IDC_OPTIONS_CEILING));
    CDriverRun::Click(page, IDC_OPTIONS_CEILING);
    CDriverRun::Click(page, IDC_OPTIONS_START_PROGRAM);
    CDriverRun::Click(wizard, WIZARD_BACK);
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_MODEL_NINE), nullptr);
    EXPECT_FALSE(IsEnabled(wizard, WIZARD_BACK));
    CDriverRun::Click(page, IDC_MODEL_NINE);
    CDriverRun::Click(wizard, WIZARD_NEXT);
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_OPTIONS_CEILING), nullptr);
    EXPECT_FALSE(IsShown(page, IDC_OPTIONS_CEILING)) << "hidden for the nine-point model";
    EXPECT_FALSE(IsShown(page, IDC_OPTIONS_REAR));
    EXPECT_TRUE(IsChecked(page, IDC_OPTIONS_START_PROGRAM));
    CDriverRun::Click(wizard, WIZARD_NEXT);
    ASSERT_NE(CDriverRun::WaitForPage(wizard, IDC_ALIGN_HEADING), nullptr);
    CDriverRun::Click(wizard, WIZARD_NEXT);
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_CALIBRATE_HEADING), nullptr);
    EXPECT_EQ(WindowText(wizard), LanguageText("ENU", L"START WIZARD", L"W7"));
    EXPECT_FALSE(IsShown(wizard, WIZARD_NEXT));
    EXPECT_TRUE(IsShown(wizard, WIZARD_FINISH));
    EXPECT_TRUE(IsEnabled(wizard, WIZARD_FINISH));
    EXPECT_TRUE(IsEnabled(wizard, WIZARD_BACK));
    EXPECT_TRUE(run.Shoot("calibrate-page", wizard));

    CDriverRun::Click(page, IDC_PAGE_BUTTON);
    ASSERT_TRUE(run.WaitForState("reader", "1", RUN_WINDOW_MS)) << "the calibration did not start";
    const std::vector<SIM_OPTICS_CONFIG> optics = OpticsFor(Monitors(), 1);
    ASSERT_EQ(TouchShownTargets(run, optics, 9).size(), 9u);
    ASSERT_TRUE(run.WaitForState("calibrated", "1", RUN_WINDOW_MS));

    CDriverRun::Click(wizard, WIZARD_FINISH);
    ASSERT_TRUE(run.WaitForState("runstate", "1000", RUN_WINDOW_MS));
    ASSERT_TRUE(run.WaitForState("tray", "1", RUN_WINDOW_MS));
    EXPECT_TRUE(run.WaitForState("reader", "1", RUN_WINDOW_MS));
    EXPECT_EQ(run.Config(L"State", L"Lens Angles"), L"1");
    EXPECT_EQ(run.Config(L"State", L"Check Ceiling"), L"1");
    EXPECT_EQ(run.Config(L"State", L"Check Rear"), L"0");
    EXPECT_EQ(run.Config(L"State", L"Start Program"), L"1");
    EXPECT_EQ(RegistryText(RUN_KEY, L"Tavelo"), run.Path("Tavelo.exe"));
    RemoveAutostart();
    EXPECT_TRUE(run.Exit());
}

TEST(SetupWindows, CancellingTheFirstRunWizardEndsTheDriverAndRegistersNothing)
{
    RemoveAutostart();
    CDriverRun run("first-run-cancel");
    HWND wizard = run.StartIntoWizard();
    ASSERT_NE(wizard, nullptr);
    HWND page = nullptr;
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_MODEL_NINE), nullptr);
    CDriverRun::Click(page, IDC_MODEL_NINE);
    CDriverRun::Click(wizard, IDCANCEL);
    EXPECT_EQ(run.WaitForExit(RUN_WINDOW_MS), 0u);
    EXPECT_EQ(RegistryText(RUN_KEY, L"Tavelo"), L"");
    // The shutdown saves the record as it stood: never calibrated, nothing committed.
    EXPECT_EQ(run.Config(L"State", L"Save"), L"0");
    EXPECT_EQ(run.Config(L"State", L"Lens Angles"), L"0");
    EXPECT_EQ(run.Config(L"State", L"Start Program"), L"0");
}

TEST(SetupWindows, TrayWizardAsksBeforeAChangeStopsThePenCancelKeepsItRunningAndExitCancelsIt)
{
    CDriverRun run("tray-wizard");
    Board().WriteConfig(run);
    run.WriteText("SimScenario.txt", Board().Scenario() + "log packets.txt\n");
    ASSERT_TRUE(run.StartUntil("reader"));
    HWND wizard = run.OpenDialog(ID_TRAY_WIZARD, WIZARD_NEXT);
    ASSERT_NE(wizard, nullptr);
    ASSERT_TRUE(run.WaitForState("reader", "1", RUN_WINDOW_MS));
    const std::size_t starts = WaitForTrackingStarts(run, 1);
    // A second request brings the open wizard forward instead of opening another.
    run.Command(ID_TRAY_WIZARD);
    run.Command(ID_TRAY_CONFIG);
    run.DescribeState();
    EXPECT_EQ(run.WaitForDialog(IDC_CFG_SERVER_LIST, 0), nullptr);

    HWND page = nullptr;
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_MODEL_NINE), nullptr);
    CDriverRun::Click(page, IDC_MODEL_NINE);
    CDriverRun::ClickLater(wizard, WIZARD_NEXT);
    EXPECT_EQ(run.AnswerBox(IDNO, "m9"), EnglishMessage(L"M9"));
    EXPECT_NE(CDriverRun::WaitForPage(wizard, IDC_MODEL_NINE), nullptr) << "No stays on the page";

    CDriverRun::Click(page, IDC_MODEL_SIXTEEN);
    CDriverRun::ClickLater(wizard, WIZARD_NEXT);
    EXPECT_TRUE(NoBoxOnceHandled(run)) << "the model as it was asks nothing";
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_OPTIONS_REAR), nullptr);
    CDriverRun::Click(page, IDC_OPTIONS_REAR);
    CDriverRun::ClickLater(wizard, WIZARD_NEXT);
    EXPECT_EQ(run.AnswerBox(IDYES), EnglishMessage(L"M10"));
    EXPECT_TRUE(run.WaitForState("reader", "0", RUN_WINDOW_MS)) << "Yes stops the pen";
    EXPECT_NE(CDriverRun::WaitForPage(wizard, IDC_ALIGN_HEADING), nullptr);

    // Cancel: the pen comes back with the settings as they were.
    CDriverRun::Click(wizard, IDCANCEL);
    EXPECT_TRUE(run.WaitForState("reader", "1", RUN_WINDOW_MS));
    EXPECT_EQ(WaitForTrackingStarts(run, starts + 1), starts + 1);

    // Exit while the wizard is open, after it applied rear projection: it is cancelled first,
    // so the save keeps the settings as they were.
    ASSERT_NE(wizard = run.OpenDialog(ID_TRAY_WIZARD, WIZARD_NEXT), nullptr);
    ASSERT_NE(CDriverRun::WaitForPage(wizard, IDC_MODEL_SIXTEEN), nullptr);
    CDriverRun::Click(wizard, WIZARD_NEXT);
    ASSERT_NE(page = CDriverRun::WaitForPage(wizard, IDC_OPTIONS_REAR), nullptr);
    CDriverRun::Click(page, IDC_OPTIONS_REAR);
    CDriverRun::ClickLater(wizard, WIZARD_NEXT);
    EXPECT_EQ(run.AnswerBox(IDYES), EnglishMessage(L"M10"));
    ASSERT_NE(CDriverRun::WaitForPage(wizard, IDC_ALIGN_HEADING), nullptr);
    EXPECT_TRUE(run.Exit());
    EXPECT_EQ(run.Config(L"State", L"Check Rear"), L"0");
}

TEST(SetupWindows, ConfigurationDialogEnablesAsksAndAppliesAsTheUserChooses)
{
    RemoveAutostart();
    CDriverRun run("configuration");
    // A unit that keeps no settings of its own, calibrated with the nine-point model: what the
    // configuration dialog shows comes from Config.ini.
    ASSERT_TRUE(run.StartOn(CCalibratedBoard({.firmwareMinor = 0x0F, .calibModel = 1})));
    const std::string before = run.ReadText("Config.ini");

    // Cancel after changing everything changes nothing, even after OK answered No.
    HWND dialog = run.OpenDialog(ID_TRAY_CONFIG, IDC_CFG_SERVER_LIST);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(WindowText(dialog), LanguageText("ENU", L"CONFIGURATION", L"C1"));
    EXPECT_TRUE(IsChecked(dialog, IDC_CFG_NINE));
    // The mounting options with the nine-point model, the update with no newer version reported.
    for (const int off : {IDC_CFG_CEILING, IDC_CFG_REAR, IDC_CFG_UPDATE, IDC_CFG_SERVER_LIST})
        EXPECT_FALSE(IsEnabled(dialog, off)) << off;
    CDriverRun::Click(dialog, IDC_CFG_SIXTEEN);
    EXPECT_TRUE(IsEnabled(dialog, IDC_CFG_CEILING));
    EXPECT_TRUE(IsEnabled(dialog, IDC_CFG_REAR));
    CDriverRun::Click(dialog, IDC_CFG_SERVER_LIST_RADIO);
    EXPECT_TRUE(IsEnabled(dialog, IDC_CFG_SERVER_LIST));
    CDriverRun::Click(dialog, IDC_CFG_START_PROGRAM);
    CDriverRun::ClickLater(dialog, IDC_CFG_OK);
    EXPECT_EQ(run.AnswerBox(IDNO), EnglishMessage(L"M11"));
    run.DescribeState();
    EXPECT_TRUE(IsWindowVisible(dialog)) << "No keeps the dialog open";
    CDriverRun::Click(dialog, IDC_CFG_CANCEL);
    run.DescribeState();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(run.ReadText("Config.ini"), before);
    EXPECT_EQ(RegistryText(RUN_KEY, L"Tavelo"), L"");

    // Only start with Windows: closes without a question on a calibrated board.
    ASSERT_NE(dialog = run.OpenDialog(ID_TRAY_CONFIG, IDC_CFG_SERVER_LIST), nullptr);
    EXPECT_FALSE(IsChecked(dialog, IDC_CFG_START_PROGRAM)) << "Cancel kept the old choice";
    CDriverRun::Click(dialog, IDC_CFG_START_PROGRAM);
    CDriverRun::ClickLater(dialog, IDC_CFG_OK);
    EXPECT_TRUE(NoBoxOnceHandled(run));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(RegistryText(RUN_KEY, L"Tavelo"), run.Path("Tavelo.exe"));
    EXPECT_EQ(run.Config(L"State", L"Start Program"), L"1");
    EXPECT_EQ(run.Config(L"State", L"Lens Angles"), L"1");

    // Rear projection changes the mapping: M11; No stays, Yes closes and calibrates. Start with
    // Windows is turned off with it.
    ASSERT_NE(dialog = run.OpenDialog(ID_TRAY_CONFIG, IDC_CFG_SERVER_LIST), nullptr);
    CDriverRun::Click(dialog, IDC_CFG_SIXTEEN);
    CDriverRun::Click(dialog, IDC_CFG_REAR);
    CDriverRun::Click(dialog, IDC_CFG_START_PROGRAM);
    CDriverRun::ClickLater(dialog, IDC_CFG_OK);
    EXPECT_EQ(run.AnswerBox(IDNO), EnglishMessage(L"M11"));
    run.DescribeState();
    EXPECT_TRUE(IsWindowVisible(dialog));
    CDriverRun::ClickLater(dialog, IDC_CFG_OK);
    EXPECT_EQ(run.AnswerBox(IDYES, "m11"), EnglishMessage(L"M11"));
    run.DescribeState();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(run.WaitForState("calibrated", "0", RUN_WINDOW_MS));
    EXPECT_EQ(run.Config(L"State", L"Check Rear"), L"1");
    EXPECT_EQ(run.Config(L"State", L"Lens Angles"), L"0");
    EXPECT_EQ(run.Config(L"State", L"Radio Server"), L"0");
    EXPECT_EQ(run.Config(L"State", L"Start Program"), L"0");
    EXPECT_EQ(RegistryText(RUN_KEY, L"Tavelo"), L"");
    RemoveAutostart();
    EXPECT_TRUE(run.Exit());
}

TEST(SetupWindows, EveryWindowInTheStandardSkin)
{
    ShowEveryWindowInItsSkin({"ENU", SKIN_STANDARD, LANG_LAYOUT_ENGLISH});
}

TEST(SetupWindowsJapanese, EveryWindowInTheJapaneseSkin)
{
    ShowEveryWindowInItsSkin({"JPN", SKIN_JAPANESE, LANG_LAYOUT_JAPANESE});
}

TEST(SetupWindowsPolish, EveryWindowInTheBrandSkin)
{
    ShowEveryWindowInItsSkin({"PLK", SKIN_VELMARA, LANG_LAYOUT_POLISH});
}

TEST(SetupWindowsFarsi, EveryWindowInTheFarsiSkinRightToLeft)
{
    ShowEveryWindowInItsSkin({"FAR", SKIN_FARSI, LANG_LAYOUT_RIGHT_TO_LEFT});
}

TEST(SetupWindowsFrench, EveryWindowWithTheTahomaCaptions)
{
    ShowEveryWindowInItsSkin({"FRA", SKIN_STANDARD, LANG_LAYOUT_TAHOMA});
}
