// Every text the set-up windows show, measured with the font its control gets, against the
// width of its place in the layout of the system language (run once per language: Wine takes
// the system language, and the fonts it falls back to, from the locale).

#include "core/Language.h"
#include "setup_ui/SkinLayout.h"
#include "setup_ui/win32/SkinToolkit.h"
#include "tests/wine_support/DriverRun.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{
// Room a check box or radio button keeps for its box and the gap after it, and a push button
// for its frame.
constexpr int BOX_ROOM = 17;
constexpr int PUSH_ROOM = 8;
// The configuration dialog's push buttons keep the dialog's own font (8 points at 96 DPI).
const SKIN_FONT CONFIG_DIALOG_FONT{-11, 0, L"MS Sans Serif"};

SKIN_FONT FontOf(SETUP_WINDOW window, CONTROL_KIND kind, int layout)
{
    if (kind == CONTROL_DESCRIPTION)
        return DescriptionFont(window, layout);
    if (kind == CONTROL_PUSH)
        return window == SETUP_WIZARD_FRAME ? WizardButtonFont() : CONFIG_DIALOG_FONT;
    return CaptionFont(window, layout);
}

int Room(const SKIN_CONTROL& control, int layout)
{
    const int width = ControlRect(control, layout).width;
    if (control.kind == CONTROL_CHECK || control.kind == CONTROL_RADIO)
        return width - BOX_ROOM;
    return control.kind == CONTROL_PUSH ? width - PUSH_ROOM : width;
}

int TextWidth(HDC dc, const SKIN_FONT& skinFont, const std::wstring& text)
{
    HFONT font = CreateSkinFont(skinFont);
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    DeleteObject(font);
    return size.cx;
}
} // namespace

TEST(SetupTextFit, EveryTextOfTheSystemLanguageFitsItsPlace)
{
    const std::wstring code = LanguageCodeFor(GetSystemDefaultLangID());
    const int layout = LayoutForCode(code);
    std::vector<std::string> files{Narrow(code)};
    // Systems without a file of their own show the English one.
    if (code == L"ENU")
        files.push_back("ENG");
    HDC dc = CreateCompatibleDC(nullptr);
    int measured = 0;
    for (const std::string& file : files)
    {
        for (const SETUP_WINDOW window : {SETUP_MODEL_PAGE, SETUP_OPTIONS_PAGE, SETUP_ALIGN_PAGE,
                                          SETUP_CALIBRATE_PAGE, SETUP_CONFIG, SETUP_WIZARD_FRAME})
        {
            for (const SKIN_CONTROL& control : SkinControls(window))
            {
                // M8's static is never visible.
                if (control.text.group == TEXT_NONE || control.text.group == TEXT_MESSAGE)
                    continue;
                const std::string key = Narrow(TextKeyName(control.text));
                const std::wstring text = ShippedText(file, control.text);
                ASSERT_FALSE(text.empty()) << "no " << key;
                const int width = TextWidth(dc, FontOf(window, control.kind, layout), text);
                EXPECT_LE(width, Room(control, layout))
                    << file << " " << key << " in window " << int(window) << ", control "
                    << control.id << ": " << width << " px";
                ++measured;
            }
        }
    }
    DeleteDC(dc);
    std::printf("%ls: %d texts measured\n", code.c_str(), measured);
}
