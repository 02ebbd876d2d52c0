#pragma once
// Cases of the profile reading and writing rules and of the settings file, shared by the
// native tests (portable store) and the Wine tests (Win32 profile functions), so both stores
// are held to the same results. Each case runs in a fresh CProfileWorld.

#include "calibration/CalibTables.h"
#include "calibration/CaptureSequence.h"
#include "device/DeviceGlobals.h"
#include "settings/Settings.h"
#include "shell/DriverState.h"
#include "tests/support/ProfileWorld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cwctype>
#include <ostream>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------
// Reading rules

struct PROFILE_READ_CASE
{
    const char* name;
    bool fileExists;
    std::string bytes;
    const wchar_t* section;
    const wchar_t* key;
    const wchar_t* defaultValue;
    std::size_t bufferChars;
    std::wstring expected;
};

inline void PrintTo(const PROFILE_READ_CASE& c, std::ostream* out)
{
    *out << c.name;
}

inline std::string CaseBytes(const char* text)
{
    return std::string(text);
}

// Bytes that hold no '[' and so no section, with every other byte value and zeros.
inline std::string BinaryBytes(std::size_t count, bool utf16Mark)
{
    std::string bytes = utf16Mark ? std::string("\xFF\xFE") : std::string(1, '\0');
    std::uint32_t state = 0x2545F491;
    while (bytes.size() < count)
    {
        state = state * 1664525u + 1013904223u;
        const char c = static_cast<char>(state >> 24);
        if (c != '[')
            bytes.push_back(c);
    }
    return bytes;
}

inline std::string Utf16BigEndianBytes(const char* ascii)
{
    std::string bytes = "\xFE\xFF";
    for (const char* p = ascii; *p != '\0'; ++p)
    {
        bytes.push_back('\0');
        bytes.push_back(*p);
    }
    return bytes;
}

