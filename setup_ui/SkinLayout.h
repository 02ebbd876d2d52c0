#pragma once
// What the set-up windows show and where: for the wizard frame, its four pages and the
// configuration dialog, every control's text key, kind and pixel rectangle in both reading
// directions, the background picture and button bitmaps of each skin, and the caption fonts
// of each layout. The Win32 windows lay themselves out from these tables, and the text-fit
// check measures the same texts in the same rectangles.

#include <cstdint>
#include <span>
#include <string>

class CDriverState;

enum SETUP_WINDOW : int
{
    SETUP_MODEL_PAGE,
    SETUP_OPTIONS_PAGE,
    SETUP_ALIGN_PAGE,
    SETUP_CALIBRATE_PAGE,
    SETUP_CONFIG,
    SETUP_WIZARD_FRAME,
};

enum CONTROL_KIND : int
{
    // A static caption with the window's caption font.
    CONTROL_CAPTION,
    // A static description under a model choice, with the second font.
    CONTROL_DESCRIPTION,
    CONTROL_CHECK,
    CONTROL_RADIO,
    CONTROL_LIST,
    // A push button with the wizard's button font (frame) or the dialog's own (configuration).
    CONTROL_PUSH,
};

// Which language text a control shows.
enum TEXT_GROUP : int
{
    TEXT_NONE,
    TEXT_WIZARD,
    TEXT_CONFIG,
    TEXT_MESSAGE,
};

struct TEXT_KEY
{
    TEXT_GROUP group = TEXT_NONE;
    // As the key is named: W4 is 4.
    int number = 0;
    // The options page's check boxes show their text followed by one space.
    bool trailingSpace = false;
};

struct SKIN_RECT
{
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct SKIN_CONTROL
{
    int id = 0;
    CONTROL_KIND kind = CONTROL_CAPTION;
    TEXT_KEY text;
    SKIN_RECT leftToRight;
    SKIN_RECT rightToLeft;
};

struct SKIN_FONT
{
    int height = 0;
    int width = 0;
    const wchar_t* face = L"";
};

struct BUTTON_BITMAPS
{
    int up = 0;
    int down = 0;
};

// Size of a page and of the picture painted on it; the configuration dialog's picture.
constexpr SKIN_RECT PAGE_AREA{0, 0, 500, 300};
constexpr SKIN_RECT CONFIG_PICTURE_AREA{0, 0, 340, 480};
// The configuration dialog's window, and the wizard frame's window with its offset from the
// primary screen's centre.
constexpr int CONFIG_WINDOW_WIDTH = 345;
constexpr int CONFIG_WINDOW_HEIGHT = 500;
constexpr int WIZARD_WINDOW_WIDTH = 510;
constexpr int WIZARD_WINDOW_HEIGHT = 380;
constexpr int WIZARD_CENTRE_OFFSET_X = 250;
constexpr int WIZARD_CENTRE_OFFSET_Y = 150;
// Where a page puts its bitmap button; the button takes its bitmap's size.
constexpr int PAGE_BUTTON_X = 265;
constexpr int PAGE_BUTTON_Y = 225;

// The controls a window lays out, in the order it lays them out.
std::span<const SKIN_CONTROL> SkinControls(SETUP_WINDOW window);
// Controls repainted at once after the background picture.
std::span<const int> RepaintedControls(SETUP_WINDOW window);

bool IsRightToLeft(int layout);
const SKIN_RECT& ControlRect(const SKIN_CONTROL& control, int layout);
// The text a control shows with the loaded language, or an empty text for none.
std::wstring ControlText(const CDriverState& state, const TEXT_KEY& key);
// "W4", "C6", "M8"; empty for none.
std::wstring TextKeyName(const TEXT_KEY& key);

// Background bitmap of a window for the skin and layout; 0 for the frame, which has none.
int BackgroundBitmap(SETUP_WINDOW window, std::uint16_t skin, int layout);
// The bitmap button of the alignment and calibration pages; zeros for other windows.
BUTTON_BITMAPS PageButtonBitmaps(SETUP_WINDOW window, std::uint16_t skin);

// Captions, check boxes and radio buttons.
SKIN_FONT CaptionFont(SETUP_WINDOW window, int layout);
// The two descriptions of the model choices.
SKIN_FONT DescriptionFont(SETUP_WINDOW window, int layout);
// The wizard frame's Back, Next, Finish and Cancel.
SKIN_FONT WizardButtonFont();

// Style bits added in the right-to-left layout: statics are right-aligned, check boxes and
// radio buttons carry their box on the right. Values as Windows gives them.
std::uint32_t RightToLeftStyle(CONTROL_KIND kind);
constexpr std::uint32_t RIGHT_TO_LEFT_WINDOW_STYLE = 0x1000; // WS_EX_RIGHT
