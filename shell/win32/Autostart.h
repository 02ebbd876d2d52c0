#pragma once
// Start with Windows: a value under the local machine's Run key holding the executable's path.

#include <windows.h>

// Writes (enable) or deletes the value; false when the key cannot be opened, the value name
// is missing for a write, or the registry call fails.
BOOL SetAutostart(BOOL enable, LPCWSTR valueName);