inline std::vector<PROFILE_READ_CASE> ProfileReadCases()
{
    const std::string state = "[State]\r\nSave=1\r\n";
    const std::string quotes = "[S]\r\ndq=\"quoted text\"\r\nsq='single'\r\ntwice=\"\"twice\"\"\r\n"
                               "open=\"open\r\ninside=a\"b\"c\r\n";
    const std::string twoSections = "[S]\r\na=1\r\n[S]\r\na=2\r\nb=3\r\n";
    return {
        {"PlainValue", true, state, L"State", L"Save", L"", 64, L"1"},
        {"NamesIgnoreCase", true, "[sTaTe]\r\nsave=7\r\n", L"STATE", L"SAVE", L"", 64, L"7"},
        {"BlanksAroundNamesAndValueDropped", true, "  [State]  \r\n\t Save \t=  42 \t\r\n",
         L"State", L"Save", L"", 64, L"42"},
        {"RequestedNamesTrimmed", true, state, L" State ", L" Save ", L"", 64, L"1"},
        {"DoubleQuotesRemoved", true, quotes, L"S", L"dq", L"", 64, L"quoted text"},
        {"SingleQuotesRemoved", true, quotes, L"S", L"sq", L"", 64, L"single"},
        {"OnlyOnePairOfQuotesRemoved", true, quotes, L"S", L"twice", L"", 64, L"\"twice\""},
        {"UnmatchedQuoteKept", true, quotes, L"S", L"open", L"", 64, L"\"open"},
        {"InnerQuotesKept", true, quotes, L"S", L"inside", L"", 64, L"a\"b\"c"},
        {"FirstSectionOfANameWins", true, twoSections, L"S", L"a", L"none", 64, L"1"},
        {"LaterSectionOfTheSameNameNotSearched", true, twoSections, L"S", L"b", L"none", 64,
         L"none"},
        {"FirstKeyWins", true, "[S]\r\na=1\r\na=2\r\n", L"S", L"a", L"", 64, L"1"},
        {"KeyOfAnotherSectionNotFound", true, "[T]\r\na=1\r\n[S]\r\nb=2\r\n", L"S", L"a", L"none",
         64, L"none"},
        {"KeyBeforeAnySectionIgnored", true, "a=1\r\n[S]\r\nb=2\r\n", L"S", L"a", L"none", 64,
         L"none"},
        {"LineWithoutEqualsGivesDefault", true, "[S]\r\na\r\n", L"S", L"a", L"dflt", 64, L"dflt"},
        {"PresentEmptyValueIsNotDefault", true, "[S]\r\na=\r\n", L"S", L"a", L"dflt", 64, L""},
        {"ValueKeepsLaterEquals", true, "[S]\r\na=b=c\r\n", L"S", L"a", L"", 64, L"b=c"},
        {"CommentLineIsNoKey", true, "[S]\r\n;a=1\r\na=2\r\n", L"S", L"a", L"", 64, L"2"},
        {"BareLineFeeds", true, "[S]\na=1\nb=2\n", L"S", L"b", L"", 64, L"2"},
        {"NoFinalNewline", true, "[S]\r\na=5", L"S", L"a", L"", 64, L"5"},
        {"SectionNameEndsAtLastBracket", true, "[S]x]\r\na=1\r\n", L"S]x", L"a", L"", 64, L"1"},
        {"TextAfterSectionBracketIgnored", true, "[S] ; note\r\na=1\r\n", L"S", L"a", L"", 64,
         L"1"},
        {"ControlZIsBlank", true, "[S]\r\na=1\x1a", L"S", L"a", L"", 64, L"1"},
        {"BufferOfFiveReadsFourCharacters", true, "[State]\r\nSave=12345\r\n", L"State", L"Save",
         L"", 5, L"1234"},
        {"BufferOfThirtyReadsTwentyNineCharacters", true,
         "[V]\r\nv0=12345678901234567890123456789999\r\n", L"V", L"v0", L"", 30,
         L"12345678901234567890123456789"},
        {"DefaultCutToBuffer", true, state, L"State", L"Missing", L"abcdef", 4, L"abc"},
        {"DefaultLosesTrailingSpaces", true, state, L"State", L"Missing", L"abc  ", 64, L"abc"},
        {"MissingFileGivesDefault", false, "", L"State", L"Save", L"d", 64, L"d"},
        {"EmptyFileGivesDefault", true, "", L"State", L"Save", L"d", 64, L"d"},
        {"EmbeddedZeroEndsValue", true, std::string("[S]\r\na=1\0junk\r\n", 15), L"S", L"a", L"",
         64, L"1"},
        {"Utf16WithByteOrderMark", true,
         Utf16FileBytes(L"[TRAY ICON MENU]\r\nT1=\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a"
                        L"\u0438\r\n"),
         L"TRAY ICON MENU", L"T1", L"", 1024,
         L"\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0438"},
        {"Utf16RightToLeftText", true,
         Utf16FileBytes(L"[MESSAGEBOX]\r\nM2=\u062a\u0627\u0648\u0644\u0648 \u0627\u062c\u0631"
                        L"\u0627\u0633\u062a\r\n"),
         L"MESSAGEBOX", L"M2", L"", 1024,
         L"\u062a\u0627\u0648\u0644\u0648 \u0627\u062c\u0631\u0627\u0633\u062a"},
        {"Utf16BigEndian", true, Utf16BigEndianBytes("[S]\r\na=1\r\n"), L"S", L"a", L"", 64, L"1"},
        {"BinaryBytesGiveDefault", true, BinaryBytes(4096, false), L"State", L"Save", L"d", 64,
         L"d"},
        {"BinaryUtf16OfOddLengthGivesDefault", true, BinaryBytes(4097, true), L"State", L"Save",
         L"d", 64, L"d"},
    };
}

inline void RunProfileReadCase(CProfileWorld& world, const PROFILE_READ_CASE& c)
{
    const std::wstring path = world.m_folder.PathOf(L"case.ini");
    if (c.fileExists)
        world.m_folder.WriteBytes(L"case.ini", c.bytes);
    const std::wstring read =
        Platform().ReadProfileText(path, c.section, c.key, c.defaultValue, c.bufferChars);
    EXPECT_EQ(read, c.expected);
}

// ---------------------------------------------------------------------------------------
// Writing rules

struct PROFILE_CASE
{
    const char* name;
    void (*run)(CProfileWorld& world);
};

inline void PrintTo(const PROFILE_CASE& c, std::ostream* out)
{
    *out << c.name;
}

inline std::wstring ReadCase(const std::wstring& path, const wchar_t* section, const wchar_t* key)
{
    return Platform().ReadProfileText(path, section, key, L"(absent)", 256);
}

inline std::size_t CountNoCase(const std::wstring& text, const std::wstring& part)
{
    std::wstring lower = text;
    std::wstring lowerPart = part;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    for (wchar_t& c : lowerPart)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    std::size_t count = 0;
    for (std::size_t at = lower.find(lowerPart); at != std::wstring::npos;
         at = lower.find(lowerPart, at + 1))
    {
        ++count;
    }
    return count;
}

inline void WriteCreatesMissingFile(CProfileWorld& world)
{
    const std::wstring path = world.m_folder.PathOf(L"new.ini");
    EXPECT_TRUE(Platform().WriteProfileText(path, L"S", L"a", L"1"));
    EXPECT_TRUE(world.m_folder.Exists(L"new.ini"));
    EXPECT_EQ(ReadCase(path, L"S", L"a"), L"1");
}

