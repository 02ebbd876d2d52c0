// The set-up windows of the real Tavelo.exe under Wine, used with clicks and answers as a person
// at the board uses them: the first-run wizard from a fresh installation to a calibrated board,
// the tray's wizard and its questions, the configuration dialog, and every page and the dialog
// in each skin (with the Farsi right-to-left layout), each saved as a PNG.

#include "calibration/CalibTables.h"
#include "core/Language.h"
#include "core/Messages.h"
#include "resources/resource.h"
#include "setup_ui/SkinLayout.h"
#include "tests/wine_support/CalibratedBoard.h"
#include "tests/wine_support/CalibrationWindow.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

namespace
{
constexpr DWORD START_MS = 20000;
constexpr DWORD WINDOW_MS = 10000;
constexpr int ID_BACK = 12323;
constexpr int ID_NEXT = 12324;
constexpr int ID_FINISH = 12325;
const wchar_t* const RUN_KEY = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

const CCalibratedBoard& Board()
{
    static const CCalibratedBoard board;
    return board;
}

// A unit that keeps no settings of its own, calibrated with the nine-point model: what the
// configuration dialog shows comes from Config.ini.
const CCalibratedBoard& NinePointFileBoard()
{
    static const CCalibratedBoard board = []
    {
        PEN_SCENARIO_OPTIONS options;
        options.firmwareMinor = 0x0F;
        options.calibModel = 1;
        return CCalibratedBoard(options);
    }();
    return board;
}

bool HasAutostart()
{
    DWORD size = 0;
    return RegGetValueW(HKEY_LOCAL_MACHINE, RUN_KEY, L"Tavelo", RRF_RT_REG_SZ, nullptr, nullptr,
                        &size) == ERROR_SUCCESS;
}

void RemoveAutostart()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RUN_KEY, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
    {
        RegDeleteValueW(key, L"Tavelo");
        RegCloseKey(key);
    }
}

HWND WaitForPage(HWND wizard, int controlId)
{
    return CDriverRun::WaitForPage(wizard, controlId, WINDOW_MS);
}

bool IsShown(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && IsWindowVisible(control);
}

bool IsEnabled(HWND dialog, int id)
{
    HWND control = GetDlgItem(dialog, id);
    return control != nullptr && IsWindowEnabled(control);
}

bool IsChecked(HWND dialog, int id)
{
    return SendDlgItemMessageW(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::wstring Text(HWND window)
{
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1023);
    return text;
}

// A language text of the file the program shows.
std::wstring LanguageText(const char* code, const wchar_t* section, const wchar_t* key)
{
    return ReadIni(SourceTreePath(std::string("resources/language/") + code + ".lng"), section,
                   key);
}

std::wstring English(const wchar_t* section, const wchar_t* key)
{
    return LanguageText("ENU", section, key);
}

// Answers the message box that comes up; its text, or "(no box)".
std::wstring Answer(CDriverRun& run, int button, const std::string& shot = std::string())
{
    HWND box = run.WaitForMessageBox(WINDOW_MS);
    if (box == nullptr)
        return L"(no box)";
    const std::wstring text = CDriverRun::MessageBoxText(box);
    if (!shot.empty())
    {
        Sleep(200);
        run.Screenshot(shot, box);
    }
    CDriverRun::Click(box, button);
    return text;
}

// Once the program's user-interface thread has handled everything posted to it so far (it
// answers a request posted after them), whether a question is up.
bool NoBoxOnceHandled(CDriverRun& run)
{
    run.DescribeState();
    return run.WaitForMessageBox(0) == nullptr;
}

// Shows what a window of the program shows: after a pause for painting, a PNG of it.
void Shoot(CDriverRun& run, const std::string& shot, HWND window)
{
    Sleep(400);
    EXPECT_TRUE(run.Screenshot(shot, window)) << shot;
}

// Holds the pen on each target of a nine-point calibration on the 1024 x 768 screen in the
// order the capture takes them, as the calibration window asks.
void TouchNineTargets(CDriverRun& run)
{
    ASSERT_TRUE(AllocateCalibTables(1));
    ASSERT_TRUE(PrepareCalibTargets(0, CALIB_RECT{0, 0, 1024, 768}));
    for (const CALIB_POINT& target : NinePointCalibAt(0)->m_ptTarget)
    {
        run.Control(Board().PenAt(0, 0, target.x, target.y));
        Sleep(400);
        run.Control(CCalibratedBoard::PenUp(0, 0));
        Sleep(300);
    }
}

void StartTrayRun(CDriverRun& run)
{
    Board().WriteConfig(run);
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForMainWindow(START_MS), nullptr);
    ASSERT_TRUE(run.WaitForState("reader", "1", START_MS));
}

} // namespace

