#pragma once
// Messages and commands of the driver's main window. The reader thread hands work to the
// user-interface thread only by posting these.

#include <cstdint>

enum : std::uint32_t
{
    // The tray icon's callback; lParam is the mouse message.
    WM_TRAYNOTIFY = 11025,
    // Start a calibration; wParam CALIBRATE_NEXT_CAMERA when a finished camera hands over to
    // the camera in g_nCalibCamera.
    WM_CALIBRATE_NEXT = 11032,
    // Start pen tracking on every camera again.
    WM_RESTART_TRACKING = 11035,
    // Show the mouse cursor that a calibration hid.
    WM_SHOW_CURSOR = 11038,
    // A finished calibration asks for the settings file to be saved.
    WM_SAVE_SETTINGS_FILE = 11040,
    // A finished calibration asks for camera 0's points to be written into its store.
    WM_WRITE_CAMERA_STORE = 11041,
    // The stall watch gave up on a camera: tell the user and end the program.
    WM_CAMERA_STALLED = 11042,
    // The update check's worker has fetched a file (or given up on it); wParam is the step.
    WM_UPDATE_FETCHED = 11043,
    // The reader could not call a D2XX entry point; lParam is its name (a static string).
    WM_D2XX_ENTRY_INVALID = 11044,
    // The reads of a camera fail: the unit is gone (wParam: the camera). The reader has let its
    // pens go and hands it on no more.
    WM_UNIT_GONE = 11050,
    // The units that were gone are listed again: reopen them.
    WM_UNIT_BACK = 11051,
    // A camera went quiet (lParam 1) or was heard again (lParam 0); wParam is the camera.
    WM_CAMERA_QUIET = 11046,
    // A recording of the camera stream ended by itself (its size limit, or a failed write).
    WM_RECORDING_ENDED = 11045,
};

// Tray menu commands, sent to the main window as WM_COMMAND.
enum : std::uint32_t
{
    ID_TRAY_CONFIG = 11026,
    ID_TRAY_EXIT = 11027,
    ID_TRAY_CALIBRATE = 11028,
    ID_TRAY_KEYBOARD = 11029,
    ID_TRAY_RESERVED = 11030,
    ID_TRAY_INKORA = 11031,
    ID_TRAY_WIZARD = 11036,
    ID_TRAY_ABOUT = 11037,
    // Shown only while the camera stream is being recorded.
    ID_TRAY_STOP_RECORDING = 11044,
};

// wParam of WM_CALIBRATE_NEXT posted by a calibration that goes on with the next camera.
constexpr std::uintptr_t CALIBRATE_NEXT_CAMERA = 1;
