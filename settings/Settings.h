#pragma once
// The settings file, Config.ini beside the executable: the switches of section "State" and,
// for each screen size and camera, the calibration of both models. All access goes through
// the state record's m_iniConfig, whose path is set from m_strConfigPath before every load
// and save. Write failures are silent: the next start sees the old file.

#include <cstddef>

class CDriverState;
struct CALIBRATION_HOOKS;

// Characters read for one "State" value, terminating zero included: four are used, so
// "12345" reads as 1234.
constexpr std::size_t STATE_VALUE_CHARS = 5;
// Characters read for one calibration value, terminating zero included.
constexpr std::size_t CALIB_VALUE_CHARS = 30;

// Decimal text to int by the rules of _wtoi: leading white space, an optional sign, then
// digits up to the first other character. No digits give 0; a value beyond the int range is
// clamped to it. A null text gives 0.
int TextToInt(const wchar_t* text);

// Reads section "State". The five values that a single camera with its own setting store
// keeps ("Save", "Check Ceiling", "Check Rear", "Lens Angles", "Inkora") are read unless
// g_bSettingsInDevice is set with one camera; "Start Program", "Radio Server" and "Select
// Server" always. An
// absent or non-numeric value reads as 0. The Win32 main dialog pushes the ceiling flag into
// its check box afterwards.
void LoadSettings(CDriverState& state);

// Writes the eight "State" keys, then the calibration of the current model for every camera
// into the sections named from the primary screen size: "W_H_Vector<c>" with v0..v8 for the
// nine-point model (m_nCalibModel 1), "W_H_Param<c>" with p0..p12 for the sixteen-point one
// (m_nCalibModel 0), nothing for any other model. A camera's model holding a value that is
// not storable is not written, so the file never receives a value it cannot read back.
void SaveSettings(CDriverState& state);

// Magnitude from which a calibration value is refused: no camera-to-screen model has such a
// coefficient, and its "%.18f" text would no longer be read back whole.
constexpr double CALIB_VALUE_LIMIT = 1e9;
// True for a calibration value that may be used and written: finite and below the limit.
bool IsStorableCalibValue(double value);

// Reads the calibration sections of both models for every camera at the current primary
// screen size. An absent or unreadable value leaves the table's value as it was; a value that
// is not finite or beyond the limit is refused, leaves the table's value as it was, and marks
// that camera's model not valid; otherwise a model that received at least one value is marked
// valid. False when a value of the current model was refused: that model is not calibrated
// at this screen size.
bool LoadCalibration(CDriverState& state);

// Reads only the current model's calibration sections, with the same rules and result.
bool LoadCurrentModelCalibration(CDriverState& state);

// After a display change: the settings, then the current model's calibration for the new
// screen size.
void ReloadSettingsAfterDisplayChange(CDriverState& state);

// Saves the settings of the driver's one state record (g_pMainDlg). This is the save that
// ends each camera's calibration and the calibration as a whole. False when there is no
// record yet.
bool SaveSettingsFile();

// Escape during a calibration: reloads both models' calibration from the settings file.
void ReloadCalibrationAfterCancel();

// The calibration hooks that reach the settings file and the camera's store directly: the
// saves that finish a camera run where the capture runs, and the reload of both models'
// calibration when a calibration is cancelled. For tests and tools that have no windows;
// the program hands the saves to its user-interface thread instead (shell/DriverWiring.h).
void AddCalibrationSettingsHooks(CALIBRATION_HOOKS& hooks);
