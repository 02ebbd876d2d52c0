#include "core/Language.h"

#include "core/DriverState.h"
#include "platform/Platform.h"

#include <iterator>

int g_nLangLayout = LANG_LAYOUT_DEFAULT;

namespace
{
struct LANGUAGE_CODE
{
    std::uint16_t primaryId;
    const wchar_t* code;
};

constexpr LANGUAGE_CODE LANGUAGE_CODES[] = {
    {0x04, L"CHS"}, {0x06, L"DAN"}, {0x07, L"DEU"}, {0x0A, L"ESN"}, {0x0C, L"FRA"}, {0x10, L"ITA"},
    {0x11, L"JPN"}, {0x12, L"KOR"}, {0x15, L"PLK"}, {0x16, L"PTB"}, {0x19, L"RUS"}, {0x29, L"FAR"},
};

constexpr const wchar_t* FALLBACK_CODE = L"ENG";

// The English texts, built in so that no text is ever blank: each is used when the language
// file lacks its key or holds it empty, and when there is no file at all. They are the texts
// of the shipped English file, in the order the keys are read (T1..T7, W1..W16, C1..C10,
// CW1..CW3, M1..M12, CR1..CR10); W2, CW1, M5 and M6 are shown nowhere.
constexpr const wchar_t* ENGLISH_TEXTS[] = {
    L"Settings...",
    L"Setup Wizard...",
    L"Calibrate",
    L"Start Inkora",
    L"On-Screen Keyboard",
    L"About Tavelo...",
    L"Exit",
    L"Calibration Model",
    L"",
    L"Mounting Options",
    L"Start with Windows",
    L"Camera on the ceiling",
    L"Camera Alignment",
    L"Calibration",
    L"Calibrate the Board",
    L"< Back",
    L"Next >",
    L"Cancel",
    L"OK",
    L"9 points, for standard projectors",
    L"16 points, for short-throw projectors",
    L"Standard",
    L"Short throw",
    L"Tavelo Settings",
    L"Calibration model",
    L"Options",
    L"Start with Windows",
    L"Camera on the ceiling",
    L"Rear projection",
    L"Update",
    L"Update server",
    L"Default server",
    L"Server from the list",
    L"",
    L"Hold the pen tip on the centre of each target until the target moves on, then lift the pen.",
    L"Press Esc to cancel the calibration.",
    L"Tavelo cannot communicate with the camera and will now close. Check that the camera's USB "
    L"cable is plugged in, then start Tavelo again.",
    L"Tavelo is already running. You can find its icon in the notification area of the taskbar.",
    L"The pen is paused while the camera alignment view is open. Open it now?",
    L"The screen resolution has changed. Please calibrate again from the Tavelo menu so that the "
    L"pen stays accurate.",
    L"",
    L"",
    L"A new version of Tavelo is available. Do you want to install it now?",
    L"A new version of Tavelo is available. Do you want to update now?",
    L"Changing the calibration model turns the pen off until the board is calibrated again. Do you "
    L"want to continue?",
    L"Changing the mounting options turns the pen off until the board is calibrated again. Do you "
    L"want to continue?",
    L"The settings have changed, so the board must be calibrated again. Start the calibration now?",
    L"Cameras with multi-pen firmware cannot be used with two displays. Connect only one camera. "
    L"Tavelo will now close.",
    L"Calibration result",
    L"of the camera's view used",
    L"worst target error",
    L"screen pixels per camera pixel",
    L"Error arrows enlarged",
    L"The screen fills too little of the camera's view. Move the camera closer to the board, or "
    L"narrow its view, then calibrate again.",
    L"The screen reaches the edge of the camera's view. Aim the camera at the middle of the "
    L"screen, then calibrate again.",
    L"One target is far off the others: it was probably touched off its centre. Calibrate again.",
    L"The calibration is good.",
    L"Tap the board or press Esc to continue.",
};
static_assert(std::size(ENGLISH_TEXTS) == 7 + 16 + 10 + 3 + 12 + REPORT_TEXT_COUNT,
              "one text per key");

constexpr int MESSAGE_SECTION = 4;

std::wstring* TextArray(CDriverState& state, int section)
{
    switch (section)
    {
    case 0:
        return state.m_strTrayText;
    case 1:
        return state.m_strWizardText;
    case 2:
        return state.m_strConfigText;
    case 3:
        return state.m_strCalibText;
    case MESSAGE_SECTION:
        return state.m_strMsgText;
    default:
        return state.m_strReportText;
    }
}

std::wstring LanguageFolder()
{
    return Platform().GetModuleDirectory() + L"\\language\\";
}
} // namespace

std::wstring LanguageCodeFor(std::uint16_t languageId)
{
    const std::uint16_t primary = languageId & 0x3FF;
    for (const LANGUAGE_CODE& entry : LANGUAGE_CODES)
    {
        if (entry.primaryId == primary)
            return entry.code;
    }
    return L"ENU";
}

std::wstring GetLanguageCode()
{
    return LanguageCodeFor(Platform().GetSystemLanguageId());
}

int LayoutForCode(const std::wstring& code)
{
    if (code == L"PTB" || code == L"FRA")
        return LANG_LAYOUT_TAHOMA;
    if (code == L"JPN")
        return LANG_LAYOUT_JAPANESE;
    if (code == L"ENU")
        return LANG_LAYOUT_ENGLISH;
    if (code == L"PLK")
        return LANG_LAYOUT_POLISH;
    if (code == L"FAR")
        return LANG_LAYOUT_RIGHT_TO_LEFT;
    return LANG_LAYOUT_DEFAULT;
}

std::uint16_t SkinForCode(const std::wstring& code)
{
    if (code == L"JPN")
        return SKIN_JAPANESE;
    if (code == L"PLK")
        return SKIN_VELMARA;
    if (code == L"FAR")
        return SKIN_FARSI;
    return SKIN_STANDARD;
}

std::wstring LanguageFilePath(const std::wstring& code)
{
    const std::wstring path = LanguageFolder() + code + L".lng";
    if (Platform().FileExists(path))
        return path;
    return LanguageFolder() + FALLBACK_CODE + L".lng";
}

void LoadLanguage(CDriverState& state, const std::wstring& path)
{
    state.m_iniLanguage.SetPath(path.c_str());
    wchar_t text[LANGUAGE_TEXT_CHARS];
    std::size_t english = 0;
    for (int section = 0; section < static_cast<int>(std::size(LANGUAGE_SECTIONS)); ++section)
    {
        const LANGUAGE_SECTION& entry = LANGUAGE_SECTIONS[section];
        std::wstring* texts = TextArray(state, section);
        for (int number = 1; number <= entry.keyCount; ++number)
        {
            const std::wstring key = entry.keyPrefix + std::to_wstring(number);
            const wchar_t* builtIn = ENGLISH_TEXTS[english++];
            state.m_iniLanguage.ReadString(entry.name, key.c_str(), builtIn, text,
                                           LANGUAGE_TEXT_CHARS);
            texts[number - 1] = text[0] != L'\0' ? text : builtIn;
        }
    }
}

void ChooseLanguage(CDriverState& state)
{
    const std::wstring code = GetLanguageCode();
    state.m_strLangCode = code;
    g_nLangLayout = LayoutForCode(code);
    state.m_nSkin = SkinForCode(code);
    LoadLanguage(state, LanguageFilePath(code));
}