inline const char* OTHER_CONTENT = "; kept comment\r\n[S]\r\na=1\r\nb=2\r\n\r\n[T]\r\nc=3\r\n";

inline void WriteReplacesValueAndKeepsTheRest(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"keep.ini", OTHER_CONTENT);
    const std::wstring path = world.m_folder.PathOf(L"keep.ini");
    EXPECT_TRUE(Platform().WriteProfileText(path, L"S", L"a", L"9"));
    EXPECT_EQ(ReadCase(path, L"S", L"a"), L"9");
    EXPECT_EQ(ReadCase(path, L"S", L"b"), L"2");
    EXPECT_EQ(ReadCase(path, L"T", L"c"), L"3");
    const std::wstring text = ProfileFileText(world.m_folder.ReadBytes(L"keep.ini"));
    EXPECT_NE(text.find(L"; kept comment"), std::wstring::npos);
    EXPECT_EQ(CountNoCase(text, L"a="), 1u);
}

inline void WriteAddsKeyToItsSection(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"add.ini", OTHER_CONTENT);
    const std::wstring path = world.m_folder.PathOf(L"add.ini");
    EXPECT_TRUE(Platform().WriteProfileText(path, L"S", L"z", L"5"));
    EXPECT_EQ(ReadCase(path, L"S", L"z"), L"5");
    EXPECT_EQ(ReadCase(path, L"T", L"z"), L"(absent)");
    EXPECT_EQ(ReadCase(path, L"T", L"c"), L"3");
    const std::wstring text = ProfileFileText(world.m_folder.ReadBytes(L"add.ini"));
    EXPECT_LT(text.find(L"z=5"), text.find(L"[T]"));
}

inline void WriteAddsSection(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"section.ini", OTHER_CONTENT);
    const std::wstring path = world.m_folder.PathOf(L"section.ini");
    EXPECT_TRUE(Platform().WriteProfileText(path, L"U", L"k", L"v"));
    EXPECT_EQ(ReadCase(path, L"U", L"k"), L"v");
    EXPECT_EQ(ReadCase(path, L"S", L"a"), L"1");
}

inline void WriteMatchesExistingKeyIgnoringCase(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"case.ini", "[state]\r\nSAVE=0\r\n");
    const std::wstring path = world.m_folder.PathOf(L"case.ini");
    EXPECT_TRUE(Platform().WriteProfileText(path, L"State", L"Save", L"1"));
    EXPECT_EQ(ReadCase(path, L"STATE", L"save"), L"1");
    const std::wstring text = ProfileFileText(world.m_folder.ReadBytes(L"case.ini"));
    EXPECT_EQ(CountNoCase(text, L"save="), 1u);
    EXPECT_EQ(CountNoCase(text, L"[state]"), 1u);
}

inline void WriteDropsLeadingBlanksOfValue(CProfileWorld& world)
{
    const std::wstring path = world.m_folder.PathOf(L"blank.ini");
    EXPECT_TRUE(Platform().WriteProfileText(path, L"S", L"a", L"  7"));
    EXPECT_EQ(ReadCase(path, L"S", L"a"), L"7");
}

inline void WriteKeepsUtf16File(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"wide.ini",
                              Utf16FileBytes(L"[S]\r\nt=\u0442\u0435\u0441\u0442\r\n"));
    const std::wstring path = world.m_folder.PathOf(L"wide.ini");
    EXPECT_TRUE(Platform().WriteProfileText(path, L"S", L"a", L"1"));
    const std::string bytes = world.m_folder.ReadBytes(L"wide.ini");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(ReadCase(path, L"S", L"t"), L"\u0442\u0435\u0441\u0442");
    EXPECT_EQ(ReadCase(path, L"S", L"a"), L"1");
}

inline void WriteChangesOnlyFirstOfDuplicateSections(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"dup.ini", "[S]\r\na=1\r\n[S]\r\na=2\r\n");
    const std::wstring path = world.m_folder.PathOf(L"dup.ini");
    EXPECT_TRUE(Platform().WriteProfileText(path, L"S", L"a", L"3"));
    EXPECT_EQ(ReadCase(path, L"S", L"a"), L"3");
    const std::wstring text = ProfileFileText(world.m_folder.ReadBytes(L"dup.ini"));
    EXPECT_NE(text.find(L"a=2"), std::wstring::npos);
}

