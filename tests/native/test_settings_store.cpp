// The settings file and the profile rules on the portable store. The shared case table is
// run again under Wine against the Win32 profile functions (tests/wine/test_profile_api.cpp).

#include "settings/IniFile.h"
#include "settings/PortableProfile.h"
#include "tests/support/SettingsCases.h"

#include <gtest/gtest.h>

class IniPortableRead : public ::testing::TestWithParam<PROFILE_READ_CASE>
{
};

TEST_P(IniPortableRead, FollowsProfileRules)
{
    CProfileWorld world(PortableProfileApi());
    RunProfileReadCase(world, GetParam());
}

INSTANTIATE_TEST_SUITE_P(IniCases, IniPortableRead, ::testing::ValuesIn(ProfileReadCases()),
                         ProfileReadCaseName);

class IniPortableWrite : public ::testing::TestWithParam<PROFILE_CASE>
{
};

TEST_P(IniPortableWrite, FollowsProfileRules)
{
    CProfileWorld world(PortableProfileApi());
    GetParam().run(world);
}

INSTANTIATE_TEST_SUITE_P(IniCases, IniPortableWrite, ::testing::ValuesIn(ProfileWriteCases()),
                         ProfileCaseName);

class SettingsPortable : public ::testing::TestWithParam<PROFILE_CASE>
{
};

TEST_P(SettingsPortable, Case)
{
    CProfileWorld world(PortableProfileApi());
    GetParam().run(world);
}

INSTANTIATE_TEST_SUITE_P(SettingsCases, SettingsPortable, ::testing::ValuesIn(SettingsCases()),
                         ProfileCaseName);

// ---------------------------------------------------------------------------------------

TEST(IniFile, PathOfFullLengthIsCutToTheBuffer)
{
    CIniFile ini;
    EXPECT_STREQ(ini.GetPath(), L"");
    const std::wstring exact(INI_PATH_CHARS - 1, L'a');
    EXPECT_EQ(std::wstring(ini.SetPath(exact.c_str())), exact);
    const std::wstring longer = L"C:\\" + std::wstring(400, L'b') + L"\\Config.ini";
    EXPECT_EQ(std::wstring(ini.SetPath(longer.c_str())), longer.substr(0, INI_PATH_CHARS - 1));
    EXPECT_EQ(std::wstring(ini.SetPath(L"short.ini")), L"short.ini");
    EXPECT_STREQ(ini.SetPath(nullptr), L"");
}

TEST(IniFile, ReadNeverWritesPastTheBuffer)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    std::wstring seenDefault = L"unset";
    std::size_t seenSize = 0;
    // A platform that ignores the buffer size and hands back far too much.
    platform.m_profileReader = [&](const std::wstring&, const std::wstring&, const std::wstring&,
                                   const std::wstring& defaultValue, std::size_t bufferChars)
    {
        seenDefault = defaultValue;
        seenSize = bufferChars;
        return std::wstring(100, L'x');
    };
    CIniFile ini;
    ini.SetPath(L"c.ini");
    wchar_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(ini.ReadString(L"S", L"k", nullptr, buffer, 5), 4u);
    EXPECT_EQ(std::wstring(buffer), L"xxxx");
    EXPECT_EQ(buffer[5], L'#');
    EXPECT_EQ(seenDefault, L"");
    EXPECT_EQ(seenSize, 5u);

    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(ini.ReadString(L"S", L"k", L"d", buffer, 0), 0u);
    EXPECT_EQ(buffer[0], L'#');
}

TEST(IniFile, WritesGoToTheStoredPathAndNullValuesWriteNothing)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    std::vector<std::wstring> writes;
    platform.m_profileWriter = [&](const std::wstring& path, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& value)
    {
        writes.push_back(path + L"|" + section + L"|" + key + L"|" + value);
        return true;
    };
    CIniFile ini;
    ini.SetPath(L"D:\\x\\Config.ini");
    EXPECT_TRUE(ini.WriteString(L"State", L"Save", L"1"));
    EXPECT_FALSE(ini.WriteString(L"State", L"Save", nullptr));
    EXPECT_FALSE(ini.WriteString(nullptr, L"Save", L"1"));
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0], L"D:\\x\\Config.ini|State|Save|1");
}

TEST(IniEncoding, Utf16LittleEndianFromHandWrittenBytes)
{
    // "[S]\r\na=\u00e9\u20ac" followed by U+1F600 as a surrogate pair.
    const std::string bytes("\xFF\xFE[\0S\0]\0\r\0\n\0a\0=\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE", 24);
    const PROFILE_TEXT text = DecodeProfileBytes(bytes);
    EXPECT_EQ(text.encoding, PROFILE_ENCODING::UTF16_LE);
    const std::optional<std::wstring> value = FindProfileValue(text.text, L"S", L"a");
    ASSERT_TRUE(value.has_value());
    std::wstring expected = L"\u00e9\u20ac";
    if (sizeof(wchar_t) == 2)
        expected += std::wstring{wchar_t(0xD83D), wchar_t(0xDE00)};
    else
        expected += wchar_t(0x1F600);
    EXPECT_EQ(*value, expected);
    EXPECT_EQ(EncodeProfileBytes(text), bytes);
}

