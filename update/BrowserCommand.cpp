#include "update/BrowserCommand.h"

namespace
{
bool IsControl(wchar_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}
} // namespace

bool IsSafeBrowserUrl(std::wstring_view url)
{
    if (url.empty() || url.front() == L'-' || url.back() == L'\\')
        return false;
    for (const wchar_t c : url)
    {
        if (c == L'"' || IsControl(c))
            return false;
    }
    return true;
}

std::optional<std::wstring> BuildBrowserCommand(std::wstring_view openCommand,
                                                std::wstring_view url)
{
    if (openCommand.empty() || !IsSafeBrowserUrl(url))
        return std::nullopt;
    std::size_t cut = openCommand.find(L"\"%1\"");
    if (cut == std::wstring_view::npos)
        cut = openCommand.find(L"%1");
    std::wstring command(openCommand.substr(0, cut));
    command += L" \"";
    command += url;
    command += L'"';
    return command;
}
