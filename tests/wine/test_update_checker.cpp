// The update check against the real WinINet and a loopback HTTP server: no question for an
// older version and one for a newer one, and servers that lie, flood or never answer. Which
// server is asked, and what the answers start, is left to the end-to-end test of the program.
// This program's own version is 1.5.0.0.

#include "shell/Driver.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ProfileWorld.h"
#include "tests/wine_support/DriverRun.h"
#include "tests/wine_support/HookProbe.h"
#include "tests/wine_support/HttpTestServer.h"
#include "update/win32/UpdateChecker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace
{
class CRecordingChecker : public CUpdateChecker
{
public:
    using CUpdateChecker::CUpdateChecker;

    void OnNoNewVersion(const std::wstring& ownVersion, const std::wstring& serverVersion) override
    {
        m_declines.push_back(ownVersion + L" " + serverVersion);
    }

    std::vector<std::wstring> m_declines;
};

// File names and sizes in the program's, the current and the temporary folder (not in their
// subfolders).
std::vector<std::map<std::wstring, std::uintmax_t>> Folders()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::vector<std::map<std::wstring, std::uintmax_t>> listings;
    for (const std::filesystem::path& folder :
         {std::filesystem::path(TestProgramDirectory()), std::filesystem::current_path(),
          std::filesystem::path(temp)})
    {
        std::error_code error;
        auto& files = listings.emplace_back();
        for (const auto& entry : std::filesystem::directory_iterator(folder, error))
            files[entry.path().filename().wstring()] =
                entry.is_regular_file() ? entry.file_size() : 0;
    }
    return listings;
}

// The driver's side for the tests: a platform that records the boxes (answered with OK), the
// record, and a scratch folder holding the server's files.
class UpdateCheck : public ::testing::Test
{
protected:
    UpdateCheck() : m_scope(m_platform)
    {
        m_scratch.MakeFolder(L"www");
        m_state.m_strLangCode = L"ENU";
    }

    void ServeFile(const std::wstring& name, const std::wstring& text)
    {
        m_scratch.MakeFolder(L"www\\" + name.substr(0, name.find(L'\\')));
        m_scratch.WriteBytes(L"www\\" + name, Narrow(text));
    }

    CFakePlatform m_platform;
    CScopedPlatform m_scope;
    CTempFolder m_scratch;
    CDriver m_state;
};
} // namespace

TEST_F(UpdateCheck, OnlyANewerVersionIsOffered)
{
    CHttpTestServer server(m_scratch.PathOf(L"www"), m_scratch.PathOf(L"server"));
    ASSERT_TRUE(server.IsRunning());
    CRecordingChecker checker(m_state, server.Url(L"/files/Tavelo/"));
    const auto folders = Folders();
    ServeFile(L"Tavelo\\TaveloUpgrade.inf", L"[Update]\r\nNewVersion=1.4.9.0\r\n");
    CheckUpdatesAtStartup(m_state, checker);
    EXPECT_EQ(checker.m_declines, std::vector<std::wstring>{L"1.5.0.0 1.4.9.0"});
    EXPECT_TRUE(m_platform.m_boxes.empty());
    EXPECT_EQ(m_state.m_bNewVersionAvailable, 0);

    ServeFile(L"Tavelo\\TaveloUpgrade.inf", L"[Update]\r\nNewVersion=1.5.0.1\r\n");
    CheckUpdatesAtStartup(m_state, checker);
    ASSERT_EQ(m_platform.m_boxes.size(), 1u);
    EXPECT_EQ(m_platform.m_boxes[0].style, BOX_YESNO | BOX_ICONINFORMATION);
    // Both files were read in memory: nothing went through the temporary folder.
    EXPECT_EQ(Folders(), folders);
}

TEST_F(UpdateCheck, ServersThatLieFloodOrStallCannotHoldStartUp)
{
    CHttpTestServer server(m_scratch.PathOf(L"www"), m_scratch.PathOf(L"server"));
    ASSERT_TRUE(server.IsRunning());
    // Were either file taken, the driver would ask about version 9; an error page is not
    // taken either.
    ServeFile(L"Tavelo\\TaveloServer.inf", L"[ENU]\r\nCount=2\r\n");
    ServeFile(L"Tavelo\\TaveloUpgrade.inf", L"[Update]\r\nNewVersion=9.0.0.0\r\n");
    const auto folders = Folders();

    const std::wstring baseUrls[] = {server.Url(L"/lying-length/Tavelo/"),
                                     server.Url(L"/huge/Tavelo/"), server.Url(L"/silent/Tavelo/"),
                                     server.BlackHoleUrl(L"/Tavelo/"),
                                     server.Url(L"/files/missing/")};
    for (const std::wstring& baseUrl : baseUrls)
    {
        SCOPED_TRACE(baseUrl);
        CRecordingChecker checker(m_state, baseUrl);
        const ULONGLONG start = GetTickCount64();
        CheckUpdatesAtStartup(m_state, checker);
        const ULONGLONG elapsed = GetTickCount64() - start;
        std::printf("%ls held the check for %llu ms\n", baseUrl.c_str(), elapsed);
        // Two requests, each within the fetch's deadline (and a little more).
        EXPECT_LT(elapsed, 2 * (FETCH_DEADLINE_MS + 2000));
        EXPECT_EQ(m_state.m_nServerCount, 0);
        EXPECT_TRUE(checker.m_declines.empty());
        EXPECT_TRUE(m_platform.m_boxes.empty());
    }
    EXPECT_EQ(server.Requests().size(), 8u);
    EXPECT_EQ(Folders(), folders);
}