inline std::vector<PROFILE_CASE> ProfileWriteCases()
{
    return {
        {"CreatesMissingFile", &WriteCreatesMissingFile},
        {"ReplacesValueAndKeepsTheRest", &WriteReplacesValueAndKeepsTheRest},
        {"AddsKeyToItsSection", &WriteAddsKeyToItsSection},
        {"AddsSection", &WriteAddsSection},
        {"MatchesExistingKeyIgnoringCase", &WriteMatchesExistingKeyIgnoringCase},
        {"DropsLeadingBlanksOfValue", &WriteDropsLeadingBlanksOfValue},
        {"KeepsUtf16File", &WriteKeepsUtf16File},
        {"ChangesOnlyFirstOfDuplicateSections", &WriteChangesOnlyFirstOfDuplicateSections},
    };
}

// ---------------------------------------------------------------------------------------
// The settings file

// Camera globals and calibration tables for one case, restored afterwards.
class CCameraSetup
{
public:
    explicit CCameraSetup(std::uint16_t cameras, std::int32_t settingsInDevice = 0)
    {
        ReleaseCalibTables();
        g_nDeviceCount = cameras;
        g_bSettingsInDevice = settingsInDevice;
        AllocateCalibTables(cameras);
    }
    ~CCameraSetup()
    {
        ReleaseCalibTables();
        g_nDeviceCount = 0;
        g_bSettingsInDevice = 0;
    }
    CCameraSetup(const CCameraSetup&) = delete;
    CCameraSetup& operator=(const CCameraSetup&) = delete;
};

// Values whose "%.18f" text reads back to the same double.
inline void FillNinePoint(CNinePointCalib& model, double base)
{
    for (int i = 0; i < 9; ++i)
        model.m_dH[i] = base + 0.1234567890123 * i - 3.0;
}

inline void FillSixteenPoint(CSixteenPointCalib& model, double base)
{
    for (int i = 0; i < PARAM_COUNT; ++i)
        model.m_dParam[i] = base - 0.7654321098765 * i + 1.5;
}

inline void ExpectNinePoint(const CNinePointCalib& model, double base)
{
    for (int i = 0; i < 9; ++i)
        EXPECT_DOUBLE_EQ(model.m_dH[i], base + 0.1234567890123 * i - 3.0) << "h" << i;
}

inline void ExpectSixteenPoint(const CSixteenPointCalib& model, double base)
{
    for (int i = 0; i < PARAM_COUNT; ++i)
        EXPECT_DOUBLE_EQ(model.m_dParam[i], base - 0.7654321098765 * i + 1.5) << "p" << i;
}

inline void PrepareState(CDriverState& state, CProfileWorld& world)
{
    state.m_strConfigPath = world.ConfigPath();
}

inline std::wstring ConfigValue(CProfileWorld& world, const wchar_t* section, const wchar_t* key)
{
    return Platform().ReadProfileText(world.ConfigPath(), section, key, L"(absent)", 256);
}

inline void SetEverySwitch(CDriverState& state, int value)
{
    state.m_bCalibrated = value;
    state.m_bCeilingMount = value;
    state.m_bRearProjection = value;
    state.m_nCalibModel = value;
    state.m_nInkoraPenMode = value;
    state.m_bStartProgram = value;
    state.m_nSelectServer = value;
    state.m_nRadioServer = value;
}

inline void FreshInstallationReadsEveryValueAsZero(CProfileWorld& world)
{
    CCameraSetup cameras(1);
    CDriverState state;
    PrepareState(state, world);
    SetEverySwitch(state, 7);
    LoadSettings(state);
    EXPECT_EQ(state.m_bCalibrated, 0);
    EXPECT_EQ(state.m_bCeilingMount, 0);
    EXPECT_EQ(state.m_bRearProjection, 0);
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_SIXTEEN);
    EXPECT_EQ(state.m_nInkoraPenMode, 0);
    EXPECT_EQ(state.m_bStartProgram, 0);
    EXPECT_EQ(state.m_nSelectServer, 0);
    EXPECT_EQ(state.m_nRadioServer, 0);
    EXPECT_FALSE(world.m_folder.Exists(L"Config.ini"));
}

