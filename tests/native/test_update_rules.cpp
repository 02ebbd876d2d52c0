// The update check's portable rules: versions in order, the server files as they are read, the
// server chosen, the browser command line, and when a download counts as whole.

#include "core/DriverState.h"
#include "core/IniFile.h"
#include "shell/Driver.h"
#include "tests/support/ProfileWorld.h"
#include "update/BrowserCommand.h"
#include "update/DownloadRule.h"
#include "update/ProfileText.h"
#include "update/ServerList.h"
#include "update/UpdateUrl.h"
#include "update/VersionText.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
bool Newer(const wchar_t* server, const wchar_t* own)
{
    return ParseVersionText(server) > ParseVersionText(own);
}

// Feeds reads of the given sizes (0 = end of data) and tells whether the download is whole.
bool Download(std::optional<std::uint64_t> announced, std::initializer_list<std::size_t> reads)
{
    CDownloadProgress progress(announced, 4096);
    for (const std::size_t bytes : reads)
    {
        if (progress.Finished())
            break;
        EXPECT_LE(bytes, progress.NextReadSize());
        progress.OnData(bytes);
    }
    EXPECT_TRUE(progress.Finished());
    return progress.Complete();
}
} // namespace

TEST(UpdateVersion, PartsAreReadLikeDecimalNumbersAndANewerServerVersionIsLaterInOrder)
{
    EXPECT_TRUE(Newer(L"1.2.0.6", L"1.2.0.5"));
    EXPECT_FALSE(Newer(L"1.2.0.5", L"1.2.0.5"));
    EXPECT_FALSE(Newer(L"1.4.9.0", L"1.5.0.0"));
    EXPECT_TRUE(Newer(L"1.5.0.0", L"1.4.9.0"));
    EXPECT_TRUE(Newer(L"2.0.0.0", L"1.9.9.9"));
    EXPECT_TRUE(Newer(L"1.10.0.0", L"1.9.0.0"));
    // Nothing, or nothing that reads as a number, is 0.0.0.0 and never newer.
    EXPECT_FALSE(Newer(L"", L"0.0.0.0"));
    EXPECT_FALSE(Newer(L"version two", L"0.0.0.1"));

    EXPECT_EQ(FormatVersionText(ParseVersionText(L"1.2")), L"1.2.0.0");
    EXPECT_EQ(FormatVersionText(ParseVersionText(L" 1.+2.13x.4.5")), L"1.2.13.4");
    EXPECT_EQ(FormatVersionText(ParseVersionText(L"1..99999999999.")), L"1.0.4294967295.0");
    // A minus sign makes the part 0, neither its digits nor a wrapped-round value.
    EXPECT_EQ(FormatVersionText(ParseVersionText(L"1.-2.3.4")), L"1.0.3.4");
}

// How many characters of a count are read, and that a hostile count never reaches past the
// record's slots, the update files' fuzz target checks on its seed corpus.
TEST(UpdateFiles, NewVersionIsReadWholeAndCountFromItsLanguagesSection)
{
    const CProfileText upgrade("[Update]\r\nNewVersion=1.10.10.10\r\n");
    EXPECT_EQ(ReadNewVersion(upgrade), L"1.10.10.10");
    EXPECT_TRUE(Newer(ReadNewVersion(upgrade).c_str(), L"1.10.10.9"));

    const std::string longValue(NEW_VERSION_CHARS, '9');
    EXPECT_EQ(ReadNewVersion(CProfileText("[Update]\r\nNewVersion=" + longValue + "\r\n")), L"");

    const CProfileText list("[ENU]\r\nCount=12345\r\n[DEU]\r\nCount=2\r\n");
    EXPECT_EQ(ReadServerCount(list, L"DEU"), 2);
    EXPECT_EQ(ReadServerCount(list, L"FRA"), 0);
    EXPECT_EQ(ReadServerCount(CProfileText("\xEF\xBB\xBF[ENU]\nCount=\"17\"\n"), L"ENU"), 17);
}

