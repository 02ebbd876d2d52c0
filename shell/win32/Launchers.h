#pragma once
// The companion tools a person at the board starts from the tray without a keyboard: the
// system's on-screen keyboard (the tablet input panel first), the companion annotation
// program, and the maker's web site from the About box, in the machine's browser. Each runs
// with the signed-in user's rights, started by the desktop shell, never with the driver's.
// Fire and forget: nothing is reported.

#include <windows.h>

// True for a 32-bit program on 64-bit Windows.
BOOL IsWow64();
void ShowOnScreenKeyboard();
void StartInkora();
void OpenMakerWebSite(HWND hOwner);
