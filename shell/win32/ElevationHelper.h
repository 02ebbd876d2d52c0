#pragma once
// The driver always runs elevated on systems that know elevation: a copy started without it
// starts itself again with "runas" and ends.

#include <windows.h>

class CElevationHelper
{
public:
    virtual ~CElevationHelper() = default;

    // Windows NT 6 or later; false when the version cannot be read.
    BOOL IsVistaOrLater();
    BOOL IsProcessElevated();
    BOOL RelaunchElevated(HWND hOwner);
};
