// The settings file: what the driver writes into Config.ini and reads back from it, over
// profile files held in memory, and the INI reader's own guards.

#include "calibration/CalibTables.h"
#include "calibration/CaptureSequence.h"
#include "core/DriverState.h"
#include "core/IniFile.h"
#include "device/DeviceGlobals.h"
#include "settings/Settings.h"
#include "settings/SettingsFlows.h"
#include "shell/Driver.h"
#include "tests/support/ProfileWorld.h"

#include <array>
#include <gtest/gtest.h>

#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace
{
// Values whose "%.18f" text reads back to the same double: a camera's nine-point table from
// one base, its sixteen-point table from another.
void FillModels(std::uint16_t camera, double nine, double sixteen)
{
    for (int i = 0; i < 9; ++i)
        NinePointCalibAt(camera)->m_dH[i] = nine + 0.1234567890123 * i - 3.0;
    for (int i = 0; i < PARAM_COUNT; ++i)
        SixteenPointCalibAt(camera)->m_dParam[i] = sixteen - 0.7654321098765 * i + 1.5;
}

void ExpectModels(std::uint16_t camera, double nine, double sixteen)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_DOUBLE_EQ(NinePointCalibAt(camera)->m_dH[i], nine + 0.1234567890123 * i - 3.0)
            << "h" << i;
    for (int i = 0; i < PARAM_COUNT; ++i)
        EXPECT_DOUBLE_EQ(SixteenPointCalibAt(camera)->m_dParam[i],
                         sixteen - 0.7654321098765 * i + 1.5)
            << "p" << i;
}

// The [State] values in the file's order.
using SWITCHES = std::array<int, 8>;

SWITCHES Switches(const CDriverState& state)
{
    return {state.m_bCalibrated,   state.m_bCeilingMount,  state.m_bRearProjection,
            state.m_nCalibModel,   state.m_nInkoraPenMode, state.m_bStartProgram,
            state.m_nSelectServer, state.m_nRadioServer};
}

void SetSwitches(CDriverState& state, const SWITCHES& value)
{
    state.m_bCalibrated = value[0];
    state.m_bCeilingMount = value[1];
    state.m_bRearProjection = value[2];
    state.m_nCalibModel = value[3];
    state.m_nInkoraPenMode = value[4];
    state.m_bStartProgram = value[5];
    state.m_nSelectServer = value[6];
    state.m_nRadioServer = value[7];
}

class SettingsFile : public ::testing::Test
{
protected:
    SettingsFile() { m_state.m_strConfigPath = m_world.ConfigPath(); }
    ~SettingsFile() override
    {
        ReleaseCalibTables();
        g_nDeviceCount = 0;
        g_bSettingsInDevice = 0;
    }

    // Camera globals and calibration tables, until the next call or the end of the test.
    static void Cameras(std::uint16_t cameras, std::int32_t settingsInDevice = 0)
    {
        ReleaseCalibTables();
        g_nDeviceCount = cameras;
        g_bSettingsInDevice = settingsInDevice;
        AllocateCalibTables(cameras);
    }

    std::wstring Value(const std::wstring& section, const std::wstring& key) const
    {
        return FindProfileValue(Text(), section, key).value_or(L"(absent)");
    }
    std::wstring Text() const { return m_world.FileText(L"Config.ini").value_or(L""); }

    CProfileWorld m_world;
    CDriver m_state;
};
} // namespace

