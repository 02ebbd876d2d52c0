// Every language file we ship: its encoding, its sections and keys, that its texts are what
// its UTF-8 source says and are written in the language's script. Whether they fit their
// places is measured under Wine, with the fonts they are shown in.

#include "core/DriverState.h"
#include "core/Language.h"
#include "shell/Driver.h"
#include "tests/support/ProfileWorld.h"
#include "update/ProfileText.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace
{
// The source tree; a Windows build run under Wine from a POSIX tree reaches it through the
// drive that Wine maps to the root folder.
std::filesystem::path SourceDir()
{
    const std::string dir = TAVELO_SOURCE_DIR;
#ifdef _WIN32
    if (!dir.empty() && dir[0] == '/')
        return std::filesystem::path("Z:" + dir);
#endif
    return std::filesystem::path(dir);
}

const std::filesystem::path LANGUAGE_DIR = SourceDir() / "resources" / "language";

const char* const SHIPPED_CODES[] = {"CHS", "DAN", "DEU", "ESN", "FRA", "ITA", "JPN",
                                     "KOR", "PLK", "PTB", "RUS", "FAR", "ENU", "ENG"};

// Keys that are loaded but shown nowhere.
const std::set<std::wstring> UNSHOWN_KEYS = {L"W2", L"CW1", L"M5", L"M6"};

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct LANGUAGE_FILE
{
    std::vector<std::wstring> sections;
    std::vector<std::pair<std::wstring, std::wstring>> keys; // "SECTION/KEY" and its text
};

// Splits the text into section headers and key lines; comment and blank lines are skipped.
LANGUAGE_FILE ParseLines(const std::wstring& text)
{
    LANGUAGE_FILE file;
    std::wistringstream lines(text);
    for (std::wstring line; std::getline(lines, line);)
    {
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (line.empty() || line[0] == L'#' || line[0] == L';')
            continue;
        if (line[0] == L'[' && line.back() == L']')
        {
            file.sections.push_back(line.substr(1, line.size() - 2));
            continue;
        }
        const std::size_t equals = line.find(L'=');
        const std::wstring section = file.sections.empty() ? L"" : file.sections.back();
        file.keys.emplace_back(section + L"/" + line.substr(0, equals),
                               equals == std::wstring::npos ? L"" : line.substr(equals + 1));
    }
    return file;
}

// The script each language is written in, as character ranges; the others may use any.
const struct
{
    const char* code;
    wchar_t first;
    wchar_t last;
} SCRIPTS[] = {{"CHS", 0x4E00, 0x9FFF}, {"JPN", 0x3040, 0x30FF}, {"JPN", 0x4E00, 0x9FFF},
               {"KOR", 0xAC00, 0xD7AF}, {"RUS", 0x0400, 0x04FF}, {"FAR", 0x0600, 0x06FF}};

bool IsOfScript(const std::string& code, wchar_t c)
{
    bool ranged = false;
    for (const auto& script : SCRIPTS)
    {
        if (code == script.code && c >= script.first && c <= script.last)
            return true;
        ranged = ranged || code == script.code;
    }
    return !ranged;
}

class LanguageShippedFile : public ::testing::TestWithParam<const char*>
{
};
} // namespace