TEST(UpdateFiles, ServersComeFromTheInstalledListAndABadSelectionFallsBack)
{
    CProfileWorld world;
    world.PutFile(
        SERVER_LIST_FILE,
        L"[DEU]\r\nAlias1=Erster\r\nServer1=http://one.test/\r\nAlias2=Zweiter\r\n"
        L"Server2=http://two.test/\r\n[ENU]\r\nAlias1=First\r\nServer1=http://wrong.test/\r\n");
    CDriver state;
    state.m_strLangCode = L"DEU";

    AcceptServerList(state, 2);
    EXPECT_EQ(state.m_nServerCount, 2);
    EXPECT_EQ(state.m_strServerAlias[1], L"Zweiter");
    state.m_nSelectServer = 2;
    EXPECT_EQ(ChooseUpdateServer(state, DEFAULT_UPDATE_URL), L"http://two.test/");
    for (const int beyond : {3, 255, 256, -1, 0})
    {
        state.m_nSelectServer = beyond;
        EXPECT_EQ(ChooseUpdateServer(state, DEFAULT_UPDATE_URL), DEFAULT_UPDATE_URL) << beyond;
    }

    state.m_nSelectServer = 1;
    AcceptServerList(state, -7);
    EXPECT_EQ(state.m_nServerCount, -1);
    EXPECT_EQ(ChooseUpdateServer(state, DEFAULT_UPDATE_URL), DEFAULT_UPDATE_URL);
}

TEST(UpdateBrowser, AddressReplacesThePlaceholderQuotedUnlessItCouldBreakOut)
{
    const std::wstring url = L"https://two.test/Tavelo/";
    EXPECT_EQ(BuildBrowserCommand(L"\"C:\\Web\\view.exe\" -page \"%1\" -new", url),
              L"\"C:\\Web\\view.exe\" -page  \"https://two.test/Tavelo/\"");
    EXPECT_EQ(BuildBrowserCommand(L"C:\\Web\\view.exe %1", url),
              L"C:\\Web\\view.exe  \"https://two.test/Tavelo/\"");
    EXPECT_EQ(BuildBrowserCommand(L"C:\\Web\\view.exe", url),
              L"C:\\Web\\view.exe \"https://two.test/Tavelo/\"");
    EXPECT_EQ(BuildBrowserCommand(L"", url), std::nullopt);

    // Addresses that could break out of their quotes or pass for an option are refused.
    const std::wstring hostileUrls[] = {L"",
                                        L"http://x.test/\" --remote-debugging-port=1",
                                        L"http://x.test/\r\nnext",
                                        L"http://x.test/\x7F",
                                        L"http://x.test/\x85",
                                        L"--disable-sandbox",
                                        L"-1",
                                        L"http://x.test\\"};
    for (const std::wstring& hostile : hostileUrls)
        EXPECT_EQ(BuildBrowserCommand(L"view.exe \"%1\"", hostile), std::nullopt) << hostile.size();
    EXPECT_TRUE(IsSafeBrowserUrl(L"http://x.test/a b?q=1&r=-2"));
}

TEST(UpdateDownload, WholeOnlyWhenTheAnnouncedOrEndedBodyFitsTheCap)
{
    EXPECT_EQ(ParseContentLength(L" 120 "), 120u);
    EXPECT_EQ(ParseContentLength(L""), std::nullopt);
    EXPECT_EQ(ParseContentLength(L"-5"), std::nullopt);
    EXPECT_EQ(ParseContentLength(L"12a"), std::nullopt);
    EXPECT_EQ(ParseContentLength(L"99999999999999999999999"), std::nullopt);

    EXPECT_TRUE(Download(1500, {1024, 476}));
    EXPECT_TRUE(Download(0, {}));
    EXPECT_FALSE(Download(1500, {1024, 0})); // the server lied about the length
    EXPECT_TRUE(Download(std::nullopt, {1024, 1024, 300, 0}));
    EXPECT_TRUE(Download(std::nullopt, {1024, 1024, 1024, 1024, 0}));
    EXPECT_FALSE(Download(std::nullopt, {1024, 1024, 1024, 1024, 1})); // beyond the cap
    EXPECT_TRUE(Download(4096, {1024, 1024, 1024, 1024}));

    CDownloadProgress broken(std::nullopt, 4096);
    broken.OnData(100);
    broken.OnReadError();
    EXPECT_TRUE(broken.Finished());
    EXPECT_FALSE(broken.Complete());
}
