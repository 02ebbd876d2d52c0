#pragma once
// Leaving the driver for the updater. The updater, "AutoUpdate.exe" beside the program, is
// started with "3" followed by the default server's base address; when it cannot be started,
// the page at the given address opens, with the user's rights, in the program the machine
// (not a user's own keys) registers for ".htm" files. Either
// way the driver then ends: the quit is posted to the main window, so the caller returns to
// its message loop and the program closes through its usual quit path.

#include <string>

inline constexpr wchar_t UPDATER_PROGRAM[] = L"AutoUpdate.exe";
// The show command every caller passes (SW_SHOW).
constexpr int UPDATER_SHOW = 5;

void LaunchUpdater(const std::wstring& url, int show);