TEST(SetupWindows, FirstRunWizardSetsUpTheBoardAndCalibratesFromItsLastPage)
{
    ASSERT_TRUE(Board().IsCalibrated());
    RemoveAutostart();
    CDriverRun run("first-run");
    ASSERT_FALSE(run.Exists("Config.ini"));
    CHookProbe probe;
    ASSERT_TRUE(probe.IsReady());
    ASSERT_TRUE(probe.WaitUntilDelivering(0));
    ASSERT_TRUE(run.Start());
    HWND wizard = run.WaitForDialog(ID_NEXT, START_MS);
    ASSERT_NE(wizard, nullptr) << "no wizard at first start";
    ASSERT_NE(run.WaitForMainWindow(START_MS), nullptr);
    EXPECT_EQ(run.WaitForWindow(L"SPLASH", 0), nullptr) << "the splash must be gone";
    auto state = run.DescribeState();
    EXPECT_EQ(state["runstate"], "1003");
    EXPECT_EQ(state["tray"], "0");
    EXPECT_EQ(state["reader"], "0");

    HWND page = WaitForPage(wizard, IDC_MODEL_SIXTEEN);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Text(wizard), English(L"START WIZARD", L"W1"));
    EXPECT_FALSE(IsEnabled(wizard, ID_BACK));
    EXPECT_TRUE(IsChecked(page, IDC_MODEL_SIXTEEN)) << "a fresh installation has model 0";
    CDriverRun::Click(wizard, ID_NEXT);

    // The mounting options belong to the sixteen-point model: tick them there first.
    page = WaitForPage(wizard, IDC_OPTIONS_CEILING);
    ASSERT_NE(page, nullptr);
    EXPECT_TRUE(IsShown(page, IDC_OPTIONS_CEILING));
    CDriverRun::Click(page, IDC_OPTIONS_CEILING);
    CDriverRun::Click(page, IDC_OPTIONS_START_PROGRAM);
    CDriverRun::Click(wizard, ID_BACK);
    page = WaitForPage(wizard, IDC_MODEL_NINE);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(IsEnabled(wizard, ID_BACK));
    CDriverRun::Click(page, IDC_MODEL_NINE);
    CDriverRun::Click(wizard, ID_NEXT);
    page = WaitForPage(wizard, IDC_OPTIONS_CEILING);
    ASSERT_NE(page, nullptr);
    EXPECT_FALSE(IsShown(page, IDC_OPTIONS_CEILING)) << "hidden for the nine-point model";
    EXPECT_FALSE(IsShown(page, IDC_OPTIONS_REAR));
    EXPECT_TRUE(IsChecked(page, IDC_OPTIONS_START_PROGRAM));
    CDriverRun::Click(wizard, ID_NEXT);
    ASSERT_NE(WaitForPage(wizard, IDC_ALIGN_HEADING), nullptr);
    CDriverRun::Click(wizard, ID_NEXT);
    page = WaitForPage(wizard, IDC_CALIBRATE_HEADING);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(Text(wizard), English(L"START WIZARD", L"W7"));
    EXPECT_FALSE(IsShown(wizard, ID_NEXT));
    EXPECT_TRUE(IsShown(wizard, ID_FINISH));
    EXPECT_TRUE(IsEnabled(wizard, ID_FINISH));
    EXPECT_TRUE(IsEnabled(wizard, ID_BACK));
    Shoot(run, "calibrate-page", wizard);

    CDriverRun::Click(page, IDC_PAGE_BUTTON);
    ASSERT_TRUE(run.WaitForState("reader", "1", WINDOW_MS)) << "the calibration did not start";
    TouchNineTargets(run);
    ASSERT_TRUE(run.WaitForState("calibrated", "1", WINDOW_MS));

    CDriverRun::Click(wizard, ID_FINISH);
    ASSERT_TRUE(run.WaitForState("runstate", "1000", WINDOW_MS));
    ASSERT_TRUE(run.WaitForState("tray", "1", WINDOW_MS));
    EXPECT_TRUE(run.WaitForState("reader", "1", WINDOW_MS));
    const std::wstring config = run.Path("Config.ini");
    EXPECT_EQ(ReadIni(config, L"State", L"Lens Angles"), L"1");
    EXPECT_EQ(ReadIni(config, L"State", L"Check Ceiling"), L"1");
    EXPECT_EQ(ReadIni(config, L"State", L"Check Rear"), L"0");
    EXPECT_EQ(ReadIni(config, L"State", L"Start Program"), L"1");
    EXPECT_EQ(ReadIni(config, L"State", L"Save"), L"1");
    EXPECT_TRUE(HasAutostart());
    RemoveAutostart();

    // The board now works with the calibration made from the wizard.
    const std::size_t skip = probe.Count();
    DrawStroke(run, Board(), {{300, 250}, {360, 280}, {420, 310}});
    const auto buttons = ButtonEvents(probe, skip, 2);
    ASSERT_EQ(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].message, unsigned{WM_LBUTTONDOWN});
    EXPECT_LT(Distance(buttons[0].x, buttons[0].y, 300, 250), 6.0)
        << "down at " << buttons[0].x << "," << buttons[0].y;

    run.PostToMain(WM_COMMAND, ID_TRAY_EXIT);
    EXPECT_EQ(run.WaitForExit(WINDOW_MS), 0u);
}

