// The update check of the real program against a loopback HTTP server. The copy of Tavelo.exe
// in each run's folder has its default update server (a string of its own resources) pointed
// at the test server, as a build for another server would have it.

#include "core/Messages.h"
#include "resources/resource.h"
#include "tests/wine_support/DriverRun.h"
#include "tests/wine_support/HookProbe.h"
#include "tests/wine_support/HttpTestServer.h"
#include "tests/wine_support/StandIn.h"
#include "tests/wine_support/WindowPulse.h"
#include "update/UpdateUrl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
// A downloading start-up may take two downloads' deadlines before the tray icon comes.
constexpr DWORD SLOW_START_MS = 30000;

// Replaces the program's string block that holds the default server's address.
bool PointUpdatesAt(const CDriverRun& run, const std::wstring& url)
{
    // Strings are kept sixteen to a block; this one holds ids 96 to 111.
    const UINT block = IDS_UPDATE_URL / 16 + 1;
    std::vector<WORD> data;
    for (UINT id = (block - 1) * 16; id < block * 16; ++id)
    {
        std::wstring text;
        if (id == IDS_ABOUTBOX)
            text = L"Tavelo(&A)...";
        else if (id == IDS_UPDATE_URL)
            text = url;
        data.push_back(static_cast<WORD>(text.size()));
        data.insert(data.end(), text.begin(), text.end());
    }
    HANDLE update = BeginUpdateResourceW(run.Path("Tavelo.exe").c_str(), FALSE);
    if (update == nullptr)
        return false;
    const bool replaced = UpdateResourceW(update, RT_STRING, MAKEINTRESOURCEW(block),
                                          MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), data.data(),
                                          DWORD(data.size() * sizeof(WORD))) != FALSE;
    return EndUpdateResourceW(update, !replaced) != FALSE && replaced;
}

// A run whose default server is the test server at `path`, offering a newer version than the
// program's own 1.0.0.0.
struct UPDATE_RUN
{
    UPDATE_RUN(const std::string& name, const std::wstring& path) : run(name)
    {
        // One unit that keeps its settings and has been set up before: the driver starts into
        // the tray and ends its start-up with the update check.
        run.WriteText("SimScenario.txt", "units 1\nunit 0 minor 0x23\nunit 0 set 4 1\n");
        CreateDirectoryW(run.Path("www").c_str(), nullptr);
        for (const char* folder : {"www/Tavelo", "www/server2"})
        {
            CreateDirectoryW(run.Path(folder).c_str(), nullptr);
            run.WriteText(std::string(folder) + "/TaveloUpgrade.inf",
                          "[Update]\r\nNewVersion=1.0.0.1\r\n");
        }
        run.WriteText("www/Tavelo/TaveloServer.inf", "[ENU]\r\nCount=0\r\n");
        ready = server.IsRunning() && PointUpdatesAt(run, server.Url(path));
    }

    CDriverRun run;
    CHttpTestServer server{run.Path("www"), run.Path("server")};
    bool ready = false;
};
} // namespace

TEST(UpdateCheck, NewerVersionIsOfferedAndTheUpdateButtonStartsTheUpdater)
{
    UPDATE_RUN update("update-newer", L"/files/Tavelo/");
    ASSERT_TRUE(update.ready);
    CDriverRun& run = update.run;
    const CStandIn updater(run.Path("AutoUpdate.exe"));
    ASSERT_TRUE(run.Start());
    HWND offer = run.WaitForMessageBox(SLOW_START_MS);
    ASSERT_NE(offer, nullptr) << "no offer of the newer version";
    EXPECT_EQ(run.AnswerBox(IDNO, "m7"), EnglishMessage(L"M7"));
    ASSERT_NE(run.WaitForMainWindow(RUN_START_MS), nullptr);
    ASSERT_TRUE(run.WaitForState("tray", "1", RUN_START_MS));
    EXPECT_EQ(run.DescribeState()["newversion"], "1");

    HWND config = run.OpenDialog(ID_TRAY_CONFIG, IDC_CFG_UPDATE);
    ASSERT_NE(config, nullptr);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(config, IDC_CFG_UPDATE)));
    run.Shoot("configuration", config);
    CDriverRun::ClickLater(config, IDC_CFG_UPDATE);
    EXPECT_EQ(run.AnswerBox(IDYES), EnglishMessage(L"M8"));
    EXPECT_EQ(updater.WaitForArguments(RUN_WINDOW_MS),
              std::vector<std::string>{"3" + Narrow(update.server.Url(L"/files/Tavelo/"))});
    EXPECT_EQ(run.WaitForExit(RUN_WINDOW_MS), 0u) << "the driver ends for the updater";
}

