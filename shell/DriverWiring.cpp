#include "shell/DriverWiring.h"

#include "calibration/CalibTables.h"
#include "calibration/CaptureSequence.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "setup_ui/ImageDecoder.h"
#include "shell/Messages.h"
#include "tracking/CalReceiveState.h"
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
    callbacks.pfnResetImageDecoder = &ResetCalReceiveState;
    callbacks.pfnPrepareCalibration = &PrepareCalibration;
    callbacks.pfnReleaseCalibration = &ReleaseCalibTables;
    return callbacks;
}

void InstallProgramCalibrationHooks()
{
    InstallCalibrationSettingsHooks();
    g_calibrationHooks.pfnSaveSettings = &PostSaveSettings;
    g_calibrationHooks.pfnWriteCameraStore = &PostWriteCameraStore;
}