TEST(SetupWindows, CancellingTheFirstRunWizardEndsTheDriverAndRegistersNothing)
{
    RemoveAutostart();
    CDriverRun run("first-run-cancel");
    ASSERT_TRUE(run.Start());
    HWND wizard = run.WaitForDialog(ID_NEXT, START_MS);
    ASSERT_NE(wizard, nullptr);
    HWND page = WaitForPage(wizard, IDC_MODEL_NINE);
    ASSERT_NE(page, nullptr);
    CDriverRun::Click(page, IDC_MODEL_NINE);
    CDriverRun::Click(wizard, IDCANCEL);
    EXPECT_EQ(run.WaitForExit(WINDOW_MS), 0u);
    EXPECT_FALSE(HasAutostart());
    // The shutdown saves the record as it stood: never calibrated, nothing committed.
    const std::wstring config = run.Path("Config.ini");
    EXPECT_EQ(ReadIni(config, L"State", L"Save"), L"0");
    EXPECT_EQ(ReadIni(config, L"State", L"Lens Angles"), L"0");
    EXPECT_EQ(ReadIni(config, L"State", L"Start Program"), L"0");
}

// A settings file that says calibrated but holds a value no calibration can have: the program
// starts as on a board never calibrated, with the first-run wizard.
TEST(SetupWindows, CalibrationValuesThatCannotMapOpenTheFirstRunWizard)
{
    CDriverRun run("nan-calibration");
    NinePointFileBoard().WriteConfig(run);
    const std::wstring config = run.Path("Config.ini");
    const std::wstring section = std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"_" +
                                 std::to_wstring(GetSystemMetrics(SM_CYSCREEN)) + L"_Vector0";
    ASSERT_EQ(ReadIni(config, L"State", L"Save"), L"1");
    ASSERT_FALSE(ReadIni(config, section.c_str(), L"v4").empty());
    WritePrivateProfileStringW(section.c_str(), L"v4", L"nan", config.c_str());
    ASSERT_TRUE(run.Start());
    HWND wizard = run.WaitForDialog(ID_NEXT, START_MS);
    ASSERT_NE(wizard, nullptr) << "no first-run wizard";
    ASSERT_NE(run.WaitForMainWindow(START_MS), nullptr);
    EXPECT_EQ(run.DescribeState()["runstate"], "1003");
    CDriverRun::Click(wizard, IDCANCEL);
    EXPECT_EQ(run.WaitForExit(WINDOW_MS), 0u);
    EXPECT_EQ(ReadIni(config, L"State", L"Save"), L"0");
}

