#pragma once
// The reader-thread callbacks: OnPenByte while pens are tracked, OnCalibrationByte while a
// camera is calibrated. Both run the stall watch first.

#include "device/CameraRecord.h"

#include <cstdint>

// Mode-1 reader callback: one byte of every camera, in the record table.
void OnPenByte(CAMERA_RECORD* records);
// Mode-0 reader callback during calibration: the calibrated camera's record.
void OnCalibrationByte(CAMERA_RECORD record);

// Lifts the pens a camera holds (pen 0's button goes up at its last position, pens 1 to 3 get
// their lift) and forgets what it saw; in the multi-spot form the tracked pens are camera 0's.
// OnPenByte calls it once each time a camera goes quiet. Reader thread, or while no reader runs.
void ReleaseCameraPens(std::uint16_t camera);
// Lifts every pen the same way, whichever camera holds it.
void ReleaseAllPens();

// Gives up on a camera that sends the same byte 1001 times in a row: lifts every pen, sets the
// link's failure flag and asks the main window (WM_CAMERA_STALLED) to tell the user and end
// the program.
void StallWatch(std::uint16_t camera, std::uint8_t byte);
// Forgets the bytes the stall watch has counted, for every camera.
void ResetStallWatch();
