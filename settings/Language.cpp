#include "settings/Language.h"

#include "platform/Platform.h"
#include "shell/DriverState.h"

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

// Built-in texts of the message keys M9 to M12, used when the file lacks the key.
constexpr const wchar_t* DEFAULT_MESSAGE_TEXTS[4] = {
    L"Due to changing of model-selection, Tavelo Pen is not available. Will you proceed ?",
    L"Due to changing of option-selection, Tavelo Pen is not available. Will you proceed ?",
    L"The setting was changed. Will you proceed for calibration?",
    L"Version supporting multi writing does not support dual-display mode.",
};
constexpr int FIRST_DEFAULT_MESSAGE = 9;

// The calibration report's texts, CR1 to CR10, for a language file that predates them.
constexpr const wchar_t* DEFAULT_REPORT_TEXTS[REPORT_TEXT_COUNT] = {
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
constexpr int MESSAGE_SECTION = 4;
constexpr int REPORT_SECTION = 5;

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

const wchar_t* BuiltInText(int section, int number)
{
    if (section == REPORT_SECTION && number >= 1 && number <= REPORT_TEXT_COUNT)
        return DEFAULT_REPORT_TEXTS[number - 1];
    const bool messages = section == MESSAGE_SECTION;
    if (messages && number >= FIRST_DEFAULT_MESSAGE &&
        number < FIRST_DEFAULT_MESSAGE + static_cast<int>(std::size(DEFAULT_MESSAGE_TEXTS)))
    {
        return DEFAULT_MESSAGE_TEXTS[number - FIRST_DEFAULT_MESSAGE];
    }
    return nullptr;
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
    for (int section = 0; section < static_cast<int>(std::size(LANGUAGE_SECTIONS)); ++section)
    {
        const LANGUAGE_SECTION& entry = LANGUAGE_SECTIONS[section];
        std::wstring* texts = TextArray(state, section);
        for (int number = 1; number <= entry.keyCount; ++number)
        {
            const std::wstring key = entry.keyPrefix + std::to_wstring(number);
            state.m_iniLanguage.ReadString(entry.name, key.c_str(), BuiltInText(section, number),
                                           text, LANGUAGE_TEXT_CHARS);
            texts[number - 1] = text;
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
