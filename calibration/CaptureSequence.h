#pragma once
// The capture side of a calibration: the steady-sample accumulators that the calibration
// callback keeps, the target sequence of each model, the capture of one target, finishing a
// camera (solve, save, hand-over to the next camera or back to pen tracking), Escape, and the
// device steps of starting a camera's calibration. The calibration window and the settings
// file are reached through hooks that their own code fills; a hook that is not set is
// skipped. State diagram: CaptureSequence.md.

#include "device/CameraRecord.h"

#include <atomic>
#include <cstdint>

class CDeviceController;

// Pen-present samples in a row, and the sums of their camera x and y. Reader thread; the
// user-interface thread touches them only while no reader runs.
extern std::uint16_t g_nSteadyCount;
extern std::int32_t g_nSumX;
extern std::int32_t g_nSumY;
// 1 after a capture until the pen is lifted.
extern std::uint8_t g_bPointTaken;
// Sixteen-point sequence: 4 x row and column of the next target, and targets captured.
extern std::uint32_t g_nGridRowStep;
extern std::uint32_t g_nGridColumn;
extern std::uint32_t g_nCapturedPoints;
// The camera unit being calibrated; also its monitor record and table element. Written on
// the reader thread when a camera finishes, read by the user-interface thread.
extern std::atomic<std::uint16_t> g_nCalibCamera;

// A target is taken at this pen-present sample in a row.
constexpr std::uint16_t STEADY_SAMPLES = 7;
constexpr std::uint32_t GRID_ROW_STEP = 4;
constexpr std::uint32_t GRID_LAST_ROW_STEP = 12;

// State of the target sequence that the calibration window shows.
class CCaptureState
{
public:
    // Target shown: nine-point 0 ... 8, sixteen-point 0 ... 15. Written on the reader thread,
    // and on Escape once the reader stopped; the window reads it to draw.
    std::atomic<std::uint16_t> m_nTargetIndex{0};
    // Targets are taken only while armed: from the start of a camera's calibration until its
    // last target is taken or the calibration is abandoned. A tap between the last target and
    // the restart of tracking captures nothing.
    std::atomic<bool> m_bArmed{false};
};

extern CCaptureState g_captureState;

// What the calibration window and the settings code provide. Every hook is optional. The
// capture runs on the reader thread, so the hooks it calls there (redraw, hide, the saves)
// must not draw or write files themselves: the program's hooks post the work to the
// user-interface thread, in order.
struct CALIBRATION_HOOKS
{
    // The window steps of StartCalibration: cover camera's monitor (from the controller's
    // monitor table, before it is refreshed), lay out the model's targets and show them.
    // User-interface thread.
    // False when the window could not be shown: the calibration does not start.
    bool (*pfnShowWindow)(CDeviceController& controller, std::uint16_t camera) = nullptr;
    // Draws the current target again (reader thread, after every capture).
    void (*pfnRedraw)() = nullptr;
    // Hides the window (reader thread when a camera is finished, user-interface thread on
    // Escape).
    void (*pfnHideWindow)() = nullptr;
    // Saves the settings file (reader thread).
    bool (*pfnSaveSettings)() = nullptr;
    // Writes camera 0's new points into its own setting store (reader thread; only for one
    // camera that keeps its settings).
    void (*pfnWriteCameraStore)() = nullptr;
    // A camera's capture has just been solved (reader thread): the program judges it and keeps
    // the report. lastCamera: no camera follows, the report is shown.
    void (*pfnCameraSolved)(std::int32_t model, std::uint16_t camera, bool lastCamera) = nullptr;
    // Escape: reloads the calibration values from the settings file.
    void (*pfnReloadCalibration)() = nullptr;
    // Escape with the settings kept in the camera: shows the re-read values in the main
    // dialog's controls.
    void (*pfnRefreshControls)() = nullptr;
};

// Filled on the user-interface thread at start-up, before any reader runs.
extern CALIBRATION_HOOKS g_calibrationHooks;

// Starts camera's calibration: the window, then the device (stop the reader, select the
// camera, refresh the devices, prepare the selected model's targets for every camera, the
// pen start sequence to the camera, the calibration callback). Camera 0 starts a new
// calibration: first target, nothing captured. False when the window cannot be shown
// (nothing has been started then) or when the device refresh fails (the window then stays up
// and Escape is the way out).
bool StartCalibration(CDeviceController& controller, std::uint16_t camera);

// Mode-0 reader callback during calibration: the calibrated camera's record. Runs the stall
// watch, the raw parser of the camera's form and, for every pen-present sample, CapturePoint.
void OnCalibrationByte(CAMERA_RECORD record);

// Called after every pen-present sample: takes the current target at the seventh sample in
// a row, unless one was taken and the pen has not been lifted since.
void CapturePoint();

// Escape: stops the reader first, so that no capture can run while the state is reset; then
// hides the window, returns everything to camera 0 and target 0, restores the settings from
// where they are kept, and has the main window show the cursor and track pens again.
void AbandonCalibration(CDeviceController& controller);

// Back to the state at program start, hooks included. For tests and tools.
void ResetCaptureState();
