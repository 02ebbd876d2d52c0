#include "settings/SettingsFlows.h"

#include "calibration/CalibTables.h"
#include "calibration/CameraCalibStore.h"
#include "core/DriverState.h"
#include "device/DeviceController.h"
#include "device/DeviceGlobals.h"
#include "platform/Platform.h"
#include "settings/Settings.h"

bool KeepsOwnSettings(CDriverState& state)
{
    return CameraCount() == 1 && state.m_controller.SettingsInDevice() != 0;
}

bool HasCameras()
{
    const std::uint16_t count = CameraCount();
    return count == 1 || count == 2;
}

namespace
{
// The settings file, then the camera's own values when it keeps them.
bool LoadSettingsByCameraCount(CDriverState& state)
{
    if (!HasCameras())
        return false;
    LoadSettings(state);
    if (!KeepsOwnSettings(state))
        return false;
    (void)state.m_controller.ReadSettings();
    return true;
}
} // namespace

bool LoadStartupSettings(CDriverState& state)
{
    const bool fromCamera = LoadSettingsByCameraCount(state);
    // A calibration that cannot map is none: the first-run wizard follows, as without one.
    if (state.m_bCalibrated != 0 && !LoadStartupCalibration(state))
        state.m_bCalibrated = 0;
    return fromCamera;
}

bool LoadStartupCalibration(CDriverState& state)
{
    if (KeepsOwnSettings(state))
    {
        // Points that cannot come from the camera's image are no calibration. Points that are
        // only degenerate (a store never written) keep the unit's own word, as they always did.
        if (!ReadCalibrationFromCamera(state.m_controller))
            return false;
        (void)RecomputeCalibration();
        return true;
    }
    if (HasCameras())
        return LoadCalibration(state);
    return true;
}

void SaveSettingsByCameraCount(CDriverState& state, bool writeDevice)
{
    if (!HasCameras())
        return;
    SaveSettings(state);
    if (writeDevice && KeepsOwnSettings(state))
    {
        (void)state.m_controller.StopDevices();
        (void)state.m_controller.WriteSettings();
    }
}

void SaveAfterConfiguration(CDriverState& state)
{
    if (!HasCameras())
        return;
    SaveSettings(state);
    if (KeepsOwnSettings(state) && state.m_bCalibrated == 0)
    {
        state.m_bCalibrated = 1;
        (void)state.m_controller.WriteOptions();
    }
}

bool ReloadBeforeTrayWizard(CDriverState& state)
{
    (void)state.m_controller.StopDevices();
    const bool fromCamera = LoadSettingsByCameraCount(state);
    Platform().Sleep(100);
    (void)state.m_controller.StartPenTracking();
    return fromCamera;
}