inline void StateValuesRoundTripInTableOrder(CProfileWorld& world)
{
    CCameraSetup cameras(1);
    CDriverState saved;
    PrepareState(saved, world);
    saved.m_bCalibrated = 1;
    saved.m_bCeilingMount = 1;
    saved.m_bRearProjection = 0;
    saved.m_nCalibModel = CALIB_MODEL_NINE;
    saved.m_nInkoraPenMode = 2;
    saved.m_bStartProgram = 1;
    saved.m_nSelectServer = 17;
    saved.m_nRadioServer = -1;
    SaveSettings(saved);

    CDriverState loaded;
    PrepareState(loaded, world);
    LoadSettings(loaded);
    EXPECT_EQ(loaded.m_bCalibrated, 1);
    EXPECT_EQ(loaded.m_bCeilingMount, 1);
    EXPECT_EQ(loaded.m_bRearProjection, 0);
    EXPECT_EQ(loaded.m_nCalibModel, CALIB_MODEL_NINE);
    EXPECT_EQ(loaded.m_nInkoraPenMode, 2);
    EXPECT_EQ(loaded.m_bStartProgram, 1);
    EXPECT_EQ(loaded.m_nSelectServer, 17);
    EXPECT_EQ(loaded.m_nRadioServer, -1);

    const std::wstring text = ProfileFileText(world.m_folder.ReadBytes(L"Config.ini"));
    const wchar_t* order[] = {L"Save=1",           L"Check Ceiling=1", L"Check Rear=0",
                              L"Lens Angles=1",    L"Inkora=2",        L"Start Program=1",
                              L"Select Server=17", L"Radio Server=-1"};
    std::size_t previous = 0;
    for (const wchar_t* line : order)
    {
        const std::size_t at = text.find(line);
        ASSERT_NE(at, std::wstring::npos) << "missing";
        EXPECT_GT(at, previous);
        previous = at;
    }
}

inline void NinePointModelOnTwoCamerasWritesTwoVectorSections(CProfileWorld& world)
{
    world.m_platform.SetSingleMonitor(1280, 1024);
    CCameraSetup cameras(2);
    FillNinePoint(*NinePointCalibAt(0), 10.0);
    FillNinePoint(*NinePointCalibAt(1), 20.0);
    FillSixteenPoint(*SixteenPointCalibAt(0), 30.0);
    CDriverState state;
    PrepareState(state, world);
    state.m_nCalibModel = CALIB_MODEL_NINE;
    SaveSettings(state);

    for (int camera = 0; camera < 2; ++camera)
    {
        const std::wstring section = L"1280_1024_Vector" + std::to_wstring(camera);
        for (int i = 0; i < 9; ++i)
        {
            const std::wstring key = L"v" + std::to_wstring(i);
            const std::wstring value = ConfigValue(world, section.c_str(), key.c_str());
            EXPECT_NE(value, L"(absent)") << "camera " << camera << " key " << i;
            const std::size_t point = value.find(L'.');
            ASSERT_NE(point, std::wstring::npos);
            EXPECT_EQ(value.size() - point - 1, 18u) << "eighteen decimals";
        }
        EXPECT_EQ(ConfigValue(world, section.c_str(), L"v9"), L"(absent)");
    }
    const std::wstring text = ProfileFileText(world.m_folder.ReadBytes(L"Config.ini"));
    EXPECT_EQ(text.find(L"Param"), std::wstring::npos);
    EXPECT_EQ(CountNoCase(text, L"_Vector"), 2u);

    FillNinePoint(*NinePointCalibAt(0), 0.0);
    FillNinePoint(*NinePointCalibAt(1), 0.0);
    LoadCalibration(state);
    ExpectNinePoint(*NinePointCalibAt(0), 10.0);
    ExpectNinePoint(*NinePointCalibAt(1), 20.0);
    EXPECT_TRUE(NinePointCalibAt(0)->IsModelValid());
    EXPECT_TRUE(NinePointCalibAt(1)->IsModelValid());
}

inline void SixteenPointModelWritesParamSections(CProfileWorld& world)
{
    CCameraSetup cameras(1);
    FillSixteenPoint(*SixteenPointCalibAt(0), 4.0);
    CDriverState state;
    PrepareState(state, world);
    state.m_nCalibModel = CALIB_MODEL_SIXTEEN;
    SaveSettings(state);
    for (int i = 0; i < PARAM_COUNT; ++i)
    {
        const std::wstring key = L"p" + std::to_wstring(i);
        EXPECT_NE(ConfigValue(world, L"1024_768_Param0", key.c_str()), L"(absent)") << i;
    }
    const std::wstring text = ProfileFileText(world.m_folder.ReadBytes(L"Config.ini"));
    EXPECT_EQ(text.find(L"Vector"), std::wstring::npos);

    FillSixteenPoint(*SixteenPointCalibAt(0), 0.0);
    LoadCalibration(state);
    ExpectSixteenPoint(*SixteenPointCalibAt(0), 4.0);
}

