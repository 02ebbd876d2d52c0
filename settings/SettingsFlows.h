#pragma once
// The settings by camera count: where the settings come from and go to at start-up, around the
// wizard and after the configuration dialog. One or two cameras read and write the settings
// file; one camera that keeps its own settings also its setting store. User-interface thread.

class CDriverState;

// One camera that keeps its settings and calibration in its own store.
bool KeepsOwnSettings(CDriverState& state);
// One or two cameras were found and opened.
bool HasCameras();

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
