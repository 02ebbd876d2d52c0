// The Win32 profile functions behind the platform seam, on real files: the paths they are given,
// and the in-memory reader of downloaded files against them. The settings file's save and load
// through them is the end-to-end runs' part.

#include "platform/win32/Win32Platform.h"
#include "tests/support/ProfileWorld.h"
#include "update/ProfileText.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
CWin32Platform& Win32()
{
    static CWin32Platform platform;
    return platform;
}
} // namespace

TEST(IniWin32, PathBeyondTheBufferIsCutWhereTheBufferEnds)
{
    CTempFolder folder;
    const std::wstring longPath = folder.PathOf(std::wstring(300, L'a') + L".ini");
    ASSERT_GT(longPath.size(), MAX_PATH - 1);
    ASSERT_LT(folder.Path().size() + 1, MAX_PATH - 1);
    EXPECT_TRUE(Win32().WriteProfileText(longPath, L"S", L"k", L"v"));
    const std::wstring cut = longPath.substr(0, MAX_PATH - 1);
    EXPECT_TRUE(Win32().FileExists(cut));
    EXPECT_TRUE(Win32().FileExists(folder.Path())) << "a folder is seen too";
    EXPECT_EQ(Win32().ReadProfileText(longPath, L"S", L"k", L"d", 16), L"v");
    EXPECT_EQ(Win32().ReadProfileText(cut, L"S", L"k", L"d", 16), L"v");
}

// A downloaded update file is read in memory with the rules the profile functions read a file
// with: each case is read both ways and must agree.
TEST(IniWin32, DownloadedFilesReadInMemoryAsTheProfileFunctionsReadThem)
{
    struct CASE
    {
        std::string bytes;
        const wchar_t* section;
        const wchar_t* key;
    };
    // Text as UTF-16 with its byte-order mark, as a Windows editor saves it.
    const auto Utf16 = [](const std::wstring& text)
    {
        std::string bytes = "\xFF\xFE";
        for (const wchar_t c : text)
        {
            bytes += static_cast<char>(c & 0xFF);
            bytes += static_cast<char>((c >> 8) & 0xFF);
        }
        return bytes;
    };
    const CASE cases[] = {
        {"[ENU]\r\nCount=12345\r\n", L"ENU", L"Count"},
        {"[enu]\nCOUNT = 7 \n", L"ENU", L"Count"},
        {"  [ ENU ]  \r\n  Count  =  \"3\"  \r\n", L"ENU", L"Count"},
        {"[ENU]\rCount='4'\r", L"ENU", L"Count"},
        {"[ENU]\r\nCount=\"5\r\n", L"ENU", L"Count"},
        {"[ENU]\r\nCount\r\nCount=6\r\n", L"ENU", L"Count"},
        {"[ENU]\r\nOther=1\r\n[ENU]\r\nCount=8\r\n", L"ENU", L"Count"},
        {"[ENU]\r\nCount=1\r\nCount=2\r\n", L"ENU", L"Count"},
        {"[DEU]\r\nCount=9\r\n[ENU\r\nCount=3\r\n", L"ENU", L"Count"},
        {"[ENU] trailing\r\nCount=10\r\n", L"ENU", L"Count"},
        {"[Update]\r\nNewVersion=1.10.10.10\r\n", L"Update", L"NewVersion"},
        {"\xEF\xBB\xBF[Update]\r\nNewVersion=2.0.0.1\r\n", L"Update", L"NewVersion"},
        {Utf16(L"[Update]\n NewVersion = 3.1 \n"), L"Update", L"NewVersion"},
        {"", L"Update", L"NewVersion"},
        {"NewVersion=1.2.3.4\r\n[Update]\r\n", L"Update", L"NewVersion"},
    };
    CTempFolder folder;
    for (const CASE& item : cases)
    {
        SCOPED_TRACE(item.bytes);
        folder.WriteBytes(L"case.inf", item.bytes);
        wchar_t expected[64] = {};
        GetPrivateProfileStringW(item.section, item.key, L"(default)", expected, 64,
                                 folder.PathOf(L"case.inf").c_str());
        wchar_t read[64] = {};
        CProfileText(item.bytes).ReadString(item.section, item.key, L"(default)", read, 64);
        EXPECT_STREQ(read, expected);
    }
}