inline void UnknownModelWritesNoCalibration(CProfileWorld& world)
{
    CCameraSetup cameras(1);
    CDriverState state;
    PrepareState(state, world);
    state.m_nCalibModel = 2;
    SaveSettings(state);
    EXPECT_EQ(ConfigValue(world, L"State", L"Lens Angles"), L"2");
    const std::wstring text = ProfileFileText(world.m_folder.ReadBytes(L"Config.ini"));
    EXPECT_EQ(text.find(L"Vector"), std::wstring::npos);
    EXPECT_EQ(text.find(L"Param"), std::wstring::npos);
}

inline void UncalibratedResolutionLeavesTablesUnchanged(CProfileWorld& world)
{
    world.m_platform.SetSingleMonitor(1280, 1024);
    CCameraSetup cameras(1);
    FillNinePoint(*NinePointCalibAt(0), 5.0);
    FillSixteenPoint(*SixteenPointCalibAt(0), 6.0);
    CDriverState state;
    PrepareState(state, world);
    state.m_nCalibModel = CALIB_MODEL_NINE;
    SaveSettings(state);
    state.m_nCalibModel = CALIB_MODEL_SIXTEEN;
    SaveSettings(state);

    world.m_platform.SetSingleMonitor(1024, 768);
    FillNinePoint(*NinePointCalibAt(0), 50.0);
    FillSixteenPoint(*SixteenPointCalibAt(0), 60.0);
    LoadCalibration(state);
    ExpectNinePoint(*NinePointCalibAt(0), 50.0);
    ExpectSixteenPoint(*SixteenPointCalibAt(0), 60.0);
    EXPECT_FALSE(NinePointCalibAt(0)->IsModelValid());
    EXPECT_FALSE(SixteenPointCalibAt(0)->IsModelValid());

    world.m_platform.SetSingleMonitor(1280, 1024);
    LoadCalibration(state);
    ExpectNinePoint(*NinePointCalibAt(0), 5.0);
    ExpectSixteenPoint(*SixteenPointCalibAt(0), 6.0);
}

inline void SaveKeepsOtherResolutions(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"Config.ini",
                              "[800_600_Vector0]\r\nv0=1.5\r\n[State]\r\nSave=0\r\n");
    CCameraSetup cameras(1);
    FillNinePoint(*NinePointCalibAt(0), 1.0);
    CDriverState state;
    PrepareState(state, world);
    state.m_nCalibModel = CALIB_MODEL_NINE;
    state.m_bCalibrated = 1;
    SaveSettings(state);
    EXPECT_EQ(ConfigValue(world, L"800_600_Vector0", L"v0"), L"1.5");
    EXPECT_EQ(ConfigValue(world, L"State", L"Save"), L"1");
    EXPECT_NE(ConfigValue(world, L"1024_768_Vector0", L"v8"), L"(absent)");
}

inline void DeviceOwnedKeysIgnoredWhenSettingsLiveInCamera(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"Config.ini",
                              "[State]\r\nSave=1\r\nCheck Ceiling=1\r\nCheck Rear=1\r\n"
                              "Lens Angles=1\r\nInkora=2\r\nStart Program=1\r\n"
                              "Select Server=3\r\nRadio Server=1\r\n");
    CCameraSetup cameras(1, 1);
    CDriverState state;
    PrepareState(state, world);
    state.m_bCalibrated = 0;
    state.m_bCeilingMount = 0;
    state.m_bRearProjection = 0;
    state.m_nCalibModel = CALIB_MODEL_SIXTEEN;
    state.m_nInkoraPenMode = 5;
    LoadSettings(state);
    EXPECT_EQ(state.m_bCalibrated, 0);
    EXPECT_EQ(state.m_bCeilingMount, 0);
    EXPECT_EQ(state.m_bRearProjection, 0);
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_SIXTEEN);
    EXPECT_EQ(state.m_nInkoraPenMode, 5);
    EXPECT_EQ(state.m_bStartProgram, 1);
    EXPECT_EQ(state.m_nSelectServer, 3);
    EXPECT_EQ(state.m_nRadioServer, 1);

    g_bSettingsInDevice = 0;
    LoadSettings(state);
    EXPECT_EQ(state.m_bCalibrated, 1);
    EXPECT_EQ(state.m_bCeilingMount, 1);
    EXPECT_EQ(state.m_bRearProjection, 1);
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_NINE);
    EXPECT_EQ(state.m_nInkoraPenMode, 2);

    // Two cameras never have their settings read from a camera, so the file keeps them
    // whatever the firmware says; otherwise a two-camera board would forget its calibration.
    CCameraSetup two(2, 1);
    CDriverState twoCameras;
    PrepareState(twoCameras, world);
    LoadSettings(twoCameras);
    EXPECT_EQ(twoCameras.m_bCalibrated, 1);
    EXPECT_EQ(twoCameras.m_nCalibModel, CALIB_MODEL_NINE);
}

