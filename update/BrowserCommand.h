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
