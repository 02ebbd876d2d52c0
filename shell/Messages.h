#pragma once
// Private messages of the driver's main window. The reader thread hands work to the
// user-interface thread only by posting these.

#include <cstdint>

enum : std::uint32_t
{
    // Start the calibration of the camera in g_nCalibCamera.
    WM_CALIBRATE_NEXT = 11032,
    // Start pen tracking on every camera again.
    WM_RESTART_TRACKING = 11035,
    // Show the mouse cursor that a calibration hid.
    WM_SHOW_CURSOR = 11038,
};
