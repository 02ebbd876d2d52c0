#include "update/BrowserCommand.h"

#include "platform/Platform.h"

#include <algorithm>

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

COMMAND_PARTS SplitCommandLine(std::wstring_view commandLine)
{
    const auto blank = [](wchar_t c) { return c == L' ' || c == L'\t'; };
    while (!commandLine.empty() && blank(commandLine.front()))
        commandLine.remove_prefix(1);
    COMMAND_PARTS parts;
    std::size_t end = 0;
    if (!commandLine.empty() && commandLine.front() == L'"')
    {
        const std::size_t close = commandLine.find(L'"', 1);
        end = close == std::wstring_view::npos ? commandLine.size() : close + 1;
        parts.program = commandLine.substr(1, std::min(close, commandLine.size()) - 1);
    }
    else
    {
        while (end < commandLine.size() && !blank(commandLine[end]))
            ++end;
        parts.program = commandLine.substr(0, end);
    }
    std::wstring_view rest = commandLine.substr(end);
    while (!rest.empty() && blank(rest.front()))
        rest.remove_prefix(1);
    parts.parameters = rest;
    return parts;
}

bool StartMachineBrowser(std::wstring_view url, int show)
{
    const std::wstring classes = L"Software\\Classes\\";
    const std::wstring pageType =
        Platform().ReadRegistryText(REGISTRY_ROOT::LOCAL_MACHINE, classes + L".htm", L"");
    if (pageType.empty())
        return false;
    const std::wstring openCommand = Platform().ReadRegistryText(
        REGISTRY_ROOT::LOCAL_MACHINE, classes + pageType + L"\\shell\\open\\command", L"");
    const std::optional<std::wstring> commandLine = BuildBrowserCommand(openCommand, url);
    if (!commandLine)
        return false;
    const COMMAND_PARTS parts = SplitCommandLine(*commandLine);
    return !parts.program.empty() &&
           Platform().StartProgramAsUser(parts.program, parts.parameters, show);
}
