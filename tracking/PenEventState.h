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
// Stall watch: the last byte per camera, and how many times in a row it came again.
extern std::uint8_t g_lastByte[TRACKED_CAMERAS];
extern std::uint16_t g_sameByteCount[TRACKED_CAMERAS];

// Repeats of one byte after its first arrival that end the program.
constexpr std::uint16_t STALL_LIMIT = 1000;

// The stall watch and the per-camera results back to their start values. For tests and tools.
void ResetPenEventDriver();
