// The update check's readers on arbitrary server files: the same bytes serve as the server
// list (downloaded and installed copy), the upgrade description and, line by line, as the
// browser command and address. Every read stays inside its buffer, the stored server count
// inside the record's slots, a parsed version formats back to itself, and a browser command
// line is only ever built around a safe address.

#include "core/DriverState.h"
#include "core/IniFile.h"
#include "shell/Driver.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/ProfileWorld.h"
#include "update/BrowserCommand.h"
#include "update/DownloadRule.h"
#include "update/ProfileText.h"
#include "update/ServerList.h"
#include "update/UpdateUrl.h"
#include "update/VersionText.h"

#include <cstdint>
#include <cwchar>
#include <string>
#include <string_view>

namespace
{
std::wstring g_strFileText;

CDriverState& State()
{
    static CFakePlatform platform;
    static const bool installed = []
    {
        platform.m_profileReader = [](const std::wstring&, const std::wstring& section,
                                      const std::wstring& key, const std::wstring& defaultValue,
                                      std::size_t)
        {
            // A list may count up to 255 servers; parsing the whole input for each of them
            // would slow the run a hundredfold, so servers past the first few read as absent.
            const std::size_t digits = key.find_first_of(L"0123456789");
            const std::wstring name = key.substr(0, digits);
            if (digits != std::wstring::npos && (name == L"Alias" || name == L"Server") &&
                std::wcstol(key.c_str() + digits, nullptr, 10) > 16)
                return defaultValue;
            // The whole value, however long: the readers' own guard keeps it to the buffer.
            return FindProfileValue(g_strFileText, section, key).value_or(defaultValue);
        };
        SetPlatform(&platform);
        return true;
    }();
    static CDriver state;
    (void)installed;
    return state;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CDriverState& state = State();
    // The downloaded copy is read in memory; the installed list through the profile reader.
    const CProfileText file(std::string_view(reinterpret_cast<const char*>(data), size));
    g_strFileText = file.Text();

    state.m_strLangCode = L"ENU";
    const int count = ReadServerCount(file, state.m_strLangCode);
    FuzzCheck(count >= -999 && count <= 9999);
    AcceptServerList(state, count);
    FuzzCheck(state.m_nServerCount >= -1 && state.m_nServerCount <= SERVER_SLOT_COUNT);
    for (int n = 0; n < state.m_nServerCount; ++n)
    {
        FuzzCheck(state.m_strServerAlias[n].size() < SERVER_TEXT_CHARS);
        FuzzCheck(state.m_strServerUrl[n].size() < SERVER_TEXT_CHARS);
    }
    state.m_nSelectServer = size > 0 ? data[0] : 0;
    const std::wstring chosen = ChooseUpdateServer(state, DEFAULT_UPDATE_URL);
    FuzzCheck(chosen == DEFAULT_UPDATE_URL ||
              (state.m_nSelectServer >= 1 && state.m_nSelectServer <= state.m_nServerCount &&
               chosen == state.m_strServerUrl[state.m_nSelectServer - 1]));

    const std::wstring newVersion = ReadNewVersion(file);
    FuzzCheck(newVersion.size() < NEW_VERSION_CHARS - 1);
    const VERSION_NUMBER version = ParseVersionText(newVersion);
    const std::wstring text = FormatVersionText(version);
    FuzzCheck(ParseVersionText(text) == version);

    const std::size_t lineEnd = g_strFileText.find(L'\n');
    const std::wstring command = g_strFileText.substr(0, lineEnd);
    const std::wstring url =
        lineEnd == std::wstring::npos ? std::wstring() : g_strFileText.substr(lineEnd + 1);
    const auto line = BuildBrowserCommand(command, url);
    if (line)
    {
        FuzzCheck(IsSafeBrowserUrl(url));
        FuzzCheck(line->ends_with(L" \"" + url + L"\""));
    }

    const auto length = ParseContentLength(command);
    if (length)
    {
        CDownloadProgress progress(length, DOWNLOAD_CAP_BYTES);
        while (!progress.Finished())
            progress.OnData(progress.NextReadSize());
        FuzzCheck(progress.Complete() == (*length <= DOWNLOAD_CAP_BYTES));
        FuzzCheck(!progress.Complete() || progress.Received() == *length);
    }
    return 0;
}
