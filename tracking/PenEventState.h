#pragma once
// State the pen callbacks keep between bytes, written on the reader thread. The user-interface
// thread resets the stall watch only while no reader runs.

#include "tracking/SpotParser.h"

#include <cstdint>

// Each camera's last completed single-spot result (present or lifted); lifted at start.
extern SPOT_SLOT g_singleSpot[TRACKED_CAMERAS];
// The camera whose result drove pen 0 last, in the single-spot form.
extern std::uint16_t g_nPointerCamera;
// The camera went quiet and its pens were released; cleared by its next byte.
extern bool g_bCameraQuiet[TRACKED_CAMERAS];
// The stall watch and the per-camera results back to their start values. For tests and tools.
void ResetPenEventDriver();
