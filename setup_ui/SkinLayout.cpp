#include "setup_ui/SkinLayout.h"

#include "core/DriverState.h"
#include "core/Language.h"

namespace
{
constexpr TEXT_KEY W(int number, bool trailingSpace = false)
{
    return TEXT_KEY{TEXT_WIZARD, number, trailingSpace};
}
constexpr TEXT_KEY C(int number, bool trailingSpace = false)
{
    return TEXT_KEY{TEXT_CONFIG, number, trailingSpace};
}
constexpr TEXT_KEY M(int number)
{
    return TEXT_KEY{TEXT_MESSAGE, number, false};
}
constexpr TEXT_KEY NO_TEXT{};

constexpr SKIN_CONTROL MODEL_PAGE[] = {
    {1029, CONTROL_CAPTION, W(1), {215, 36, 150, 15}, {360, 36, 95, 15}},
    {1008, CONTROL_RADIO, W(16), {215, 65, 170, 15}, {290, 65, 170, 15}},
    {1031, CONTROL_DESCRIPTION, W(14), {216, 85, 263, 15}, {216, 85, 263, 15}},
    {1009, CONTROL_RADIO, W(15), {215, 105, 170, 15}, {290, 105, 170, 15}},
    {1030, CONTROL_DESCRIPTION, W(13), {216, 125, 263, 15}, {216, 125, 263, 15}},
};

constexpr SKIN_CONTROL OPTIONS_PAGE[] = {
    {1022, CONTROL_CAPTION, W(3), {215, 36, 150, 15}, {358, 36, 100, 15}},
    {1014, CONTROL_CHECK, W(4, true), {215, 65, 250, 15}, {280, 65, 180, 15}},
    {1011, CONTROL_CHECK, W(5, true), {215, 95, 250, 15}, {280, 95, 180, 15}},
    {1012, CONTROL_CHECK, C(6, true), {215, 125, 250, 15}, {280, 125, 180, 15}},
};

constexpr SKIN_CONTROL ALIGN_PAGE[] = {
    {1023, CONTROL_CAPTION, W(6), {215, 36, 150, 15}, {360, 36, 95, 15}},
};

constexpr SKIN_CONTROL CALIBRATE_PAGE[] = {
    {1025, CONTROL_CAPTION, W(8), {215, 36, 250, 15}, {360, 36, 95, 15}},
};

constexpr SKIN_CONTROL CONFIG[] = {
    {1026, CONTROL_CAPTION, C(2), {50, 32, 200, 15}, {127, 32, 170, 15}},
    {1012, CONTROL_RADIO, W(16), {50, 52, 200, 15}, {150, 52, 150, 15}},
    {1035, CONTROL_DESCRIPTION, W(14), {50, 68, 263, 15}, {50, 68, 263, 15}},
    {1009, CONTROL_RADIO, W(15), {50, 82, 200, 15}, {200, 82, 100, 15}},
    {1036, CONTROL_DESCRIPTION, W(13), {50, 98, 263, 15}, {50, 98, 263, 15}},
    {1027, CONTROL_CAPTION, C(3), {50, 158, 200, 15}, {190, 158, 100, 15}},
    {1014, CONTROL_CHECK, C(4), {50, 180, 250, 15}, {150, 180, 150, 15}},
    {1013, CONTROL_CHECK, C(5), {50, 205, 250, 15}, {50, 205, 250, 15}},
    {1037, CONTROL_CHECK, C(6), {50, 230, 250, 15}, {150, 230, 150, 15}},
    {1028, CONTROL_CAPTION, C(8), {50, 305, 150, 15}, {140, 305, 150, 15}},
    {1017, CONTROL_RADIO, C(9), {50, 325, 200, 15}, {150, 325, 150, 15}},
    {1010, CONTROL_RADIO, C(10), {50, 345, 200, 15}, {150, 345, 150, 15}},
    {1038, CONTROL_LIST, NO_TEXT, {60, 365, 200, 15}, {80, 365, 200, 15}},
    {1029, CONTROL_CAPTION, M(8), {30, 400, 170, 15}, {30, 400, 170, 15}},
    {1016, CONTROL_PUSH, C(7), {10, 440, 80, 25}, {10, 440, 80, 25}},
    {1007, CONTROL_PUSH, W(12), {160, 440, 80, 25}, {160, 440, 80, 25}},
    {1015, CONTROL_PUSH, W(11), {250, 440, 80, 25}, {250, 440, 80, 25}},
};

constexpr SKIN_CONTROL WIZARD_FRAME[] = {
    {12323, CONTROL_PUSH, W(9), {190, 310, 90, 25}, {190, 310, 90, 25}},
    {12324, CONTROL_PUSH, W(10), {290, 310, 90, 25}, {290, 310, 90, 25}},
    {2, CONTROL_PUSH, W(11), {390, 310, 90, 25}, {390, 310, 90, 25}},
    {12325, CONTROL_PUSH, W(12), {290, 310, 90, 25}, {290, 310, 90, 25}},
};

constexpr int MODEL_REPAINTS[] = {1008, 1009, 1029};
constexpr int OPTIONS_REPAINTS[] = {1011, 1014, 1012, 1022};
// The page's bitmap button, then its caption.
constexpr int ALIGN_REPAINTS[] = {1007, 1023};
constexpr int CALIBRATE_REPAINTS[] = {1007, 1025};
constexpr int CONFIG_REPAINTS[] = {1015, 1007, 1012, 1009, 1013, 1037, 1014, 1026, 1027};

constexpr const wchar_t* CAPTION_FACE = L"MS San Serif";
constexpr const wchar_t* TAHOMA_FACE = L"Tahoma";

bool HasSmallTahoma(SETUP_WINDOW window)
{
    return window == SETUP_MODEL_PAGE || window == SETUP_CONFIG;
}
} // namespace

