// Language code, skin and layout, the choice of the language file and the loading of its
// texts.

#include "settings/Language.h"
#include "shell/DriverState.h"
#include "tests/support/ProfileWorld.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// A language file whose every text names its code and key, e.g. "ENG W3".
std::wstring TaggedLanguageFile(const std::wstring& code)
{
    std::wstring text;
    for (const LANGUAGE_SECTION& section : LANGUAGE_SECTIONS)
    {
        text += L"[" + std::wstring(section.name) + L"]\r\n";
        for (int n = 1; n <= section.keyCount; ++n)
        {
            const std::wstring key = section.keyPrefix + std::to_wstring(n);
            text += key + L"=" + code + L" " + key + L"\r\n";
        }
    }
    return text;
}

void PutLanguageFile(CProfileWorld& world, const std::wstring& code)
{
    world.PutFile(L"language\\" + code + L".lng", TaggedLanguageFile(code));
}
} // namespace

TEST(LanguageCode, OnlyThePrimaryLanguageCounts)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    // Each language once, most under a sublanguage other than the first: only the primary
    // language counts, and one without a code of its own reads as American English.
    const std::pair<std::uint16_t, const wchar_t*> cases[] = {
        {0x0804, L"CHS"}, {0x0406, L"DAN"}, {0x0807, L"DEU"}, {0x0C0A, L"ESN"}, {0x0C0C, L"FRA"},
        {0x0410, L"ITA"}, {0x0411, L"JPN"}, {0x0412, L"KOR"}, {0x0415, L"PLK"}, {0x0816, L"PTB"},
        {0x0419, L"RUS"}, {0x0C29, L"FAR"}, {0x0809, L"ENU"}, {0x0413, L"ENU"}, {0xFFFF, L"ENU"},
    };
    for (const auto& [languageId, code] : cases)
    {
        platform.m_nLanguageId = languageId;
        EXPECT_EQ(GetLanguageCode(), code) << std::hex << languageId;
    }
}

TEST(LanguageCode, CodeSelectsLayoutAndSkin)
{
    struct SELECTOR_CASE
    {
        const wchar_t* code;
        int layout;
        std::uint16_t skin;
    };
    const SELECTOR_CASE cases[] = {
        {L"CHS", 0, 0}, {L"DAN", 0, 0}, {L"DEU", 0, 0}, {L"ESN", 0, 0}, {L"FRA", 2, 0},
        {L"ITA", 0, 0}, {L"JPN", 1, 1}, {L"KOR", 0, 0}, {L"PLK", 4, 4}, {L"PTB", 2, 0},
        {L"RUS", 0, 0}, {L"FAR", 5, 5}, {L"ENU", 3, 0}, {L"ENG", 0, 0},
    };
    for (const SELECTOR_CASE& c : cases)
    {
        EXPECT_EQ(LayoutForCode(c.code), c.layout) << std::wstring(c.code).c_str();
        EXPECT_EQ(SkinForCode(c.code), c.skin);
    }
}

TEST(LanguageChoice, OwnFileIsUsedWhenPresent)
{
    CProfileWorld world;
    PutLanguageFile(world, L"DEU");
    PutLanguageFile(world, L"ENG");
    world.m_platform.m_nLanguageId = 0x0407;
    CDriverState state;
    ChooseLanguage(state);
    EXPECT_EQ(state.m_strLangCode, L"DEU");
    EXPECT_EQ(std::wstring(state.m_iniLanguage.GetPath()), world.PathOf(L"language\\DEU.lng"));
    EXPECT_EQ(state.m_strTrayText[0], L"DEU T1");
    EXPECT_EQ(state.m_strMsgText[11], L"DEU M12");
}

TEST(LanguageChoice, MissingFileFallsBackToEnglishAndKeepsTheCode)
{
    struct FALLBACK_CASE
    {
        std::uint16_t languageId;
        const wchar_t* code;
        int layout;
        std::uint16_t skin;
    };
    // Korean has no file here; Polish keeps its brand skin, Farsi its right-to-left layout.
    const FALLBACK_CASE cases[] = {
        {0x0412, L"KOR", LANG_LAYOUT_DEFAULT, SKIN_STANDARD},
        {0x0415, L"PLK", LANG_LAYOUT_POLISH, SKIN_VELMARA},
        {0x0429, L"FAR", LANG_LAYOUT_RIGHT_TO_LEFT, SKIN_FARSI},
    };
    for (const FALLBACK_CASE& c : cases)
    {
        CProfileWorld world;
        PutLanguageFile(world, L"ENG");
        world.m_platform.m_nLanguageId = c.languageId;
        g_nLangLayout = -1;
        CDriverState state;
        ChooseLanguage(state);
        EXPECT_EQ(state.m_strLangCode, c.code);
        EXPECT_EQ(g_nLangLayout, c.layout);
        EXPECT_EQ(state.m_nSkin, c.skin);
        EXPECT_EQ(std::wstring(state.m_iniLanguage.GetPath()), world.PathOf(L"language\\ENG.lng"));
        EXPECT_EQ(state.m_strWizardText[2], L"ENG W3");
        EXPECT_EQ(state.m_strCalibText[1], L"ENG CW2");
    }
    g_nLangLayout = LANG_LAYOUT_DEFAULT;
}