// Each camera's tables of either model go into sections of their own and load only at the
// resolution they were saved at; a display change reloads only the current model's.
TEST_F(SettingsFile, TwoCamerasKeepTablesOfEitherModelPerResolutionAndReloadTheCurrentOne)
{
    m_world.m_platform.SetSingleMonitor(1280, 1024);
    Cameras(2);
    FillModels(0, 10.0, 30.0);
    FillModels(1, 20.0, 40.0);
    m_state.m_nCalibModel = CALIB_MODEL_NINE;
    SaveSettings(m_state);

    for (int camera = 0; camera < 2; ++camera)
    {
        const std::wstring section = L"1280_1024_Vector" + std::to_wstring(camera);
        for (int i = 0; i < 9; ++i)
        {
            const std::wstring value = Value(section, L"v" + std::to_wstring(i));
            EXPECT_EQ(value.size() - value.find(L'.') - 1, 18u) << "camera " << camera << " v" << i;
        }
        EXPECT_EQ(Value(section, L"v9"), L"(absent)");
    }
    EXPECT_EQ(Text().find(L"Param"), std::wstring::npos);

    // The sixteen-point tables go into sections of their own beside the nine-point ones.
    m_state.m_nCalibModel = CALIB_MODEL_SIXTEEN;
    SaveSettings(m_state);
    FillModels(0, 0.0, 0.0);
    FillModels(1, 0.0, 0.0);
    LoadCalibration(m_state);
    ExpectModels(0, 10.0, 30.0);
    ExpectModels(1, 20.0, 40.0);
    for (std::uint16_t camera = 0; camera < 2; ++camera)
        EXPECT_TRUE(NinePointCalibAt(camera)->IsModelValid() &&
                    SixteenPointCalibAt(camera)->IsModelValid());

    // Fresh tables at another resolution load nothing.
    Cameras(2);
    m_world.m_platform.SetSingleMonitor(1024, 768);
    FillModels(0, 50.0, 60.0);
    LoadCalibration(m_state);
    ExpectModels(0, 50.0, 60.0);
    EXPECT_FALSE(NinePointCalibAt(0)->IsModelValid());
    EXPECT_FALSE(SixteenPointCalibAt(0)->IsModelValid());

    // The file now says model 0; change it back to 1 as a hand edit would.
    m_world.m_platform.SetSingleMonitor(1280, 1024);
    Platform().WriteProfileText(m_world.ConfigPath(), L"State", L"Lens Angles", L"1");
    FillModels(0, 70.0, 80.0);
    ReloadSettingsAfterDisplayChange(m_state);
    EXPECT_EQ(m_state.m_nCalibModel, CALIB_MODEL_NINE);
    ExpectModels(0, 10.0, 80.0);

    Platform().WriteProfileText(m_world.ConfigPath(), L"State", L"Lens Angles", L"0");
    FillModels(0, 70.0, 80.0);
    ReloadSettingsAfterDisplayChange(m_state);
    ExpectModels(0, 70.0, 30.0);
}

// What each model writes is read back by the tests around this one.
TEST_F(SettingsFile,
       StateValuesInTableOrderThenNoVectorSectionsForSixteenPointsNorTablesForAnUnknownModel)
{
    Cameras(1);
    for (const int model : {int{CALIB_MODEL_SIXTEEN}, 2})
    {
        CProfileWorld world;
        SetSwitches(m_state, {1, 1, 0, model, 2, 1, 17, -1});
        SaveSettings(m_state);
        const std::wstring text = world.FileText(L"Config.ini").value_or(L"");
        EXPECT_EQ(
            text.substr(0, text.find(L"[1024_768")),
            L"[State]\r\nSave=1\r\nCheck Ceiling=1\r\nCheck Rear=0\r\nLens Angles=" +
                std::to_wstring(model) +
                L"\r\nInkora=2\r\nStart Program=1\r\nSelect Server=17\r\nRadio Server=-1\r\n");
        EXPECT_EQ(text.find(L"Vector"), std::wstring::npos) << model;
        EXPECT_EQ(text.find(L"Param") != std::wstring::npos, model == CALIB_MODEL_SIXTEEN) << model;
    }
}