std::span<const SKIN_CONTROL> SkinControls(SETUP_WINDOW window)
{
    switch (window)
    {
    case SETUP_MODEL_PAGE:
        return MODEL_PAGE;
    case SETUP_OPTIONS_PAGE:
        return OPTIONS_PAGE;
    case SETUP_ALIGN_PAGE:
        return ALIGN_PAGE;
    case SETUP_CALIBRATE_PAGE:
        return CALIBRATE_PAGE;
    case SETUP_CONFIG:
        return CONFIG;
    case SETUP_WIZARD_FRAME:
        return WIZARD_FRAME;
    }
    return {};
}

std::span<const int> RepaintedControls(SETUP_WINDOW window)
{
    switch (window)
    {
    case SETUP_MODEL_PAGE:
        return MODEL_REPAINTS;
    case SETUP_OPTIONS_PAGE:
        return OPTIONS_REPAINTS;
    case SETUP_ALIGN_PAGE:
        return ALIGN_REPAINTS;
    case SETUP_CALIBRATE_PAGE:
        return CALIBRATE_REPAINTS;
    case SETUP_CONFIG:
        return CONFIG_REPAINTS;
    case SETUP_WIZARD_FRAME:
        return {};
    }
    return {};
}

bool IsRightToLeft(int layout)
{
    return layout == LANG_LAYOUT_RIGHT_TO_LEFT;
}

const SKIN_RECT& ControlRect(const SKIN_CONTROL& control, int layout)
{
    return IsRightToLeft(layout) ? control.rightToLeft : control.leftToRight;
}

std::wstring ControlText(const CDriverState& state, const TEXT_KEY& key)
{
    const int index = key.number - 1;
    std::wstring text;
    switch (key.group)
    {
    case TEXT_WIZARD:
        if (index >= 0 && index < WIZARD_TEXT_COUNT)
            text = state.m_strWizardText[index];
        break;
    case TEXT_CONFIG:
        if (index >= 0 && index < CONFIG_TEXT_COUNT)
            text = state.m_strConfigText[index];
        break;
    case TEXT_MESSAGE:
        if (index >= 0 && index < MSG_TEXT_COUNT)
            text = state.m_strMsgText[index];
        break;
    case TEXT_NONE:
        return text;
    }
    if (key.trailingSpace)
        text += L' ';
    return text;
}

std::wstring TextKeyName(const TEXT_KEY& key)
{
    switch (key.group)
    {
    case TEXT_WIZARD:
        return L"W" + std::to_wstring(key.number);
    case TEXT_CONFIG:
        return L"C" + std::to_wstring(key.number);
    case TEXT_MESSAGE:
        return L"M" + std::to_wstring(key.number);
    case TEXT_NONE:
        break;
    }
    return std::wstring();
}

int BackgroundBitmap(SETUP_WINDOW window, std::uint16_t skin, int layout)
{
    switch (window)
    {
    case SETUP_MODEL_PAGE:
        return skin == SKIN_VELMARA ? 211 : skin == SKIN_FARSI ? 216 : 179;
    case SETUP_OPTIONS_PAGE:
        // Chosen by the layout, not the skin: the brand skin keeps the standard picture.
        return IsRightToLeft(layout) ? 216 : 179;
    case SETUP_ALIGN_PAGE:
        return skin == SKIN_VELMARA ? 209 : skin == SKIN_FARSI ? 217 : 176;
    case SETUP_CALIBRATE_PAGE:
        return skin == SKIN_VELMARA ? 210 : skin == SKIN_FARSI ? 218 : 178;
    case SETUP_CONFIG:
        return 180;
    case SETUP_WIZARD_FRAME:
        return 0;
    }
    return 0;
}

BUTTON_BITMAPS PageButtonBitmaps(SETUP_WINDOW window, std::uint16_t skin)
{
    if (window != SETUP_ALIGN_PAGE && window != SETUP_CALIBRATE_PAGE)
        return {};
    if (skin == SKIN_JAPANESE)
        return {205, 206};
    return window == SETUP_ALIGN_PAGE ? BUTTON_BITMAPS{200, 199} : BUTTON_BITMAPS{183, 182};
}

SKIN_FONT CaptionFont(SETUP_WINDOW window, int layout)
{
    if (layout != LANG_LAYOUT_TAHOMA)
        return {15, 6, CAPTION_FACE};
    return HasSmallTahoma(window) ? SKIN_FONT{13, 5, TAHOMA_FACE} : SKIN_FONT{15, 6, TAHOMA_FACE};
}

SKIN_FONT DescriptionFont(SETUP_WINDOW window, int layout)
{
    return {15, 6, CaptionFont(window, layout).face};
}

SKIN_FONT WizardButtonFont()
{
    return {15, 0, CAPTION_FACE};
}

std::uint32_t RightToLeftStyle(CONTROL_KIND kind)
{
    switch (kind)
    {
    case CONTROL_CAPTION:
    case CONTROL_DESCRIPTION:
        return 0x0002; // SS_RIGHT
    case CONTROL_CHECK:
    case CONTROL_RADIO:
        return 0x0220; // BS_RIGHTBUTTON | BS_RIGHT
    case CONTROL_LIST:
    case CONTROL_PUSH:
        return 0;
    }
    return 0;
}
