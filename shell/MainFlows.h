#pragma once
// What the hidden main window decides, apart from its windows: power and display changes, a
// stalled camera, and the device part of shutdown (the settings by camera count are in
// settings/SettingsFlows.h). The Win32 main dialog calls these from
// its handlers; all run on the user-interface thread.

#include <cstdint>

class CDriverState;

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
