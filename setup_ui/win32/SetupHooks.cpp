#include "setup_ui/win32/SetupHooks.h"

INT_PTR (*g_pfnRunAlignmentView)(CDriverState& state, HWND hOwner) = nullptr;
void (*g_pfnLaunchDefaultUpdater)(int nShowCommand) = nullptr;