inline void StateValuesReadFourCharactersAsAnInteger(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"Config.ini",
                              "[State]\r\nSelect Server=12345\r\nSave=7x\r\nInkora=abc\r\n"
                              "Lens Angles=-3\r\nRadio Server=+5\r\nStart Program=\r\n"
                              "Check Rear=\"2\"\r\n");
    CCameraSetup cameras(1);
    CDriverState state;
    PrepareState(state, world);
    SetEverySwitch(state, 9);
    LoadSettings(state);
    EXPECT_EQ(state.m_nSelectServer, 1234);
    EXPECT_EQ(state.m_bCalibrated, 7);
    EXPECT_EQ(state.m_nInkoraPenMode, 0);
    EXPECT_EQ(state.m_nCalibModel, -3);
    EXPECT_EQ(state.m_nRadioServer, 5);
    EXPECT_EQ(state.m_bStartProgram, 0);
    EXPECT_EQ(state.m_bRearProjection, 2);
    EXPECT_EQ(state.m_bCeilingMount, 0);
}

inline void LongCalibrationValueCutTo29Characters(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"Config.ini",
                              "[1024_768_Vector0]\r\nv0=12345678901234567890123456789999\r\n"
                              "v1=0.25\r\nv2=not a number\r\n");
    CCameraSetup cameras(1);
    NinePointCalibAt(0)->m_dH[2] = 42.0;
    NinePointCalibAt(0)->m_dH[3] = 43.0;
    CDriverState state;
    PrepareState(state, world);
    LoadCalibration(state);
    EXPECT_DOUBLE_EQ(NinePointCalibAt(0)->m_dH[0], 12345678901234567890123456789.0);
    EXPECT_EQ(NinePointCalibAt(0)->m_dH[1], 0.25);
    EXPECT_EQ(NinePointCalibAt(0)->m_dH[2], 42.0);
    EXPECT_EQ(NinePointCalibAt(0)->m_dH[3], 43.0);
}

inline void CorruptFileGivesDefaults(CProfileWorld& world)
{
    const std::string files[] = {BinaryBytes(8192, false), BinaryBytes(8191, true),
                                 std::string("\xEF\xBB\xBF\xC3\x28[State\r\nSave=\xFF\xFE"),
                                 std::string(300, '\0')};
    int serial = 0;
    for (const std::string& bytes : files)
    {
        SCOPED_TRACE(serial);
        // The state record's device controller releases the model tables with it.
        CCameraSetup cameras(1);
        // A file name of its own for each content, so no reader can answer from an earlier
        // one it has kept.
        const std::wstring name = L"Corrupt" + std::to_wstring(serial++) + L".ini";
        world.m_folder.WriteBytes(name, bytes);
        CDriverState state;
        state.m_strConfigPath = world.m_folder.PathOf(name);
        SetEverySwitch(state, 3);
        FillNinePoint(*NinePointCalibAt(0), 8.0);
        LoadSettings(state);
        LoadCalibration(state);
        EXPECT_EQ(state.m_bCalibrated, 0);
        EXPECT_EQ(state.m_nCalibModel, 0);
        EXPECT_EQ(state.m_nSelectServer, 0);
        ExpectNinePoint(*NinePointCalibAt(0), 8.0);
    }
}

inline void DisplayChangeReloadsOnlyCurrentModel(CProfileWorld& world)
{
    CCameraSetup cameras(1);
    FillNinePoint(*NinePointCalibAt(0), 2.0);
    FillSixteenPoint(*SixteenPointCalibAt(0), 3.0);
    CDriverState state;
    PrepareState(state, world);
    state.m_nCalibModel = CALIB_MODEL_NINE;
    SaveSettings(state);
    state.m_nCalibModel = CALIB_MODEL_SIXTEEN;
    SaveSettings(state);
    // The file now says model 0; change it back to 1 as a hand edit would.
    Platform().WriteProfileText(world.ConfigPath(), L"State", L"Lens Angles", L"1");

    FillNinePoint(*NinePointCalibAt(0), 70.0);
    FillSixteenPoint(*SixteenPointCalibAt(0), 80.0);
    ReloadSettingsAfterDisplayChange(state);
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_NINE);
    ExpectNinePoint(*NinePointCalibAt(0), 2.0);
    ExpectSixteenPoint(*SixteenPointCalibAt(0), 80.0);

    Platform().WriteProfileText(world.ConfigPath(), L"State", L"Lens Angles", L"0");
    FillNinePoint(*NinePointCalibAt(0), 70.0);
    ReloadSettingsAfterDisplayChange(state);
    ExpectNinePoint(*NinePointCalibAt(0), 70.0);
    ExpectSixteenPoint(*SixteenPointCalibAt(0), 3.0);
}

