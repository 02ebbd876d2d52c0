#pragma once
// The update check that ends start-up: fetch the server list from the default server, pick
// the server to ask, fetch its upgrade description and offer the updater when it names a
// newer version than the program's own. The downloaded files are read in memory. The handlers
// are virtual so that the main window (or a test) can take the outcome elsewhere; their order
// is fixed.

#include "update/win32/ModuleInfo.h"
#include "update/win32/WebFetch.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

class CDriverState;

class CUpdateChecker
{
public:
    // The checker works on the record's server lists, selection, language code, texts and
    // new-version flag. defaultUrl is the default server's base address.
    explicit CUpdateChecker(CDriverState& state, std::wstring defaultUrl = DefaultUpdateUrl());
    CUpdateChecker(const CUpdateChecker&) = delete;
    CUpdateChecker& operator=(const CUpdateChecker&) = delete;

    // Compares the version the server at baseUrl names with the program's own and calls
    // OnNewVersion or OnNoNewVersion. Nothing happens without an own version or without the
    // server's answer.
    virtual void CheckForUpdate(const std::wstring& baseUrl);
    // The same with the base address taken from the program's string table.
    virtual void CheckForUpdate(std::uint32_t urlStringId);
    // Fetches the server list from baseUrl: its "Count" for the record's language, 0 when the
    // list could not be fetched.
    virtual int DownloadServerList(const std::wstring& baseUrl);
    // Stops and joins a check still running.
    virtual ~CUpdateChecker();
    // Marks the new version for the configuration dialog and asks whether to update now; yes
    // leaves for the updater (the browser opens baseUrl when there is no updater).
    virtual void OnNewVersion(const std::wstring& ownVersion, const std::wstring& serverVersion,
                              const std::wstring& baseUrl);
    virtual void OnNoNewVersion(const std::wstring& ownVersion, const std::wstring& serverVersion);
    virtual void OnUpdateReset();

    // The check of start-up without holding the user-interface thread: each request runs on a
    // worker, which posts doneMessage (wParam: the step) to the main window when it has the
    // file or has given up; the main window hands the message to OnFetched, which reads the
    // file and takes the next step on the user-interface thread.
    void StartCheck(std::uint32_t doneMessage);
    void OnFetched(std::uintptr_t step);
    // Asks a worker still waiting to give up, and returns once it has ended (within a few
    // dozen milliseconds). Nothing is posted after it.
    void StopCheck();

    const std::wstring& DefaultUrl() const { return m_strDefaultUrl; }
    // How the check of StartCheck stands, for the log: whether a request is still out, the
    // server asked for the upgrade description, and the time from the start to the last
    // answer (a box the answer shows not counted).
    bool IsChecking() const { return m_worker.joinable(); }
    const std::wstring& CheckUrl() const { return m_strCheckUrl; }
    std::uint64_t CheckMicros() const { return m_nLastAnswerMicros - m_nCheckStartMicros; }

    // "NewVersion" of the last upgrade description, "" before one was read.
    std::wstring m_strServerVersion;

protected:
    CDriverState& m_state;

private:
    enum STEP : std::uintptr_t
    {
        STEP_SERVER_LIST = 1,
        STEP_UPGRADE = 2,
    };

    int ServerCountOf(const std::string& body) const;
    void TakeUpgrade(const VERSION_NUMBER& own, const std::string& body,
                     const std::wstring& baseUrl);
    void StartFetch(const std::wstring& url, STEP step);

    std::wstring m_strDefaultUrl;
    // The background check: the worker writes the result and the body before it posts, the
    // user-interface thread joins it before it reads them.
    std::thread m_worker;
    std::atomic<bool> m_bStop{false};
    std::uint32_t m_nDoneMessage = 0;
    FETCH_RESULT m_fetchResult = FETCH_RESULT::REQUEST_FAILED;
    std::string m_strFetchBody;
    std::wstring m_strCheckUrl;
    std::uint64_t m_nCheckStartMicros = 0;
    std::uint64_t m_nLastAnswerMicros = 0;
};

// The last step of start-up, waiting for each answer: the server list from the checker's
// default server, the servers it names from the installed list, then the check against the
// selected server (the default one when none is selected or the selection lies beyond the
// list).
void CheckUpdatesAtStartup(CDriverState& state, CUpdateChecker& checker);
// The same with a checker of its own against the program's default server.
void CheckUpdatesAtStartup(CDriverState& state);