TEST(UpdateCheck, ChosenServerIsAskedAndWithoutAnUpdaterTheBrowserOpensIt)
{
    // The list comes without a Content-Length: it is read to its end all the same.
    UPDATE_RUN update("update-chosen-server", L"/no-length/Tavelo/");
    ASSERT_TRUE(update.ready);
    CDriverRun& run = update.run;
    // The list names two servers; the second is chosen.
    const std::wstring second = update.server.Url(L"/files/server2/");
    const std::string list = "[ENU]\r\nCount=2\r\nAlias1=First\r\nServer1=" +
                             Narrow(update.server.Url(L"/files/server1/")) +
                             "\r\nAlias2=Second\r\nServer2=" + Narrow(second) + "\r\n";
    run.WriteText("www/Tavelo/TaveloServer.inf", list);
    run.WriteText("TaveloServer.inf", list);
    run.WriteText("Config.ini", "[State]\r\nSelect Server=2\r\nRadio Server=1\r\n");
    const CStandIn browser(run.Path("browser.exe"));
    CHtmlOpenCommand open(L"\"" + run.Path("browser.exe") + L"\" \"%1\"");
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForMessageBox(SLOW_START_MS), nullptr);
    EXPECT_EQ(run.AnswerBox(IDYES), EnglishMessage(L"M7"));
    EXPECT_EQ(browser.WaitForArguments(RUN_WINDOW_MS), std::vector<std::string>{Narrow(second)});
    EXPECT_EQ(run.WaitForExit(RUN_WINDOW_MS), 0u);
    const std::vector<std::wstring> requests = {
        L"GET /no-length/Tavelo/TaveloServer.inf\tUpdate search",
        L"GET /files/server2/TaveloUpgrade.inf\tUpdate search"};
    EXPECT_EQ(update.server.Requests(), requests);
    const std::string log = run.ReadText("Tavelo.log");
    EXPECT_NE(log.find("Update check: " + Narrow(second) + " names version 1.0.0.1, newer"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Shutdown: an update was accepted"), std::string::npos) << log;
}

// A server that never answers: start-up ends, and while the check still waits the tray menu
// opens at once and the main window answers within 100 ms.
TEST(UpdateCheck, SilentServerHoldsNeitherTheMainWindowNorTheTrayMenu)
{
    UPDATE_RUN update("update-silent", L"/silent/Tavelo/");
    ASSERT_TRUE(update.ready);
    CDriverRun& run = update.run;
    ASSERT_TRUE(run.Start());
    ASSERT_NE(run.WaitForMainWindow(RUN_START_MS), nullptr);
    // Start-up's own work with the units still runs on the window's thread (about a tenth of a
    // second here); a check run inside start-up would hold it for a whole fetch deadline.
    CWindowPulse startup(run.MainWindow());
    ASSERT_TRUE(run.WaitForState("tray", "1", RUN_START_MS));
    startup.Stop();
    CWindowPulse pulse(run.MainWindow());
    // The list's request is now held by the server, for as long as the fetch lets it.
    Sleep(1000);
    const ULONGLONG asked = GetTickCount64();
    run.PostToMain(WM_TRAYNOTIFY, 131, WM_RBUTTONDOWN);
    HWND menu = run.WaitForWindow(L"#32768", 5000);
    const ULONGLONG menuMs = GetTickCount64() - asked;
    ASSERT_NE(menu, nullptr) << "the tray menu did not open";
    run.Shoot("tray-menu", menu);
    PressKey(VK_ESCAPE);
    Sleep(3000);
    pulse.Stop();
    std::printf("silent server: start-up longest %.1f ms (%u answers); during the check the tray "
                "menu after %llu ms, main window answered %u times, longest %.1f ms\n",
                startup.LongestMs(), startup.Samples(), menuMs, pulse.Samples(), pulse.LongestMs());
    EXPECT_LT(startup.LongestMs(), 1000.0);
    EXPECT_LT(menuMs, 1000u);
    EXPECT_GT(pulse.Samples(), 100u);
    EXPECT_LT(pulse.LongestMs(), 100.0);
    const std::vector<std::wstring> requests = update.server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests[0].rfind(L"GET /silent/Tavelo/TaveloServer.inf", 0), 0u)
        << "the check was under way";
    EXPECT_TRUE(run.IsRunning());
}
