#include "update/win32/UpdateChecker.h"

#include "core/DriverState.h"
#include "platform/Platform.h"
#include "update/ProfileText.h"
#include "update/ServerList.h"
#include "update/VersionText.h"
#include "update/win32/UpdaterLaunch.h"

#include <windows.h>

#include <utility>

namespace
{
// Index of text M7 in the record's message texts.
constexpr int MSG_NEW_VERSION = 6;
} // namespace

CUpdateChecker::CUpdateChecker(CDriverState& state, std::wstring defaultUrl)
    : m_state(state), m_strDefaultUrl(std::move(defaultUrl))
{
}

CUpdateChecker::~CUpdateChecker()
{
    StopCheck();
}

void CUpdateChecker::CheckForUpdate(const std::wstring& baseUrl)
{
    m_strServerVersion.clear();
    const std::optional<VERSION_NUMBER> own = GetOwnFileVersion();
    if (!own)
        return;
    std::string body;
    if (FetchUrl(baseUrl + UPGRADE_FILE, body) != FETCH_RESULT::FETCHED)
        return;
    TakeUpgrade(*own, body, baseUrl);
}

void CUpdateChecker::CheckForUpdate(std::uint32_t urlStringId)
{
    CheckForUpdate(LoadResourceText(urlStringId));
}

int CUpdateChecker::DownloadServerList(const std::wstring& baseUrl)
{
    std::string body;
    if (FetchUrl(baseUrl + SERVER_LIST_FILE, body) != FETCH_RESULT::FETCHED)
        return 0;
    return ServerCountOf(body);
}

void CUpdateChecker::OnNewVersion(const std::wstring&, const std::wstring&,
                                  const std::wstring& baseUrl)
{
    m_state.m_bNewVersionAvailable = 1;
    if (Platform().ShowMessageBox(m_state.m_strMsgText[MSG_NEW_VERSION],
                                  BOX_YESNO | BOX_ICONINFORMATION) == IDYES)
        LaunchUpdater(baseUrl, UPDATER_SHOW);
}

void CUpdateChecker::OnNoNewVersion(const std::wstring&, const std::wstring&) {}

void CUpdateChecker::OnUpdateReset()
{
    m_state.m_bNewVersionAvailable = 0;
}

void CUpdateChecker::StartCheck(std::uint32_t doneMessage)
{
    m_nDoneMessage = doneMessage;
    m_nCheckStartMicros = Platform().MonotonicMicros();
    m_nLastAnswerMicros = m_nCheckStartMicros;
    StartFetch(m_strDefaultUrl + SERVER_LIST_FILE, STEP_SERVER_LIST);
}

void CUpdateChecker::OnFetched(std::uintptr_t step)
{
    if (!m_worker.joinable())
        return;
    m_worker.join();
    m_nLastAnswerMicros = Platform().MonotonicMicros();
    if (step == STEP_SERVER_LIST)
    {
        AcceptServerList(
            m_state, m_fetchResult == FETCH_RESULT::FETCHED ? ServerCountOf(m_strFetchBody) : 0);
        m_strCheckUrl = ChooseUpdateServer(m_state, m_strDefaultUrl);
        m_strServerVersion.clear();
        if (GetOwnFileVersion())
            StartFetch(m_strCheckUrl + UPGRADE_FILE, STEP_UPGRADE);
    }
    else if (step == STEP_UPGRADE && m_fetchResult == FETCH_RESULT::FETCHED)
    {
        if (const std::optional<VERSION_NUMBER> own = GetOwnFileVersion())
            TakeUpgrade(*own, m_strFetchBody, m_strCheckUrl);
    }
}

void CUpdateChecker::StopCheck()
{
    m_bStop = true;
    if (m_worker.joinable())
        m_worker.join();
}

int CUpdateChecker::ServerCountOf(const std::string& body) const
{
    return ReadServerCount(CProfileText(body), m_state.m_strLangCode);
}

void CUpdateChecker::TakeUpgrade(const VERSION_NUMBER& own, const std::string& body,
                                 const std::wstring& baseUrl)
{
    m_strServerVersion = ReadNewVersion(CProfileText(body));
    const std::wstring ownText = FormatVersionText(own);
    if (ParseVersionText(m_strServerVersion) > own)
        OnNewVersion(ownText, m_strServerVersion, baseUrl);
    else
        OnNoNewVersion(ownText, m_strServerVersion);
}

void CUpdateChecker::StartFetch(const std::wstring& url, STEP step)
{
    if (m_worker.joinable())
        m_worker.join();
    m_bStop = false;
    m_worker = std::thread(
        [this, url, step]
        {
            std::string body;
            m_fetchResult = FetchUrl(url, body, &m_bStop);
            m_strFetchBody = std::move(body);
            if (!m_bStop.load())
                Platform().PostMainMessage(m_nDoneMessage, step, 0);
        });
}

void CheckUpdatesAtStartup(CDriverState& state, CUpdateChecker& checker)
{
    AcceptServerList(state, checker.DownloadServerList(checker.DefaultUrl()));
    checker.CheckForUpdate(ChooseUpdateServer(state, checker.DefaultUrl()));
}

void CheckUpdatesAtStartup(CDriverState& state)
{
    CUpdateChecker checker(state);
    CheckUpdatesAtStartup(state, checker);
}