TEST(SetupWindows, TrayWizardAsksBeforeAChangeStopsThePenAndCancelKeepsItRunning)
{
    CDriverRun run("tray-wizard");
    Board().WriteConfig(run);
    run.WriteText("SimScenario.txt", Board().Scenario() + "log packets.txt\n");
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForMainWindow(START_MS), nullptr);
    ASSERT_TRUE(run.WaitForState("reader", "1", START_MS));

    run.PostToMain(WM_COMMAND, ID_TRAY_WIZARD);
    HWND wizard = run.WaitForDialog(ID_NEXT, WINDOW_MS);
    ASSERT_NE(wizard, nullptr);
    ASSERT_TRUE(run.WaitForState("reader", "1", WINDOW_MS));
    const std::size_t starts = WaitForTrackingStarts(run, 1);
    // A second request brings the open wizard forward instead of opening another.
    run.PostToMain(WM_COMMAND, ID_TRAY_WIZARD);
    run.PostToMain(WM_COMMAND, ID_TRAY_CONFIG);
    run.DescribeState();
    EXPECT_EQ(run.WaitForDialog(IDC_CFG_SERVER_LIST, 0), nullptr);

    HWND page = WaitForPage(wizard, IDC_MODEL_NINE);
    ASSERT_NE(page, nullptr);
    CDriverRun::Click(page, IDC_MODEL_NINE);
    CDriverRun::ClickLater(wizard, ID_NEXT);
    EXPECT_EQ(Answer(run, IDNO, "m9"), English(L"MESSAGEBOX", L"M9"));
    EXPECT_NE(WaitForPage(wizard, IDC_MODEL_NINE), nullptr) << "No stays on the model page";
    EXPECT_EQ(run.DescribeState()["reader"], "1");

    CDriverRun::Click(page, IDC_MODEL_SIXTEEN);
    CDriverRun::ClickLater(wizard, ID_NEXT);
    EXPECT_TRUE(NoBoxOnceHandled(run)) << "the model as it was asks nothing";
    page = WaitForPage(wizard, IDC_OPTIONS_REAR);
    ASSERT_NE(page, nullptr);
    CDriverRun::Click(page, IDC_OPTIONS_REAR);
    CDriverRun::ClickLater(wizard, ID_NEXT);
    EXPECT_EQ(Answer(run, IDYES), English(L"MESSAGEBOX", L"M10"));
    EXPECT_TRUE(run.WaitForState("reader", "0", WINDOW_MS)) << "Yes stops the pen";
    EXPECT_NE(WaitForPage(wizard, IDC_ALIGN_HEADING), nullptr);

    // Cancel: the pen comes back with the settings as they were.
    CDriverRun::Click(wizard, IDCANCEL);
    EXPECT_TRUE(run.WaitForState("reader", "1", WINDOW_MS));
    EXPECT_EQ(WaitForTrackingStarts(run, starts + 1), starts + 1);
    run.PostToMain(WM_COMMAND, ID_TRAY_EXIT);
    EXPECT_EQ(run.WaitForExit(WINDOW_MS), 0u);
    EXPECT_EQ(ReadIni(run.Path("Config.ini"), L"State", L"Check Rear"), L"0");
}

TEST(SetupWindows, ExitWhileTheTrayWizardIsOpenCancelsItBeforeTheSave)
{
    CDriverRun run("tray-wizard-exit");
    StartTrayRun(run);
    run.PostToMain(WM_COMMAND, ID_TRAY_WIZARD);
    HWND wizard = run.WaitForDialog(ID_NEXT, WINDOW_MS);
    ASSERT_NE(wizard, nullptr);
    // A change the wizard has already applied: rear projection, with Yes to its question.
    ASSERT_NE(WaitForPage(wizard, IDC_MODEL_SIXTEEN), nullptr);
    CDriverRun::Click(wizard, ID_NEXT);
    HWND page = WaitForPage(wizard, IDC_OPTIONS_REAR);
    ASSERT_NE(page, nullptr);
    CDriverRun::Click(page, IDC_OPTIONS_REAR);
    CDriverRun::ClickLater(wizard, ID_NEXT);
    EXPECT_EQ(Answer(run, IDYES), English(L"MESSAGEBOX", L"M10"));
    ASSERT_NE(WaitForPage(wizard, IDC_ALIGN_HEADING), nullptr);
    run.PostToMain(WM_COMMAND, ID_TRAY_EXIT);
    EXPECT_EQ(run.WaitForExit(WINDOW_MS), 0u);
    EXPECT_EQ(ReadIni(run.Path("Config.ini"), L"State", L"Check Rear"), L"0");
}

