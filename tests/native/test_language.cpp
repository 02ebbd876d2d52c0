// Language code, skin and layout, the choice of the language file and the loading of its
// texts.

#include "core/DriverState.h"
#include "core/Language.h"
#include "setup_ui/SkinLayout.h"
#include "shell/Driver.h"
#include "shell/TrayMenu.h"
#include "tests/support/ProfileWorld.h"

#include <gtest/gtest.h>

#include <string>

TEST(LanguageLayout, SetsTheTrayMenusOrderAndTheConfigurationDialogsCaptionFont)
{
    struct LAYOUT_CASE
    {
        int layout;
        // Item type flags of every command, and the popup's track flags, as Windows has them.
        std::uint32_t itemFlags;
        std::uint32_t trackFlags;
        SKIN_FONT configCaption;
    };
    const LAYOUT_CASE cases[] = {
        {LANG_LAYOUT_ENGLISH, 0, 0x20, {15, 6, L"MS San Serif"}},
        {LANG_LAYOUT_TAHOMA, 0, 0x20, {13, 5, L"Tahoma"}},
        {LANG_LAYOUT_RIGHT_TO_LEFT, 0x6000, 0x28, {15, 6, L"MS San Serif"}},
    };
    CProfileWorld world;
    CDriver state;
    for (const LAYOUT_CASE& c : cases)
    {
        SCOPED_TRACE(c.layout);
        g_nLangLayout = c.layout;
        for (const TRAY_MENU_ITEM& item : TrayMenuItems(state))
            EXPECT_EQ(item.typeFlags, item.id == 0 ? 0u : c.itemFlags) << item.id;
        EXPECT_EQ(TrayTrackFlags(), c.trackFlags);
        const SKIN_FONT font = CaptionFont(SETUP_CONFIG, c.layout);
        EXPECT_EQ(font.height, c.configCaption.height);
        EXPECT_EQ(font.width, c.configCaption.width);
        EXPECT_EQ(std::wstring(font.face), c.configCaption.face);
    }
    g_nLangLayout = LANG_LAYOUT_DEFAULT;
}

TEST(LanguageChoice, PrimaryLanguageSelectsCodeLayoutSkinAndFileWithEnglishForAMissingFile)
{
    struct CHOICE_CASE
    {
        std::uint16_t languageId;
        const wchar_t* code;
        int layout;
        std::uint16_t skin;
    };
    // Each language once, most under a sublanguage other than the first: only the primary
    // language counts, and one without a code of its own reads as American English.
    const CHOICE_CASE cases[] = {
        {0x0804, L"CHS", 0, 0}, {0x0406, L"DAN", 0, 0}, {0x0807, L"DEU", 0, 0},
        {0x0C0A, L"ESN", 0, 0}, {0x0C0C, L"FRA", 2, 0}, {0x0410, L"ITA", 0, 0},
        {0x0411, L"JPN", 1, 1}, {0x0412, L"KOR", 0, 0}, {0x0415, L"PLK", 4, 4},
        {0x0816, L"PTB", 2, 0}, {0x0419, L"RUS", 0, 0}, {0x0C29, L"FAR", 5, 5},
        {0x0809, L"ENU", 3, 0}, {0x0413, L"ENU", 3, 0}, {0xFFFF, L"ENU", 3, 0},
    };
    for (const CHOICE_CASE& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << c.languageId);
        CProfileWorld world;
        // Every text names its code and key, e.g. "ENG W3".
        for (const std::wstring code : {L"DEU", L"ENG"})
            world.PutFile(
                L"language\\" + code + L".lng",
                LanguageFileText([&](const std::wstring& key) { return code + L" " + key; }));
        world.m_platform.m_nLanguageId = c.languageId;
        g_nLangLayout = -1;
        CDriver state;
        ChooseLanguage(state);
        EXPECT_EQ(state.m_strLangCode, c.code);
        EXPECT_EQ(g_nLangLayout, c.layout);
        EXPECT_EQ(state.m_nSkin, c.skin);
        // Only German has a file of its own here; the others keep their code, layout and skin
        // with the English file.
        const std::wstring file = std::wstring(c.code) == L"DEU" ? L"DEU" : L"ENG";
        EXPECT_EQ(std::wstring(state.m_iniLanguage.GetPath()),
                  world.PathOf(L"language\\" + file + L".lng"));
        EXPECT_EQ(state.m_strWizardText[2], file + L" W3");
        EXPECT_EQ(state.m_strCalibText[1], file + L" CW2");
    }
    g_nLangLayout = LANG_LAYOUT_DEFAULT;
}

TEST(LanguageTexts, ATextLongerThanItsBufferIsCutToIt)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    // As a platform that ignores the buffer's size would give them.
    platform.m_profileReader = [&](const std::wstring&, const std::wstring&,
                                   const std::wstring& key, const std::wstring&, std::size_t)
    { return key + std::wstring(2000, L'.'); };
    CDriver state;
    LoadLanguage(state, L"C:\\T\\language\\ENU.lng");
    EXPECT_EQ(state.m_strConfigText[9].size(), LANGUAGE_TEXT_CHARS - 1);
    EXPECT_EQ(state.m_strConfigText[9].substr(0, 4), L"C10.");
    EXPECT_EQ(state.m_strWizardText[15].substr(0, 4), L"W16.");
}
