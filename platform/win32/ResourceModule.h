#pragma once
// The module the program's resources (templates, bitmaps, icons, strings) come from.

#include <windows.h>

inline HINSTANCE ResourceInstance()
{
    return GetModuleHandleW(nullptr);
}
