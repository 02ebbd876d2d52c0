#include "shell/MainFlows.h"

#include "calibration/CalibTables.h"
#include "core/DriverState.h"
#include "core/Language.h"
#include "core/Messages.h"
#include "device/DeviceController.h"
#include "device/DeviceGlobals.h"
#include "platform/Platform.h"
#include "settings/Settings.h"
#include "settings/SettingsFlows.h"
#include "tracking/PenEventDriver.h"

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