inline void MissingCalibrationKeyLeavesItsValue(CProfileWorld& world)
{
    world.m_folder.WriteBytes(L"Config.ini", "[1024_768_Param0]\r\np0=1.5\r\np12=-2.5\r\np5=\r\n");
    CCameraSetup cameras(1);
    FillSixteenPoint(*SixteenPointCalibAt(0), 9.0);
    CDriverState state;
    PrepareState(state, world);
    LoadCalibration(state);
    const CSixteenPointCalib& model = *SixteenPointCalibAt(0);
    EXPECT_EQ(model.m_dParam[0], 1.5);
    EXPECT_EQ(model.m_dParam[12], -2.5);
    for (int i = 1; i < 12; ++i)
        EXPECT_DOUBLE_EQ(model.m_dParam[i], 9.0 - 0.7654321098765 * i + 1.5) << "p" << i;
    EXPECT_TRUE(model.IsModelValid());
}

inline void CalibrationSaveHookWritesTheMainRecord(CProfileWorld& world)
{
    CCameraSetup cameras(1);
    CDriverState state;
    PrepareState(state, world);
    state.m_bCalibrated = 1;
    CDriverState* previous = g_pMainDlg;
    g_pMainDlg = nullptr;
    EXPECT_FALSE(SaveSettingsFile());
    EXPECT_FALSE(world.m_folder.Exists(L"Config.ini"));
    g_pMainDlg = &state;
    // Finishing a camera saves through the capture's hook; cancelling reloads through it.
    const CALIBRATION_HOOKS previousHooks = g_calibrationHooks;
    InstallCalibrationSettingsHooks();
    ASSERT_NE(g_calibrationHooks.pfnSaveSettings, nullptr);
    EXPECT_TRUE(g_calibrationHooks.pfnSaveSettings());
    EXPECT_EQ(ConfigValue(world, L"State", L"Save"), L"1");
    EXPECT_NE(ConfigValue(world, L"1024_768_Param0", L"p0"), L"(absent)");
    const double saved = SixteenPointCalibAt(0)->m_dParam[0];
    SixteenPointCalibAt(0)->m_dParam[0] = saved + 100.0;
    ASSERT_NE(g_calibrationHooks.pfnReloadCalibration, nullptr);
    g_calibrationHooks.pfnReloadCalibration();
    EXPECT_DOUBLE_EQ(SixteenPointCalibAt(0)->m_dParam[0], saved);
    g_calibrationHooks = previousHooks;
    g_pMainDlg = previous;
}

inline std::vector<PROFILE_CASE> SettingsCases()
{
    return {
        {"FreshInstallationReadsEveryValueAsZero", &FreshInstallationReadsEveryValueAsZero},
        {"StateValuesRoundTripInTableOrder", &StateValuesRoundTripInTableOrder},
        {"NinePointModelOnTwoCamerasWritesTwoVectorSections",
         &NinePointModelOnTwoCamerasWritesTwoVectorSections},
        {"SixteenPointModelWritesParamSections", &SixteenPointModelWritesParamSections},
        {"UnknownModelWritesNoCalibration", &UnknownModelWritesNoCalibration},
        {"UncalibratedResolutionLeavesTablesUnchanged",
         &UncalibratedResolutionLeavesTablesUnchanged},
        {"SaveKeepsOtherResolutions", &SaveKeepsOtherResolutions},
        {"DeviceOwnedKeysIgnoredWhenSettingsLiveInCamera",
         &DeviceOwnedKeysIgnoredWhenSettingsLiveInCamera},
        {"StateValuesReadFourCharactersAsAnInteger", &StateValuesReadFourCharactersAsAnInteger},
        {"LongCalibrationValueCutTo29Characters", &LongCalibrationValueCutTo29Characters},
        {"CorruptFileGivesDefaults", &CorruptFileGivesDefaults},
        {"DisplayChangeReloadsOnlyCurrentModel", &DisplayChangeReloadsOnlyCurrentModel},
        {"MissingCalibrationKeyLeavesItsValue", &MissingCalibrationKeyLeavesItsValue},
        {"CalibrationSaveHookWritesTheMainRecord", &CalibrationSaveHookWritesTheMainRecord},
    };
}

inline std::string ProfileCaseName(const ::testing::TestParamInfo<PROFILE_CASE>& info)
{
    return info.param.name;
}

inline std::string ProfileReadCaseName(const ::testing::TestParamInfo<PROFILE_READ_CASE>& info)
{
    return info.param.name;
}
