#pragma once
// The calibration's parsers: camera points of the one camera being calibrated, without
// calibration or tracking, on the shared calibration receive state. Reader thread only.

#include "device/CameraRecord.h"
#include "device/SpotSlot.h"

SPOT_SLOT ParseRawSingleSpot(CAMERA_RECORD record);
// Takes types '7' and '6' only, so only the first spot of each frame counts.
SPOT_SLOT ParseRawMultiSpot(CAMERA_RECORD record);
