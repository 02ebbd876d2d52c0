#pragma once
// How the subsystems are joined: the reader callbacks and lifecycle steps the device layer
// borrows, and the calibration hooks of the running program, which hand the capture's window
// and file work from the reader thread to the user-interface thread.

#include "calibration/CaptureSequence.h"
#include "device/DeviceController.h"

// OnPenByte, the image decoder and the calibration tables, for the device controller. The
// state record hands them to its controller when it is built.
DEVICE_CALLBACKS DriverDeviceCallbacks();

// The program's calibration hooks apart from the window's: the saves that finish a camera are
// posted to the main window (WM_SAVE_SETTINGS_FILE, WM_WRITE_CAMERA_STORE) and run there in
// the order they were asked for; Escape's reload runs where Escape is handled. The main window
// adds the calibration window's hooks and installs the table, once.
CALIBRATION_HOOKS ProgramCalibrationHooks();
