#pragma once
// The language of the user interface: a three-letter code chosen from the system language,
// the caption layout and bitmap skin that code selects, and the 58 texts of its language
// file, "<module directory>\language\<code>.lng".

#include <cstddef>
#include <cstdint>
#include <string>

class CDriverState;

// Values of g_nLangLayout. Only TAHOMA (the caption font) and RIGHT_TO_LEFT select
// anything; the others are kept for the code they came from.
enum : int
{
    LANG_LAYOUT_DEFAULT = 0,
    LANG_LAYOUT_JAPANESE = 1,
    LANG_LAYOUT_TAHOMA = 2,
    LANG_LAYOUT_ENGLISH = 3,
    LANG_LAYOUT_POLISH = 4,
    LANG_LAYOUT_RIGHT_TO_LEFT = 5,
};

// Values of m_nSkin: the bitmap set that carries text.
enum : std::uint16_t
{
    SKIN_STANDARD = 0,
    SKIN_JAPANESE = 1,
    SKIN_VELMARA = 4,
    SKIN_FARSI = 5,
};

// Caption layout chosen from the language at start-up and only read afterwards.
// Written and read by the user-interface thread only.
extern int g_nLangLayout;

// Characters read for one text, terminating zero included.
constexpr std::size_t LANGUAGE_TEXT_CHARS = 1024;

// One section of a language file: keys prefix + "1" to prefix + count.
struct LANGUAGE_SECTION
{
    const wchar_t* name;
    const wchar_t* keyPrefix;
    int keyCount;
};

// The six sections in the order they are read.
constexpr LANGUAGE_SECTION LANGUAGE_SECTIONS[] = {
    {L"TRAY ICON MENU", L"T", 7}, {L"START WIZARD", L"W", 16},
    {L"CONFIGURATION", L"C", 10}, {L"CALIBRATION WINDOW", L"CW", 3},
    {L"MESSAGEBOX", L"M", 12},    {L"CALIBRATION REPORT", L"CR", 10},
};

// The code for a system language id; only the primary language (id & 0x3FF) counts, and a
// language without a code of its own gets "ENU".
std::wstring LanguageCodeFor(std::uint16_t languageId);
// The code for the system's default language.
std::wstring GetLanguageCode();
int LayoutForCode(const std::wstring& code);
std::uint16_t SkinForCode(const std::wstring& code);

// "<module directory>\language\<code>.lng" when that file exists, otherwise the "ENG" file
// of the same folder, whether or not that one exists.
std::wstring LanguageFilePath(const std::wstring& code);

// Reads the 58 texts into the record's text arrays. A key that is absent or empty in the file,
// or a file that is missing or cannot be read, gives the built-in English text, so no text
// that is shown is ever blank; the file's own non-empty texts win.
void LoadLanguage(CDriverState& state, const std::wstring& path);

// Start-up: sets m_strLangCode, g_nLangLayout and m_nSkin from the system language and
// loads the texts of its file (or of the English one when it has none).
void ChooseLanguage(CDriverState& state);
