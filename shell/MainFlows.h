#pragma once
// What the hidden main window decides, apart from its windows: the settings by camera count at
// start-up, around the wizard and after the configuration dialog, power and display changes,
// a stalled camera, and the device part of shutdown. The Win32 main dialog calls these from
// its handlers; all run on the user-interface thread.

#include <cstdint>

class CDriverState;

// Start-up: the settings file, and with one camera that keeps its own settings the camera's
// values after it; then, when they say calibrated, the calibration (LoadStartupCalibration).
// A calibration that cannot be used clears m_bCalibrated, so the first-run wizard follows.
// True when the camera's values were read (the dialog data follow them).
bool LoadStartupSettings(CDriverState& state);

// The saved calibration: the camera's own points (one camera keeping its settings, model
// rebuilt from them), otherwise the settings file's tables. False when it cannot map: a
// stored point outside the camera image or a rebuild that fails, or a file value of the
// current model that is not finite or absurdly large.
bool LoadStartupCalibration(CDriverState& state);

// Saves by camera count: the settings file with one or two cameras; with one camera that
// keeps its settings, writeDevice then also writes every device setting into it (after
// stopping the reader, as the device needs).
void SaveSettingsByCameraCount(CDriverState& state, bool writeDevice);

// After the configuration dialog's OK: save, and with one camera that keeps its settings and
// no calibration yet, mark the record calibrated and write the options into the camera.
void SaveAfterConfiguration(CDriverState& state);

// Before a wizard opened from the tray: stop the reader, reload the settings (the file, then
// the camera's values with one camera that keeps them) and start tracking again. True when
// the camera's values were read.
bool ReloadBeforeTrayWizard(CDriverState& state);

// Power broadcast events, with the values Windows gives them.
enum : std::uint32_t
{
    POWER_SUSPEND = 4,
    POWER_RESUME_SUSPEND = 7,
};
void OnPowerEvent(CDriverState& state, std::uint32_t event);

// The display changed. With one uncalibrated camera that keeps its settings the user is told
// (M4; the message boxes carry the brand name from then on with the Velmara skin).
void OnDisplayChange(CDriverState& state);

// The stall watch gave up on a camera: end the reader, tell the user (M1, error icon) and
// quit. Runs once however often the watch asks.
void OnCameraStalled(CDriverState& state);

// Shutdown's device steps: save the settings when the link has not failed and one or two
// cameras are open, then stop the reader and lift every pen still down. The reader is always
// ended, also after a failure.
void ShutdownDevices(CDriverState& state);