// Every key and no other, as its UTF-8 source says, written in the language's script and
// translated rather than copied from English.
TEST_P(LanguageShippedFile, IsCompleteTranslatedAndMatchesItsSource)
{
    const std::string code = GetParam();
    const std::string bytes = ReadFile(LANGUAGE_DIR / (code + ".lng"));
    ASSERT_GE(bytes.size(), 2u) << "missing or empty";
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "UTF-16LE byte-order mark";
    EXPECT_EQ(bytes.size() % 2, 0u);
    const std::wstring decoded = DecodeProfileBytes(bytes);
    const LANGUAGE_FILE file = ParseLines(decoded);
    const LANGUAGE_FILE empty =
        ParseLines(LanguageFileText([](const std::wstring&) { return L""; }));
    EXPECT_EQ(file.sections, empty.sections);
    LANGUAGE_FILE names = file;
    for (auto& entry : names.keys)
        entry.second.clear();
    EXPECT_EQ(names.keys, empty.keys) << "every key, no others, in order";

    const std::string source = ReadFile(LANGUAGE_DIR / "src" / (code + ".txt"));
    ASSERT_FALSE(source.empty()) << "missing source";
    const LANGUAGE_FILE sourceFile = ParseLines(DecodeProfileBytes("\xEF\xBB\xBF" + source));
    const std::map<std::wstring, std::wstring> sourceTexts(sourceFile.keys.begin(),
                                                           sourceFile.keys.end());
    const LANGUAGE_FILE english =
        ParseLines(DecodeProfileBytes(ReadFile(LANGUAGE_DIR / "ENG.lng")));
    const std::map<std::wstring, std::wstring> englishTexts(english.keys.begin(),
                                                            english.keys.end());
    int sameAsEnglish = 0;
    for (const auto& [sectionAndKey, line] : file.keys)
    {
        const std::wstring section = sectionAndKey.substr(0, sectionAndKey.find(L'/'));
        const std::wstring key = sectionAndKey.substr(section.size() + 1);
        SCOPED_TRACE(std::string(sectionAndKey.begin(), sectionAndKey.end()));
        // What the driver reads: the profile rules over the whole file.
        const std::wstring read = FindProfileValue(decoded, section, key).value_or(L"(absent)");
        EXPECT_EQ(read, line) << "the reader would change this text";
        const auto fromSource = sourceTexts.find(sectionAndKey);
        ASSERT_NE(fromSource, sourceTexts.end());
        EXPECT_EQ(read, fromSource->second) << "stale: run tools/make_language_files.py";
        const auto inEnglish = englishTexts.find(sectionAndKey);
        if (!read.empty() && inEnglish != englishTexts.end() && inEnglish->second == read)
            ++sameAsEnglish;
        if (UNSHOWN_KEYS.count(key) != 0)
            continue;
        EXPECT_FALSE(read.empty()) << "a shown text is empty";
        // "OK" is how Japanese dialogs label that button.
        bool ofScript = code == "JPN" && key == L"W12";
        for (const wchar_t c : read)
            ofScript = ofScript || IsOfScript(code, c);
        EXPECT_TRUE(ofScript) << "not written in the language's script";
    }
    // A few words are the same in many languages ("OK", "Standard", "Options").
    EXPECT_TRUE(code == "ENG" || code == "ENU" || sameAsEnglish <= 4)
        << sameAsEnglish << " texts copied from English";
    // Persian spells with its own yeh and keheh, not the Arabic letters.
    EXPECT_TRUE(code != "FAR" || decoded.find_first_of(L"\x064A\x0643") == std::wstring::npos);
}

INSTANTIATE_TEST_SUITE_P(LanguageFiles, LanguageShippedFile, ::testing::ValuesIn(SHIPPED_CODES),
                         [](const ::testing::TestParamInfo<const char*>& info)
                         { return std::string(info.param); });

TEST(LanguageFiles, NoOtherFilesAreShipped)
{
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(LANGUAGE_DIR))
    {
        if (entry.is_regular_file())
            found.insert(entry.path().filename().string());
    }
    std::set<std::string> expected;
    for (const char* code : SHIPPED_CODES)
        expected.insert(std::string(code) + ".lng");
    EXPECT_EQ(found, expected);
}

// Whatever the chosen file holds, or when it is missing, no shown text is blank: the program
// falls back to its own copy of the English texts, which must be the shipped English file's.
TEST(LanguageFiles, MissingEmptyOrGarbledFilesGiveTheEnglishTexts)
{
    std::vector<std::wstring> english;
    for (const auto& key : ParseLines(DecodeProfileBytes(ReadFile(LANGUAGE_DIR / "ENG.lng"))).keys)
        english.push_back(key.second);
    ASSERT_EQ(english.size(), 58u);
    const std::wstring emptyValues = LanguageFileText([](const std::wstring&) { return L""; });
    // Eight-bit text taken for UTF-16, as a reader that guesses the encoding wrongly sees it.
    const std::string eightBit = "[TRAY ICON MENU]\r\nT1=Einstellungen\r\nT7=Beenden\r\n";
    std::wstring garbled;
    for (std::size_t i = 0; i + 1 < eightBit.size(); i += 2)
        garbled += static_cast<wchar_t>(static_cast<unsigned char>(eightBit[i]) |
                                        static_cast<unsigned char>(eightBit[i + 1]) << 8);
    const struct
    {
        const char* name;
        const wchar_t* text; // null: no file
    } cases[] = {
        {"missing", nullptr},
        {"empty", L""},
        {"garbled", garbled.c_str()},
        {"every key empty", emptyValues.c_str()},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CProfileWorld world;
        if (c.text != nullptr)
            world.PutFile(L"language\\DEU.lng", c.text);
        CDriver state;
        LoadLanguage(state, world.PathOf(L"language\\DEU.lng"));
        std::vector<std::wstring> texts;
        const std::pair<const std::wstring*, int> arrays[] = {
            {state.m_strTrayText, TRAY_TEXT_COUNT},     {state.m_strWizardText, WIZARD_TEXT_COUNT},
            {state.m_strConfigText, CONFIG_TEXT_COUNT}, {state.m_strCalibText, CALIB_TEXT_COUNT},
            {state.m_strMsgText, MSG_TEXT_COUNT},       {state.m_strReportText, REPORT_TEXT_COUNT},
        };
        for (const auto& [array, count] : arrays)
            texts.insert(texts.end(), array, array + count);
        EXPECT_EQ(texts, english);
    }
}