TEST(IniEncoding, EightBitFilesUseCodePage1252)
{
    const PROFILE_TEXT text = DecodeProfileBytes("[S]\r\na=\x80 \xE9 \x9F\r\n");
    EXPECT_EQ(text.encoding, PROFILE_ENCODING::ANSI);
    EXPECT_EQ(FindProfileValue(text.text, L"S", L"a").value_or(L"?"), L"\u20ac \u00e9 \u0178");

    PROFILE_TEXT written{L"a=\u20ac\u0416", PROFILE_ENCODING::ANSI};
    EXPECT_EQ(EncodeProfileBytes(written), "a=\x80?");
}

TEST(IniEncoding, InvalidUtf8ReadsAsReplacementCharacters)
{
    const PROFILE_TEXT text = DecodeProfileBytes("\xEF\xBB\xBF[S]\na=x\xC3(\xE2\x82\xAC\xF0\x9F\n");
    EXPECT_EQ(text.encoding, PROFILE_ENCODING::UTF8);
    EXPECT_EQ(FindProfileValue(text.text, L"S", L"a").value_or(L"?"), L"x\ufffd(\u20ac\ufffd");
}

TEST(IniPortableStore, WriteChangesOnlyTheKeysLine)
{
    CProfileWorld world(PortableProfileApi());
    const std::string before = "; settings\n\n[S]\r\n  a = 1   \r\n\r\n; end of S\r\n[T]\r\nc=3";
    world.m_folder.WriteBytes(L"f.ini", before);
    const std::wstring path = world.m_folder.PathOf(L"f.ini");
    ASSERT_TRUE(Platform().WriteProfileText(path, L"s", L"A", L"22"));
    EXPECT_EQ(world.m_folder.ReadBytes(L"f.ini"),
              "; settings\n\n[S]\r\na=22\r\n\r\n; end of S\r\n[T]\r\nc=3");

    ASSERT_TRUE(Platform().WriteProfileText(path, L"T", L"d", L"4"));
    EXPECT_EQ(world.m_folder.ReadBytes(L"f.ini"),
              "; settings\n\n[S]\r\na=22\r\n\r\n; end of S\r\n[T]\r\nc=3\r\nd=4");

    ASSERT_TRUE(Platform().WriteProfileText(path, L"S", L"b", L"5"));
    EXPECT_EQ(world.m_folder.ReadBytes(L"f.ini"),
              "; settings\n\n[S]\r\na=22\r\n\r\n; end of S\r\nb=5\r\n[T]\r\nc=3\r\nd=4");
}

TEST(IniPortableStore, KeyAddedAfterALoneCarriageReturnStartsItsOwnLine)
{
    // Only '\n' ends a line; a section header closed by a bare '\r' at the end of the file
    // must not swallow the key written after it.
    for (const std::wstring original : {L"[State]\r", L"[State]\r\n", L"[State]", L"x=1\r"})
    {
        std::wstring text = original;
        ASSERT_TRUE(SetProfileValue(text, L"State", L"Save", L"42"));
        EXPECT_EQ(FindProfileValue(text, L"State", L"Save").value_or(L"?"), L"42")
            << std::string(original.begin(), original.end());
    }
}

TEST(IniPortableStore, BlankNamesAndMissingFoldersFailWithoutWriting)
{
    CProfileWorld world(PortableProfileApi());
    const std::wstring path = world.m_folder.PathOf(L"f.ini");
    EXPECT_FALSE(Platform().WriteProfileText(path, L"  ", L"k", L"v"));
    EXPECT_FALSE(Platform().WriteProfileText(path, L"S", L"", L"v"));
    EXPECT_FALSE(world.m_folder.Exists(L"f.ini"));
    EXPECT_FALSE(
        Platform().WriteProfileText(world.m_folder.PathOf(L"no\\such\\f.ini"), L"S", L"k", L"v"));
}

TEST(IniPortableStore, EmptyKeyNameReadsNothingNotEvenTheDefault)
{
    EXPECT_EQ(ReadProfileText(L"[S]\r\n=1\r\n", L"S", L"", L"d", 64), L"");
    EXPECT_EQ(ReadProfileText(L"[S]\r\na=1\r\n", L"S", L"a", L"d", 0), L"");
}

TEST(SettingsText, ConvertsAsWtoiDoes)
{
    EXPECT_EQ(TextToInt(nullptr), 0);
    EXPECT_EQ(TextToInt(L""), 0);
    EXPECT_EQ(TextToInt(L"1234"), 1234);
    EXPECT_EQ(TextToInt(L"  \t-42z"), -42);
    EXPECT_EQ(TextToInt(L"+7"), 7);
    EXPECT_EQ(TextToInt(L"- 7"), 0);
    EXPECT_EQ(TextToInt(L"x1"), 0);
    EXPECT_EQ(TextToInt(L"99999999999999999999"), 2147483647);
    EXPECT_EQ(TextToInt(L"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(TextToInt(L"-99999999999"), -2147483647 - 1);
}
