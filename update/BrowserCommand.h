#pragma once
// The command line that opens a web page when the updater cannot be started: the command the
// system registers for opening ".htm" files, with the page's address in place of its
// placeholder. The driver runs elevated and the address may come from a downloaded or
// installed server list, so the address always stands as one quoted argument, and one that
// could break out of its quotes or pass for an option is refused.

#include <optional>
#include <string>
#include <string_view>

// True for an address that can stand quoted as one argument: not empty, no double quote, no
// control character (C0, DEL or C1), no leading '-' (an option to the browser), and no
// trailing backslash (which would escape the closing quote).
bool IsSafeBrowserUrl(std::wstring_view url);

// The open command cut at the first quoted placeholder "%1" or, failing that, at the first
// bare %1 (whole when it has neither), then a space and the quoted address. Nothing when the
// address is refused or the command is empty.
std::optional<std::wstring> BuildBrowserCommand(std::wstring_view openCommand,
                                                std::wstring_view url);

// A command line split into its program (the first argument, without its quotes) and the rest
// (without the blanks that separate it).
struct COMMAND_PARTS
{
    std::wstring program;
    std::wstring parameters;
};
COMMAND_PARTS SplitCommandLine(std::wstring_view commandLine);

// Opens the address in the browser registered for the whole machine: the ".htm" open command
// of HKLM\Software\Classes, never the merged view of the classes that a user's own
// (unelevated) keys take part in. The browser is started for the signed-in user, with the
// user's rights. False when no browser is registered, the address is refused or the shell
// could not be asked.
bool StartMachineBrowser(std::wstring_view url, int show);
