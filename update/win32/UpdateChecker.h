#pragma once
// The update check that ends start-up: fetch the server list from the default server, pick
// the server to ask, fetch its upgrade description and offer the updater when it names a
// newer version than the program's own. The downloaded files go to the user's temporary
// folder. The handlers are virtual so that the main window (or a test) can take the outcome
// elsewhere; their order is fixed.

#include "core/IniFile.h"
#include "update/win32/ModuleInfo.h"
#include "update/win32/WebFetch.h"

#include <cstdint>
#include <string>

class CDriverState;

// The box shown when a downloaded file cannot be created.
inline constexpr wchar_t FILE_CREATE_ERROR_TEXT[] = L"파일생성오류";

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
    // list could not be fetched, -1 when its local copy could not be created.
    virtual int DownloadServerList(const std::wstring& baseUrl);
    virtual ~CUpdateChecker() = default;
    // Marks the new version for the configuration dialog and asks whether to update now; yes
    // leaves for the updater (the browser opens baseUrl when there is no updater).
    virtual void OnNewVersion(const std::wstring& ownVersion, const std::wstring& serverVersion,
                              const std::wstring& baseUrl);
    virtual void OnNoNewVersion(const std::wstring& ownVersion, const std::wstring& serverVersion);
    virtual void OnUpdateReset();

    const std::wstring& DefaultUrl() const { return m_strDefaultUrl; }

    // Bound to the file just downloaded.
    CIniFile m_iniDownload;
    // "NewVersion" of the last upgrade description, "" before one was read.
    std::wstring m_strServerVersion;

protected:
    CDriverState& m_state;

private:
    FETCH_RESULT Fetch(const std::wstring& baseUrl, const wchar_t* fileName);

    std::wstring m_strDefaultUrl;
};

// The last step of start-up: the server list from the checker's default server, the servers
// it names from the installed list, then the check against the selected server (the default
// one when none is selected or the selection lies beyond the list).
void CheckUpdatesAtStartup(CDriverState& state, CUpdateChecker& checker);
// The same with a checker of its own against the program's default server.
void CheckUpdatesAtStartup(CDriverState& state);