TEST(SetupWindows, ConfigurationDialogEnablesAsksAndAppliesAsTheUserChooses)
{
    RemoveAutostart();
    ASSERT_TRUE(NinePointFileBoard().IsCalibrated());
    CDriverRun run("configuration");
    NinePointFileBoard().WriteConfig(run);
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForMainWindow(START_MS), nullptr);
    ASSERT_TRUE(run.WaitForState("reader", "1", START_MS));
    const std::string before = run.ReadText("Config.ini");

    // Cancel after changing everything changes nothing, even after OK answered No.
    run.PostToMain(WM_COMMAND, ID_TRAY_CONFIG);
    HWND dialog = run.WaitForDialog(IDC_CFG_SERVER_LIST, WINDOW_MS);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Text(dialog), English(L"CONFIGURATION", L"C1"));
    EXPECT_TRUE(IsChecked(dialog, IDC_CFG_NINE));
    EXPECT_FALSE(IsEnabled(dialog, IDC_CFG_CEILING));
    EXPECT_FALSE(IsEnabled(dialog, IDC_CFG_REAR));
    EXPECT_FALSE(IsEnabled(dialog, IDC_CFG_UPDATE)) << "no newer version was reported";
    EXPECT_FALSE(IsEnabled(dialog, IDC_CFG_SERVER_LIST));
    CDriverRun::Click(dialog, IDC_CFG_SIXTEEN);
    EXPECT_TRUE(IsEnabled(dialog, IDC_CFG_CEILING));
    EXPECT_TRUE(IsEnabled(dialog, IDC_CFG_REAR));
    CDriverRun::Click(dialog, IDC_CFG_SERVER_LIST_RADIO);
    EXPECT_TRUE(IsEnabled(dialog, IDC_CFG_SERVER_LIST));
    CDriverRun::Click(dialog, IDC_CFG_START_PROGRAM);
    CDriverRun::ClickLater(dialog, IDC_CFG_OK);
    EXPECT_EQ(Answer(run, IDNO), English(L"MESSAGEBOX", L"M11"));
    run.DescribeState();
    EXPECT_TRUE(IsWindowVisible(dialog)) << "No keeps the dialog open";
    CDriverRun::Click(dialog, IDC_CFG_CANCEL);
    run.DescribeState();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_EQ(run.ReadText("Config.ini"), before);
    EXPECT_FALSE(HasAutostart());

    // Only start with Windows: closes without a question on a calibrated board.
    run.PostToMain(WM_COMMAND, ID_TRAY_CONFIG);
    dialog = run.WaitForDialog(IDC_CFG_SERVER_LIST, WINDOW_MS);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(IsChecked(dialog, IDC_CFG_START_PROGRAM)) << "Cancel kept the old choice";
    CDriverRun::Click(dialog, IDC_CFG_START_PROGRAM);
    CDriverRun::ClickLater(dialog, IDC_CFG_OK);
    EXPECT_TRUE(NoBoxOnceHandled(run));
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(HasAutostart());
    EXPECT_EQ(ReadIni(run.Path("Config.ini"), L"State", L"Start Program"), L"1");
    EXPECT_EQ(ReadIni(run.Path("Config.ini"), L"State", L"Lens Angles"), L"1");

    // Rear projection changes the mapping: M11; No stays, Yes closes and calibrates.
    run.PostToMain(WM_COMMAND, ID_TRAY_CONFIG);
    dialog = run.WaitForDialog(IDC_CFG_SERVER_LIST, WINDOW_MS);
    ASSERT_NE(dialog, nullptr);
    CDriverRun::Click(dialog, IDC_CFG_SIXTEEN);
    CDriverRun::Click(dialog, IDC_CFG_REAR);
    CDriverRun::ClickLater(dialog, IDC_CFG_OK);
    EXPECT_EQ(Answer(run, IDNO), English(L"MESSAGEBOX", L"M11"));
    run.DescribeState();
    EXPECT_TRUE(IsWindowVisible(dialog));
    CDriverRun::ClickLater(dialog, IDC_CFG_OK);
    EXPECT_EQ(Answer(run, IDYES, "m11"), English(L"MESSAGEBOX", L"M11"));
    run.DescribeState();
    EXPECT_FALSE(IsWindow(dialog));
    EXPECT_TRUE(run.WaitForState("calibrated", "0", WINDOW_MS));
    const std::wstring config = run.Path("Config.ini");
    EXPECT_EQ(ReadIni(config, L"State", L"Check Rear"), L"1");
    EXPECT_EQ(ReadIni(config, L"State", L"Lens Angles"), L"0");
    EXPECT_EQ(ReadIni(config, L"State", L"Radio Server"), L"0");
    RemoveAutostart();
    run.PostToMain(WM_COMMAND, ID_TRAY_EXIT);
    EXPECT_EQ(run.WaitForExit(WINDOW_MS), 0u);
}

