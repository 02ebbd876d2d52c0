#pragma once
// The calibration report as the calibration window shows it, drawn once onto a bitmap of the
// monitor's size: the board with each target as a dot and its error as a magnified arrow, the
// camera's view with the screen inside it, the three figures in large text and the advice.
// The same bitmap is kept as a PNG beside the report's text, for a support person.

#include "calibration/CalibrationReport.h"

#include <windows.h>

#include <string>

// Draws the report over the skin's background picture. texts: the language's report texts
// (title, three figure labels, arrow scale, four advices, closing hint). The caller deletes
// the bitmap.
HBITMAP DrawCalibrationReport(const CALIB_REPORT& report, const std::wstring* texts,
                              UINT backgroundId, int width, int height, bool rightToLeft);

// Saves a bitmap (selected into no device context) as a PNG file.
bool WritePng(HBITMAP bitmap, const std::wstring& path);

// Writes "CalibrationReport<camera>.txt" and ".png" into the folder (ending in a backslash),
// replacing the camera's previous report. False when either could not be written.
bool KeepCalibrationReport(const CALIB_REPORT& report, HBITMAP screen, const std::wstring& folder);
