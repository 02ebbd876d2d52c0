#include "shell/DriverWiring.h"

#include "calibration/CalibTables.h"
#include "calibration/CaptureSequence.h"
#include "camera_image/ImageDecoder.h"
#include "core/Messages.h"
#include "device/CalReceiveState.h"
#include "device/StallWatch.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "tracking/PenEventDriver.h"

namespace
{
void PrepareCalibration(std::uint16_t count, std::uint16_t camera, const std::int32_t rect[4])
{
    (void)AllocateCalibTables(count);
    (void)PrepareCalibTargets(camera, CALIB_RECT{rect[0], rect[1], rect[2], rect[3]});
}

bool PostSaveSettings()
{
    Platform().PostMainMessage(WM_SAVE_SETTINGS_FILE, 0, 0);
    return true;
}

void PostWriteCameraStore()
{
    Platform().PostMainMessage(WM_WRITE_CAMERA_STORE, 0, 0);
}
} // namespace

DEVICE_CALLBACKS DriverDeviceCallbacks()
{
    DEVICE_CALLBACKS callbacks;
    callbacks.pfnPenByte = &OnPenByte;
    callbacks.pfnImageByte = &OnImageByte;
    callbacks.pfnResetStallWatch = &ResetStallWatch;
    callbacks.pfnReleasePens = &ReleaseAllPens;
    callbacks.pfnResetImageDecoder = &ResetCalReceiveState;
    callbacks.pfnPrepareCalibration = &PrepareCalibration;
    callbacks.pfnReleaseCalibration = &ReleaseCalibTables;
    return callbacks;
}

CALIBRATION_HOOKS ProgramCalibrationHooks()
{
    CALIBRATION_HOOKS hooks;
    hooks.pfnSaveSettings = &PostSaveSettings;
    hooks.pfnWriteCameraStore = &PostWriteCameraStore;
    hooks.pfnReloadCalibration = &ReloadCalibrationAfterCancel;
    return hooks;
}
