// The update check against the real WinINet and a loopback HTTP server: the requests it makes,
// no question for an older version and one for a newer one, and servers that lie, flood or never
// answer. What the answers start is left to the end-to-end test of the program. This program's
// own version is 1.5.0.0.

#include "core/DriverState.h"
#include "core/Language.h"
#include "platform/win32/Win32Platform.h"
#include "shell/Driver.h"
#include "tests/support/FakePlatform.h"
#include "tests/support/ProfileWorld.h"
#include "tests/wine_support/DriverRun.h"
#include "tests/wine_support/HookProbe.h"
#include "tests/wine_support/HttpTestServer.h"
#include "update/DownloadRule.h"
#include "update/ServerList.h"
#include "update/UpdateUrl.h"
#include "update/win32/UpdateChecker.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace
{
// Message boxes are recorded and answered No.
class CAnsweringPlatform : public CWin32Platform
{
public:
    int ShowMessageBox(const std::wstring& text, std::uint32_t style) override
    {
        m_boxes.push_back({text, style, m_strTitle});
        return IDNO;
    }

    std::vector<RECORDED_BOX> m_boxes;
};

class CRecordingChecker : public CUpdateChecker
{
public:
    using CUpdateChecker::CUpdateChecker;

    void OnNewVersion(const std::wstring& ownVersion, const std::wstring& serverVersion,
                      const std::wstring& baseUrl) override
    {
        m_offers.push_back(ownVersion + L" " + serverVersion + L" " + baseUrl);
        CUpdateChecker::OnNewVersion(ownVersion, serverVersion, baseUrl);
    }
    void OnNoNewVersion(const std::wstring& ownVersion, const std::wstring& serverVersion) override
    {
        m_declines.push_back(ownVersion + L" " + serverVersion);
    }

    std::vector<std::wstring> m_offers;
    std::vector<std::wstring> m_declines;
};

// Points the process's temporary folder (TMP and TEMP) elsewhere for the life of the object.
struct SCOPED_TEMP_FOLDER
{
    explicit SCOPED_TEMP_FOLDER(const std::wstring& folder)
    {
        for (const wchar_t* name : {L"TMP", L"TEMP"})
        {
            wchar_t value[MAX_PATH] = {};
            GetEnvironmentVariableW(name, value, MAX_PATH);
            old[name] = value;
            SetEnvironmentVariableW(name, folder.c_str());
        }
    }
    ~SCOPED_TEMP_FOLDER()
    {
        for (const auto& [name, value] : old)
            SetEnvironmentVariableW(name.c_str(), value.empty() ? nullptr : value.c_str());
    }
    std::map<std::wstring, std::wstring> old;
};

// A file beside this program for the life of the object.
struct FILE_BESIDE_PROGRAM
{
    FILE_BESIDE_PROGRAM(const std::wstring& name, const std::string& bytes)
        : path(TestProgramDirectory() + L"\\" + name)
    {
        std::ofstream(path.c_str(), std::ios::binary) << bytes;
    }
    ~FILE_BESIDE_PROGRAM() { DeleteFileW(path.c_str()); }
    const std::wstring path;
};

// File names and sizes of a folder (not its subfolders).
std::map<std::wstring, std::uintmax_t> Listing(const std::wstring& folder)
{
    std::map<std::wstring, std::uintmax_t> files;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        files[entry.path().filename().wstring()] = entry.is_regular_file() ? entry.file_size() : 0;
    return files;
}

// The driver's side for the tests: the platform with its main window, the record with the
// English texts, and a scratch folder holding the server's files, its temporary folder and the
// stand-ins' records.
class UpdateCheck : public ::testing::Test
{
protected:
    UpdateCheck() : m_scope(m_platform), m_temp(m_scratch.PathOf(L"tmp"))
    {
        m_scratch.MakeFolder(L"www");
        m_scratch.MakeFolder(L"tmp");
        m_platform.m_hMainWnd =
            CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
        LoadLanguage(m_state, SourceTreePath("resources/language/ENU.lng"));
        m_state.m_strLangCode = L"ENU";
    }
    ~UpdateCheck() override { DestroyWindow(m_platform.m_hMainWnd); }

    void ServeFile(const std::wstring& name, const std::wstring& text)
    {
        m_scratch.MakeFolder(L"www\\" + name.substr(0, name.find(L'\\')));
        m_scratch.WriteBytes(L"www\\" + name, Narrow(text));
    }

    CAnsweringPlatform m_platform;
    CScopedPlatform m_scope;
    CTempFolder m_scratch;
    SCOPED_TEMP_FOLDER m_temp;
    CDriver m_state;
};
} // namespace