// Absent values read as 0, others by their first four characters as an integer; a single
// camera that keeps its own settings keeps its calibration, mounting and pen mode from the file.
TEST_F(SettingsFile, StateValuesReadFourCharactersAsAnIntegerAndACameraKeepsItsOwn)
{
    const std::wstring edited = L"[State]\r\nSelect Server=12345\r\nSave=7x\r\nInkora=abc\r\n"
                                L"Lens Angles=-3\r\nRadio Server=+5\r\nStart Program=\r\n";
    // Every key its own value, so a value read from another key's place shows.
    const std::wstring full = L"[State]\r\nSave=1\r\nCheck Ceiling=2\r\nCheck Rear=3\r\n"
                              L"Lens Angles=4\r\nInkora=5\r\nStart Program=6\r\n"
                              L"Select Server=7\r\nRadio Server=8\r\n";
    const struct
    {
        const std::wstring* file; // null: a fresh installation
        std::uint16_t cameras;
        std::int32_t inDevice;
        SWITCHES expected;
    } cases[] = {
        {nullptr, 1, 0, {0, 0, 0, CALIB_MODEL_SIXTEEN, 0, 0, 0, 0}},
        {&edited, 1, 0, {7, 0, 0, -3, 0, 0, 1234, 5}},
        {&full, 1, 1, {9, 9, 9, 9, 9, 6, 7, 8}},
        {&full, 1, 0, {1, 2, 3, 4, 5, 6, 7, 8}},
        // Two cameras never read their settings from a camera, so the file keeps them whatever
        // the firmware says; otherwise a two-camera board would forget its calibration.
        {&full, 2, 1, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        if (c.file != nullptr)
            m_world.PutFile(L"Config.ini", *c.file);
        Cameras(c.cameras, c.inDevice);
        SetSwitches(m_state, {9, 9, 9, 9, 9, 9, 9, 9});
        LoadSettings(m_state);
        EXPECT_EQ(Switches(m_state), c.expected);
        EXPECT_EQ(m_world.FileText(L"Config.ini").has_value(), c.file != nullptr);
    }
}

TEST_F(SettingsFile, CalibrationValuesAreCutTo29CharactersAndBadOrAbsentOnesKeepTheirValue)
{
    m_world.PutFile(L"Config.ini",
                    L"[1024_768_Vector0]\r\nv0=-123456789.12345678901234567899999\r\n"
                    L"v1=0.25\r\nv2=not a number\r\nv4=\r\n");
    Cameras(1);
    double* h = NinePointCalibAt(0)->m_dH;
    for (int i = 2; i <= 4; ++i)
        h[i] = 40.0 + i;
    m_state.m_nCalibModel = CALIB_MODEL_NINE;
    EXPECT_TRUE(LoadCalibration(m_state));
    EXPECT_DOUBLE_EQ(h[0], -123456789.123456789012345678);
    EXPECT_EQ(std::vector<double>(h + 1, h + 5), (std::vector<double>{0.25, 42.0, 43.0, 44.0}));
    EXPECT_TRUE(NinePointCalibAt(0)->IsModelValid());
    EXPECT_FALSE(SixteenPointCalibAt(0)->IsModelValid());
}

TEST_F(SettingsFile, ValuesThatCannotMapAreNoCalibrationAndAreNeverWrittenBack)
{
    const struct
    {
        const wchar_t* value;
        bool calibrated;
    } cases[] = {
        {L"0.5", true},  {L"-999999.25", true}, {L"nan", false},   {L"-nan", false},
        {L"inf", false}, {L"-inf", false},      {L"1e999", false}, {L"-1e999", false},
        {L"1e9", false}, {L"INF", false},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::string(c.value, c.value + wcslen(c.value)));
        CProfileWorld world;
        CDriver state;
        state.m_strConfigPath = world.ConfigPath();
        std::wstring file = L"[State]\r\nSave=1\r\nLens Angles=1\r\n[1024_768_Vector0]\r\n";
        for (int i = 0; i < 9; ++i)
            file += L"v" + std::to_wstring(i) + L"=" + (i == 4 ? c.value : L"1.5") + L"\r\n";
        world.PutFile(L"Config.ini", file);
        Cameras(1);
        NinePointCalibAt(0)->m_dH[4] = 44.0;
        (void)LoadStartupSettings(state);
        EXPECT_EQ(state.m_bCalibrated, c.calibrated ? 1 : 0);
        EXPECT_EQ(NinePointCalibAt(0)->IsModelValid(), c.calibrated);
        EXPECT_TRUE(c.calibrated || NinePointCalibAt(0)->m_dH[4] == 44.0) << "value overwritten";

        // A table holding such a value, as a failed solve may leave it, is not written out.
        NinePointCalibAt(0)->m_dH[4] = std::wcstod(c.value, nullptr);
        CProfileWorld fresh;
        state.m_strConfigPath = fresh.ConfigPath();
        SaveSettings(state);
        const std::wstring saved = fresh.FileText(L"Config.ini").value_or(L"");
        EXPECT_EQ(FindProfileValue(saved, L"State", L"Save"), c.calibrated ? L"1" : L"0");
        EXPECT_EQ(FindProfileValue(saved, L"1024_768_Vector0", L"v0").has_value(), c.calibrated);
    }
}

