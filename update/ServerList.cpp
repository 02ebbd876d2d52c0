#include "update/ServerList.h"

#include "core/DriverState.h"
#include "core/IniFile.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "update/ProfileText.h"

#include <algorithm>
#include <string>

namespace
{
std::wstring ReadText(const CIniFile& file, const std::wstring& section, const std::wstring& key)
{
    wchar_t text[SERVER_TEXT_CHARS];
    file.ReadString(section.c_str(), key.c_str(), nullptr, text, SERVER_TEXT_CHARS);
    return text;
}
} // namespace

int ReadServerCount(const CProfileText& list, const std::wstring& langCode)
{
    wchar_t text[SERVER_COUNT_CHARS];
    list.ReadString(langCode.c_str(), L"Count", nullptr, text, SERVER_COUNT_CHARS);
    return TextToInt(text);
}

void AcceptServerList(CDriverState& state, int count)
{
    state.m_nServerCount = std::clamp(count, -1, SERVER_SLOT_COUNT);
    if (state.m_nServerCount < 1)
        return;
    CIniFile installed;
    installed.SetPath((Platform().GetModuleDirectory() + L"\\" + SERVER_LIST_FILE).c_str());
    for (int n = 1; n <= state.m_nServerCount; ++n)
    {
        const std::wstring number = std::to_wstring(n);
        state.m_strServerAlias[n - 1] = ReadText(installed, state.m_strLangCode, L"Alias" + number);
        state.m_strServerUrl[n - 1] = ReadText(installed, state.m_strLangCode, L"Server" + number);
    }
}

std::wstring ReadNewVersion(const CProfileText& upgrade)
{
    wchar_t text[NEW_VERSION_CHARS];
    const std::size_t length =
        upgrade.ReadString(L"Update", L"NewVersion", nullptr, text, NEW_VERSION_CHARS);
    if (length >= NEW_VERSION_CHARS - 1)
        return std::wstring();
    return text;
}

std::wstring ChooseUpdateServer(const CDriverState& state, const std::wstring& defaultUrl)
{
    const int selected = state.m_nSelectServer;
    if (selected >= 1 && selected <= std::min(state.m_nServerCount, SERVER_SLOT_COUNT))
        return state.m_strServerUrl[selected - 1];
    return defaultUrl;
}
