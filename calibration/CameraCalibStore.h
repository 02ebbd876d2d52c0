#pragma once
// The calibration points a single camera keeps in its own setting store: the nine raw points
// of the nine-point model or the sixteen camera points of the sixteen-point model, as chosen
// by the record's m_nCalibModel, always camera 0's element.

class CDeviceController;

// Writes camera 0's points of the selected model into its store; another model writes nothing.
bool WriteCalibrationToCamera(CDeviceController& controller);
// Reads them back into camera 0's element: sixteen-point points as truncated floats,
// nine-point points as integers. False when a point lies outside the camera image (an
// erased or corrupt store): no calibration can have taken it.
bool ReadCalibrationFromCamera(CDeviceController& controller);
