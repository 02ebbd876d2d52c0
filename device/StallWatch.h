#pragma once
// The stall watch: a camera that sends the same byte again and again has stopped. Every reader
// callback runs it on each byte it is handed, before anything else.

#include "device/SpotSlot.h"

#include <cstdint>

// The last byte per camera, and how many times in a row it came again. Reader thread; reset
// on the user-interface thread only while no reader runs.
extern std::uint8_t g_lastByte[TRACKED_CAMERAS];
extern std::uint16_t g_sameByteCount[TRACKED_CAMERAS];

// Repeats of one byte after its first arrival that end the program.
constexpr std::uint16_t STALL_LIMIT = 1000;

// Gives up on a camera that sends the same byte 1001 times in a row: lifts every pen (through
// the controller's pfnReleasePens), sets the link's failure flag and asks the main window
// (WM_CAMERA_STALLED) to tell the user and end the program.
void StallWatch(std::uint16_t camera, std::uint8_t byte);
// Forgets the bytes the stall watch has counted, for every camera.
void ResetStallWatch();