TEST_F(SettingsFile, CalibrationSaveHookWritesTheMainRecord)
{
    Cameras(1);
    m_state.m_bCalibrated = 1;
    CDriverState* previous = g_pMainDlg;
    g_pMainDlg = nullptr;
    EXPECT_FALSE(SaveSettingsFile());
    EXPECT_FALSE(m_world.FileText(L"Config.ini").has_value());
    g_pMainDlg = &m_state;
    // Finishing a camera saves through the capture's hook; cancelling reloads through it.
    CALIBRATION_HOOKS hooks;
    AddCalibrationSettingsHooks(hooks);
    ASSERT_NE(hooks.pfnSaveSettings, nullptr);
    EXPECT_TRUE(hooks.pfnSaveSettings());
    EXPECT_EQ(Value(L"State", L"Save"), L"1");
    EXPECT_NE(Value(L"1024_768_Param0", L"p0"), L"(absent)");
    const double saved = SixteenPointCalibAt(0)->m_dParam[0];
    SixteenPointCalibAt(0)->m_dParam[0] = saved + 100.0;
    ASSERT_NE(hooks.pfnReloadCalibration, nullptr);
    hooks.pfnReloadCalibration();
    EXPECT_DOUBLE_EQ(SixteenPointCalibAt(0)->m_dParam[0], saved);
    g_pMainDlg = previous;
}

// A save cut off after any number of file operations (a kill, a power cut), or with any one of
// them failing (a full disk), leaves Config.ini as the old settings or the new ones, whole: never
// a mix, never empty. The next save after a cut-off one writes the new settings whole.
TEST_F(SettingsFile, SaveCutOffAnywhereLeavesTheOldOrTheNewFileWhole)
{
    Cameras(2);
    CFakePlatform& platform = m_world.m_platform;
    const auto setValues = [&](int value)
    {
        SetSwitches(m_state, {value, value, value, value, value, value, value, value});
        m_state.m_nCalibModel = CALIB_MODEL_NINE;
        FillModels(0, value, value);
        FillModels(1, 10.0 * value, value);
    };
    setValues(1);
    SaveSettings(m_state);
    const std::wstring oldText = Text();
    setValues(2);
    SaveSettings(m_state);
    const std::wstring newText = Text();
    ASSERT_NE(oldText, newText);

    // Every operation on the files, counted; from operation `cut` on, each one fails without
    // effect (a process that stopped), or only that one does (a write that failed).
    const auto remover = platform.m_fileRemover;
    int operations = 0;
    int cut = 0;
    bool stopped = true;
    const auto allowed = [&]
    {
        const int index = operations++;
        return stopped ? index < cut : index != cut;
    };
    const auto counted = [&allowed](auto& hook) {
        hook = [&allowed, inner = hook](const auto&... args)
        { return allowed() && inner(args...); };
    };
    counted(platform.m_profileWriter);
    counted(platform.m_fileCopier);
    counted(platform.m_fileMover);
    counted(platform.m_fileRemover);

    int cuts = 0;
    for (const bool oldFileExists : {true, false})
    {
        for (const bool stop : {true, false})
        {
            for (int at = 0;; ++at)
            {
                SCOPED_TRACE(testing::Message() << "old file " << oldFileExists << ", stop " << stop
                                                << ", cut at operation " << at);
                m_world.PutFile(L"Config.ini", oldText);
                if (!oldFileExists)
                    (void)remover(m_world.ConfigPath());
                operations = 0;
                cut = at;
                stopped = stop;
                SaveSettings(m_state);
                const std::optional<std::wstring> text = m_world.FileText(L"Config.ini");
                if (oldFileExists)
                    EXPECT_TRUE(text == oldText || text == newText);
                else
                    EXPECT_TRUE(!text.has_value() || text == newText);
                if (at >= operations)
                {
                    EXPECT_EQ(text, newText);
                    break;
                }
                ++cuts;
                stopped = false;
                cut = -1;
                SaveSettings(m_state);
                EXPECT_EQ(m_world.FileText(L"Config.ini"), newText) << "the save after";
            }
        }
    }
    EXPECT_GE(cuts, 100);
}