TEST(LanguageChoice, NoFileAtAllLeavesOnlyTheBuiltInMessages)
{
    CProfileWorld world;
    world.m_platform.m_nLanguageId = 0x0411;
    CDriverState state;
    state.m_strTrayText[0] = L"stale";
    ChooseLanguage(state);
    EXPECT_EQ(state.m_strLangCode, L"JPN");
    EXPECT_EQ(state.m_nSkin, SKIN_JAPANESE);
    for (const std::wstring& text : state.m_strTrayText)
        EXPECT_EQ(text, L"");
    for (const std::wstring& text : state.m_strWizardText)
        EXPECT_EQ(text, L"");
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(state.m_strMsgText[i], L"") << "M" << i + 1;
    // M9 to M12 have built-in texts of their own.
    for (int i = 8; i < 12; ++i)
    {
        EXPECT_FALSE(state.m_strMsgText[i].empty()) << "M" << i + 1;
        EXPECT_NE(state.m_strMsgText[i], state.m_strMsgText[i == 8 ? 11 : i - 1]);
    }
    g_nLangLayout = LANG_LAYOUT_DEFAULT;
}

TEST(LanguageTexts, PresentButEmptyKeyStaysEmpty)
{
    CProfileWorld world;
    world.PutFile(L"x.lng", L"[MESSAGEBOX]\r\nM1=Kamera?\r\nM9=\r\nM11=  \r\n"
                            L"[TRAY ICON MENU]\r\nT7=\r\n");
    CDriverState builtIn;
    LoadLanguage(builtIn, world.PathOf(L"none.lng"));
    CDriverState state;
    state.m_strTrayText[6] = L"stale";
    LoadLanguage(state, world.PathOf(L"x.lng"));
    EXPECT_EQ(state.m_strMsgText[0], L"Kamera?");
    EXPECT_EQ(state.m_strMsgText[8], L"");
    EXPECT_EQ(state.m_strMsgText[9], builtIn.m_strMsgText[9]);
    EXPECT_EQ(state.m_strMsgText[10], L"");
    EXPECT_EQ(state.m_strMsgText[11], builtIn.m_strMsgText[11]);
    EXPECT_EQ(state.m_strTrayText[6], L"");
}

TEST(LanguageTexts, FortyEightReadsAndOnlyTheLastFourMessagesHaveDefaults)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    int reads = 0;
    std::vector<std::wstring> defaulted;
    platform.m_profileReader = [&](const std::wstring& path, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& defaultValue,
                                   std::size_t bufferChars)
    {
        EXPECT_EQ(path, L"C:\\T\\language\\ENU.lng");
        EXPECT_EQ(bufferChars, LANGUAGE_TEXT_CHARS);
        ++reads;
        if (!defaultValue.empty())
            defaulted.push_back(section + L"/" + key);
        // A text longer than the buffer, as a platform that ignores the size would give.
        return key + std::wstring(2000, L'.');
    };
    CDriverState state;
    LoadLanguage(state, L"C:\\T\\language\\ENU.lng");
    EXPECT_EQ(reads, 58);
    std::vector<std::wstring> builtIn = {L"MESSAGEBOX/M9", L"MESSAGEBOX/M10", L"MESSAGEBOX/M11",
                                         L"MESSAGEBOX/M12"};
    for (int n = 1; n <= REPORT_TEXT_COUNT; ++n)
        builtIn.push_back(L"CALIBRATION REPORT/CR" + std::to_wstring(n));
    EXPECT_EQ(defaulted, builtIn);

    EXPECT_EQ(state.m_strConfigText[9].size(), LANGUAGE_TEXT_CHARS - 1);
    EXPECT_EQ(state.m_strConfigText[9].substr(0, 4), L"C10.");
    EXPECT_EQ(state.m_strCalibText[2].substr(0, 4), L"CW3.");
    EXPECT_EQ(state.m_strWizardText[15].substr(0, 4), L"W16.");
}