TEST_F(UpdateCheck, OnlyANewerVersionOnTheChosenServerIsOffered)
{
    CHttpTestServer server(m_scratch.PathOf(L"www"), m_scratch.PathOf(L"server"));
    ASSERT_TRUE(server.IsRunning());
    ServeFile(L"Tavelo\\TaveloServer.inf", L"[ENU]\r\nCount=2\r\n");
    ServeFile(L"server1\\TaveloUpgrade.inf", L"[Update]\r\nNewVersion=1.4.9.0\r\n");
    ServeFile(L"server2\\TaveloUpgrade.inf", L"[Update]\r\nNewVersion=1.5.0.1\r\n");
    const std::wstring server1 = server.Url(L"/files/server1/");
    const std::wstring server2 = server.Url(L"/files/server2/");
    const FILE_BESIDE_PROGRAM installedList(
        SERVER_LIST_FILE, Narrow(L"[ENU]\r\nAlias1=First\r\nServer1=" + server1 +
                                 L"\r\nAlias2=Second\r\nServer2=" + server2 + L"\r\n"));
    // The list comes without a Content-Length: it is read to its end all the same.
    CRecordingChecker checker(m_state, server.Url(L"/no-length/Tavelo/"));

    // Server 1 names 1.4.9.0, which is older than 1.5.0.0: no question.
    m_state.m_nSelectServer = 1;
    CheckUpdatesAtStartup(m_state, checker);
    EXPECT_EQ(m_state.m_nServerCount, 2);
    EXPECT_EQ(m_state.m_strServerAlias[1], L"Second");
    EXPECT_EQ(checker.m_declines, std::vector<std::wstring>{L"1.5.0.0 1.4.9.0"});
    EXPECT_TRUE(m_platform.m_boxes.empty());
    EXPECT_EQ(m_state.m_bNewVersionAvailable, 0);
    const std::vector<std::wstring> expectedRequests = {
        L"GET /no-length/Tavelo/TaveloServer.inf\tUpdate search",
        L"GET /files/server1/TaveloUpgrade.inf\tUpdate search"};
    EXPECT_EQ(server.Requests(), expectedRequests);

    // Server 2 of 2 names 1.5.0.1: the question.
    m_state.m_nSelectServer = 2;
    CheckUpdatesAtStartup(m_state, checker);
    EXPECT_EQ(checker.m_offers, std::vector<std::wstring>{L"1.5.0.0 1.5.0.1 " + server2});
    ASSERT_EQ(m_platform.m_boxes.size(), 1u);
    EXPECT_EQ(m_platform.m_boxes[0].text,
              L"A new version of Tavelo is available. Do you want to install it now?");
    EXPECT_EQ(m_platform.m_boxes[0].style, BOX_YESNO | BOX_ICONINFORMATION);
    EXPECT_EQ(m_state.m_bNewVersionAvailable, 1);
    EXPECT_EQ(server.Requests().back(), L"GET /files/server2/TaveloUpgrade.inf\tUpdate search");
    // Both files were read in memory: nothing went through the user's temporary folder.
    EXPECT_TRUE(Listing(m_scratch.PathOf(L"tmp")).empty());
}

TEST_F(UpdateCheck, ServersThatLieFloodOrStallCannotHoldStartUp)
{
    CHttpTestServer server(m_scratch.PathOf(L"www"), m_scratch.PathOf(L"server"));
    ASSERT_TRUE(server.IsRunning());
    // Were either file taken, the driver would ask about version 9; an error page is not
    // taken either.
    ServeFile(L"Tavelo\\TaveloServer.inf", L"[ENU]\r\nCount=2\r\n");
    ServeFile(L"Tavelo\\TaveloUpgrade.inf", L"[Update]\r\nNewVersion=9.0.0.0\r\n");
    const auto programFolder = Listing(TestProgramDirectory());
    const auto currentFolder = Listing(std::filesystem::current_path().wstring());

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
        EXPECT_TRUE(checker.m_offers.empty() && checker.m_declines.empty());
        EXPECT_TRUE(m_platform.m_boxes.empty());
        EXPECT_TRUE(Listing(m_scratch.PathOf(L"tmp")).empty());
    }
    EXPECT_EQ(server.Requests().size(), 8u);
    EXPECT_EQ(Listing(TestProgramDirectory()), programFolder);
    EXPECT_EQ(Listing(std::filesystem::current_path().wstring()), currentFolder);
}