namespace
{
// The pixels of a bitmap resource of the program, as the screen shows them, three bytes each.
std::vector<std::uint8_t> ProgramBitmapRgb(int id, int& width, int& height)
{
    std::vector<std::uint8_t> rgb;
    HMODULE module = LoadLibraryExW((TestProgramDirectory() + L"\\Tavelo.exe").c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE);
    if (module == nullptr)
        return rgb;
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (bitmap != nullptr)
    {
        BITMAP info{};
        GetObjectW(bitmap, sizeof info, &info);
        width = info.bmWidth;
        height = info.bmHeight;
        BITMAPINFO header{};
        header.bmiHeader.biSize = sizeof header.bmiHeader;
        header.bmiHeader.biWidth = width;
        header.bmiHeader.biHeight = -height;
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        header.bmiHeader.biCompression = BI_RGB;
        std::vector<std::uint8_t> bgra(std::size_t(width) * std::size_t(height) * 4);
        HDC screen = GetDC(nullptr);
        GetDIBits(screen, bitmap, 0, UINT(height), bgra.data(), &header, DIB_RGB_COLORS);
        ReleaseDC(nullptr, screen);
        for (std::size_t i = 0; i < bgra.size(); i += 4)
            rgb.insert(rgb.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
        DeleteObject(bitmap);
    }
    FreeLibrary(module);
    return rgb;
}

// Which page picture the page shows: the one whose illustration (left of every control)
// differs least from the screen.
int ShownPagePicture(HWND page)
{
    RECT area{};
    GetWindowRect(page, &area);
    constexpr int PANEL_WIDTH = 200;
    area.right = area.left + PANEL_WIDTH;
    area.bottom = area.top + PAGE_AREA.height;
    const std::vector<std::uint8_t> shown = CDriverRun::CaptureRgb(area);
    int best = 0;
    double bestDifference = 1e9;
    for (const int id : {176, 178, 179, 209, 210, 211, 216, 217, 218})
    {
        int width = 0;
        int height = 0;
        const std::vector<std::uint8_t> picture = ProgramBitmapRgb(id, width, height);
        if (picture.empty() || height != PAGE_AREA.height)
            continue;
        double difference = 0;
        for (int y = 0; y < height; ++y)
        {
            for (int x = 0; x < PANEL_WIDTH * 3; ++x)
                difference += std::abs(int(shown[std::size_t(y * PANEL_WIDTH * 3 + x)]) -
                                       int(picture[std::size_t(y * width * 3 + x)]));
        }
        difference /= double(PANEL_WIDTH * height * 3);
        if (difference < bestDifference)
        {
            bestDifference = difference;
            best = id;
        }
    }
    return bestDifference < 2.0 ? best : -1;
}

// Font faces of a window's controls, as the program reports them.
std::map<int, std::wstring> FontFaces(HWND window)
{
    std::map<int, std::wstring> faces;
    std::wistringstream lines(CDriverRun::Ask(window, L"Tavelo.DescribeSkin"));
    std::wstring line;
    while (std::getline(lines, line))
    {
        if (line.rfind(L"font ", 0) != 0)
            continue;
        const auto idEnd = line.find(L' ', 5);
        const auto heightStart = line.rfind(L' ');
        if (idEnd == std::wstring::npos || heightStart <= idEnd)
            continue;
        faces[std::stoi(line.substr(5, idEnd - 5))] =
            line.substr(idEnd + 1, heightStart - idEnd - 1);
    }
    return faces;
}

RECT ClientRect(HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
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
    const std::map<int, std::wstring> faces = FontFaces(window);
    const SKIN_FONT caption = CaptionFont(kind, expected.layout);
    for (const SKIN_CONTROL& control : SkinControls(kind))
    {
        SCOPED_TRACE(control.id);
        HWND item = GetDlgItem(window, control.id);
        ASSERT_NE(item, nullptr);
        if (control.text.group != TEXT_NONE)
        {
            const std::wstring key = TextKeyName(control.text);
            const wchar_t* section = control.text.group == TEXT_WIZARD   ? L"START WIZARD"
                                     : control.text.group == TEXT_CONFIG ? L"CONFIGURATION"
                                                                         : L"MESSAGEBOX";
            EXPECT_EQ(Text(item), LanguageText(expected.code, section, key.c_str()) +
                                      (control.text.trailingSpace ? L" " : L""));
        }
        const SKIN_RECT& want = ControlRect(control, expected.layout);
        const RECT got = ClientRect(item);
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
    const std::string name =
        std::string("skin") + std::to_string(expected.skin) + "-" + expected.code;
    CDriverRun run(name);
    StartTrayRun(run);

    run.PostToMain(WM_COMMAND, ID_TRAY_CONFIG);
    HWND dialog = run.WaitForDialog(IDC_CFG_SERVER_LIST, WINDOW_MS);
    ASSERT_NE(dialog, nullptr);
    Shoot(run, "configuration", dialog);
    {
        SCOPED_TRACE("configuration");
        ExpectLaidOut(dialog, SETUP_CONFIG, expected);
    }
    CDriverRun::Click(dialog, IDC_CFG_CANCEL);
    Sleep(300);

    run.PostToMain(WM_COMMAND, ID_TRAY_WIZARD);
    HWND wizard = run.WaitForDialog(ID_NEXT, WINDOW_MS);
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
        HWND page = WaitForPage(wizard, shown.control);
        ASSERT_NE(page, nullptr);
        Shoot(run, shown.shot, wizard);
        EXPECT_EQ(ShownPagePicture(page),
                  BackgroundBitmap(shown.window, expected.skin, expected.layout));
        ExpectLaidOut(page, shown.window, expected);
        if (shown.window != SETUP_CALIBRATE_PAGE)
            CDriverRun::Click(wizard, ID_NEXT);
    }
    {
        SCOPED_TRACE("frame");
        ExpectLaidOut(wizard, SETUP_WIZARD_FRAME, expected);
    }
    CDriverRun::Click(wizard, IDCANCEL);
    run.DescribeState();
    EXPECT_EQ(run.WaitForDialog(ID_NEXT, 0), nullptr);

    // The calibration's report, in the skin and the language.
    run.PostToMain(WM_COMMAND, ID_TRAY_CALIBRATE);
    const std::vector<SIM_OPTICS_CONFIG> optics = OpticsFor(Monitors(), 1);
    EXPECT_FALSE(TouchShownTargets(run, optics, 17).empty());
    if (HWND report = WaitForReportScreen(run, WINDOW_MS))
    {
        Shoot(run, "calibration-report", report);
        EXPECT_TRUE(TapUntilHidden(run, optics[0], 0, report, 512, 600));
    }
    else
    {
        ADD_FAILURE() << "no report after the calibration";
    }
    run.PostToMain(WM_COMMAND, ID_TRAY_EXIT);
    EXPECT_EQ(run.WaitForExit(WINDOW_MS), 0u);
}
} // namespace

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
