#pragma once
// The per-camera model tables: element k belongs to camera unit k and to monitor record k.
// Both are allocated on first need with the number of camera units and live until the device
// controller releases them. They are replaced only while no reader thread runs.

#include "calibration/NinePointCalib.h"
#include "calibration/SixteenPointCalib.h"

#include <cstdint>

// The user-interface thread allocates the tables and loads models while no reader runs; the
// reader thread writes a camera's model when its capture solves it.
extern CNinePointCalib* g_pNinePointCalib;
extern CSixteenPointCalib* g_pSixteenPointCalib;
// Elements in each table; 0 while the table is absent.
extern std::uint16_t g_nNinePointCalibCount;
extern std::uint16_t g_nSixteenPointCalibCount;

// Allocate a table if it is absent. A table smaller than the camera count (a camera added
// since it was made) grows, keeping the models of the cameras it already had. A count of 0
// allocates nothing. True when the table then has at least that many elements.
bool AllocateNinePointCalib(std::uint16_t cameraCount);
bool AllocateSixteenPointCalib(std::uint16_t cameraCount);
bool AllocateCalibTables(std::uint16_t cameraCount);
// Destroys both tables.
void ReleaseCalibTables();

// Element of camera unit k, or null when the table is absent or has no such element.
CNinePointCalib* NinePointCalibAt(std::uint16_t camera);
CSixteenPointCalib* SixteenPointCalibAt(std::uint16_t camera);

// Prepares camera unit k for a capture: copies its monitor rectangle into both elements, lays
// out both target sets and sets the lens constants. False when the tables lack element k.
bool PrepareCalibTargets(std::uint16_t camera, const CALIB_RECT& monitor);

// Rebuilds camera unit 0's model of the selected kind from the points it keeps: corrects the
// nine raw points and solves the homography, or fits the sixteen camera points. Other cameras
// are left alone. False when there is nothing to rebuild or the points are degenerate.
bool RecomputeCalibration();
