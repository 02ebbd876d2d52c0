#include "shell/MainFlows.h"

#include "calibration/CalibTables.h"
#include "calibration/CameraCalibStore.h"
#include "device/DeviceGlobals.h"
#include "platform/Platform.h"
#include "settings/Language.h"
#include "settings/Settings.h"
#include "shell/DriverState.h"
#include "shell/Messages.h"
#include "tracking/PenEventDriver.h"

namespace
{
bool KeepsOwnSettings(CDriverState& state)
{
    return CameraCount() == 1 && state.m_controller.SettingsInDevice() != 0;
}

bool HasCameras()
{
    const std::uint16_t count = CameraCount();
    return count == 1 || count == 2;
}

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
        return ReadCalibrationFromCamera(state.m_controller) && RecomputeCalibration();
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

void OnPowerEvent(CDriverState& state, std::uint32_t event)
{
    switch (event)
    {
    case POWER_SUSPEND:
        state.m_nRunState = RUN_STATE_SUSPENDED;
        break;
    case POWER_RESUME_SUSPEND:
        state.m_nRunState = RUN_STATE_RUNNING;
        Platform().PostMainMessage(WM_RESTART_TRACKING, 0, 0);
        break;
    default:
        break;
    }
}

void OnDisplayChange(CDriverState& state)
{
    CDeviceController& controller = state.m_controller;
    // The reader maps every spot through the tables that are rebuilt or reloaded here, so it
    // is stopped first; StartPenTracking starts it again.
    if (KeepsOwnSettings(state))
    {
        if (state.m_bCalibrated != 0)
        {
            (void)controller.StopDevices();
            (void)controller.RefreshDevices();
            (void)RecomputeCalibration();
        }
        else
        {
            // Tracking goes on while the box is up, so the pen can answer it.
            if (state.m_nSkin == SKIN_VELMARA)
                Platform().SetMessageBoxTitle(L"Velmara Presenter");
            Platform().ShowMessageBox(state.m_strMsgText[3], BOX_ICONINFORMATION | BOX_TOPMOST);
        }
        (void)controller.StartPenTracking();
    }
    else if (HasCameras())
    {
        (void)controller.StopDevices();
        ReloadSettingsAfterDisplayChange(state);
        (void)controller.StartPenTracking();
    }
}

void OnCameraStalled(CDriverState& state)
{
    // The watch may ask again while the box is up; one box, one quit.
    if (state.m_bStallReported != 0)
        return;
    state.m_bStallReported = 1;
    (void)state.m_controller.StopDevices();
    Platform().ShowMessageBox(state.m_strMsgText[0], BOX_ICONERROR);
    Platform().QuitFromTray();
}

void ShutdownDevices(CDriverState& state)
{
    if (state.m_controller.IsFailed() == 0 && HasCameras())
        SaveSettings(state);
    (void)state.m_controller.StopDevices();
    // A pen on the board when the program ends must not leave the button pressed.
    ReleaseAllPens();
}
