#pragma once
// The reader-thread callback while pens are tracked: OnPenByte, which runs the stall watch
// first, and the release of the pens a camera holds.

#include "device/CameraRecord.h"

#include <cstdint>

// Mode-1 reader callback: one byte of every camera, in the record table.
void OnPenByte(CAMERA_RECORD* records);

// Lifts the pens a camera holds (pen 0's button goes up at its last position, pens 1 to 3 get
// their lift) and forgets what it saw; in the multi-spot form the tracked pens are camera 0's.
// OnPenByte calls it once each time a camera goes quiet. Reader thread, or while no reader runs.
void ReleaseCameraPens(std::uint16_t camera);
// Lifts every pen the same way, whichever camera holds it.
void ReleaseAllPens();