// The path is cut to its buffer; a platform that ignores the buffer size and hands back far too
// much is cut to the caller's; writes go to the stored path, and a null value writes nothing.
TEST(IniFile, PathReadsAndWritesStayInTheirBuffersAndGoToTheStoredPath)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    CIniFile ini;
    EXPECT_STREQ(ini.GetPath(), L"");
    const std::wstring exact(INI_PATH_CHARS - 1, L'a');
    EXPECT_EQ(std::wstring(ini.SetPath(exact.c_str())), exact);
    const std::wstring longer = L"C:\\" + std::wstring(400, L'b') + L"\\Config.ini";
    EXPECT_EQ(std::wstring(ini.SetPath(longer.c_str())), longer.substr(0, INI_PATH_CHARS - 1));
    EXPECT_STREQ(ini.SetPath(nullptr), L"");

    std::wstring seenDefault = L"unset";
    std::size_t seenSize = 0;
    platform.m_profileReader = [&](const std::wstring&, const std::wstring&, const std::wstring&,
                                   const std::wstring& defaultValue, std::size_t bufferChars)
    {
        seenDefault = defaultValue;
        seenSize = bufferChars;
        return std::wstring(100, L'x');
    };
    std::vector<std::wstring> writes;
    platform.m_profileWriter = [&](const std::wstring& path, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& value)
    {
        writes.push_back(path + L"|" + section + L"|" + key + L"|" + value);
        return true;
    };
    ini.SetPath(L"D:\\x\\Config.ini");
    wchar_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(ini.ReadString(L"S", L"k", nullptr, buffer, 5), 4u);
    EXPECT_EQ(std::wstring(buffer), L"xxxx");
    EXPECT_EQ(buffer[5], L'#');
    EXPECT_EQ(seenDefault, L"");
    EXPECT_EQ(seenSize, 5u);
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(ini.ReadString(L"S", L"k", L"d", buffer, 0), 0u);
    EXPECT_EQ(buffer[0], L'#');

    EXPECT_TRUE(ini.WriteString(L"State", L"Save", L"1"));
    EXPECT_FALSE(ini.WriteString(L"State", L"Save", nullptr));
    EXPECT_FALSE(ini.WriteString(nullptr, L"Save", L"1"));
    EXPECT_EQ(writes, std::vector<std::wstring>{L"D:\\x\\Config.ini|State|Save|1"});
}

TEST(SettingsText, ConvertsAsWtoiDoes)
{
    EXPECT_EQ(TextToInt(nullptr), 0);
    EXPECT_EQ(TextToInt(L""), 0);
    EXPECT_EQ(TextToInt(L"1234"), 1234);
    EXPECT_EQ(TextToInt(L"  \t-42z"), -42);
    EXPECT_EQ(TextToInt(L"- 7"), 0);
    EXPECT_EQ(TextToInt(L"x1"), 0);
    EXPECT_EQ(TextToInt(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(TextToInt(L"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(TextToInt(L"-99999999999"), -2147483647 - 1);
}
