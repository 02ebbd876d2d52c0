#pragma once
// Where the set-up windows hand over to windows that live elsewhere: the camera alignment
// view and the updater launch. Each is filled by its own code at start-up; while one is null
// the button that leads to it does nothing more after its question.

#include <windows.h>

class CDriverState;

// The alignment page's button, after the question that the page asks itself (M3 when the
// wizard came from the tray; a No ends there). Runs the alignment view modally over hOwner,
// camera after camera: builds the view on the controller's monitor areas with the last
// camera index g_nDeviceCount - 1, sets g_pAdjustDlg, runs it, then StopImageStream and clears
// g_pAdjustDlg, whatever the view's result. Returns that result. The page starts pen tracking
// again itself afterwards when the wizard came from the tray.
extern INT_PTR (*g_pfnRunAlignmentView)(CDriverState& state, HWND hOwner);

// The configuration dialog's Update button, after M8 was answered Yes: starts the updater (or
// the browser) for the default base URL with the show command given (SW_SHOW), then destroys
// the main window, which ends the program. Should it return, the dialog stays open.
extern void (*g_pfnLaunchDefaultUpdater)(int nShowCommand);
