#include "update/win32/UpdateChecker.h"

#include "core/DriverState.h"
#include "platform/Platform.h"
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

void CUpdateChecker::CheckForUpdate(const std::wstring& baseUrl)
{
    m_strServerVersion.clear();
    const std::optional<VERSION_NUMBER> own = GetOwnFileVersion();
    if (!own)
        return;
    const std::wstring ownText = FormatVersionText(*own);
    if (Fetch(baseUrl, UPGRADE_FILE) != FETCH_RESULT::FETCHED)
        return;
    m_strServerVersion = ReadNewVersion(m_iniDownload);
    if (ParseVersionText(m_strServerVersion) > *own)
        OnNewVersion(ownText, m_strServerVersion, baseUrl);
    else
        OnNoNewVersion(ownText, m_strServerVersion);
}

void CUpdateChecker::CheckForUpdate(std::uint32_t urlStringId)
{
    CheckForUpdate(LoadResourceText(urlStringId));
}

int CUpdateChecker::DownloadServerList(const std::wstring& baseUrl)
{
    switch (Fetch(baseUrl, SERVER_LIST_FILE))
    {
    case FETCH_RESULT::FETCHED:
        return ReadServerCount(m_iniDownload, m_state.m_strLangCode);
    case FETCH_RESULT::REQUEST_FAILED:
        return 0;
    case FETCH_RESULT::FILE_FAILED:
        return -1;
    }
    return 0;
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

FETCH_RESULT CUpdateChecker::Fetch(const std::wstring& baseUrl, const wchar_t* fileName)
{
    const std::wstring localPath = TempFilePath(fileName);
    const FETCH_RESULT result = FetchUrlToFile(baseUrl + fileName, localPath);
    if (result == FETCH_RESULT::FILE_FAILED)
        Platform().ShowMessageBox(FILE_CREATE_ERROR_TEXT, BOX_OK | BOX_ICONERROR);
    else if (result == FETCH_RESULT::FETCHED)
        m_iniDownload.SetPath(localPath.c_str());
    return result;
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
