#include "shell/DriverModes.h"

#include "calibration/CaptureSequence.h"
#include "core/DiagLog.h"
#include "core/DriverState.h"
#include "device/DeviceController.h"
#include "platform/Platform.h"
#include "shell/MainFlows.h"

namespace
{
const char* ModeName(DRIVER_MODE mode)
{
    switch (mode)
    {
    case DRIVER_MODE::Starting:
        return "starting";
    case DRIVER_MODE::FirstWizard:
        return "start wizard of the first run";
    case DRIVER_MODE::Tracking:
        return "tracking";
    case DRIVER_MODE::TrayWizard:
        return "start wizard from the tray";
    case DRIVER_MODE::Configuring:
        return "configuration dialog";
    case DRIVER_MODE::Suspended:
        return "suspended";
    case DRIVER_MODE::ShuttingDown:
        return "shutting down";
    }
    return "unknown";
}
} // namespace

void CDriverModes::SetMode(DRIVER_MODE mode)
{
    if (mode != m_mode)
        DiagLog().Printf("Mode: %s (was %s)", ModeName(mode), ModeName(m_mode));
    m_mode = mode;
}

void CDriverModes::SetAligning(bool aligning)
{
    if (aligning != m_bAligning)
        DiagLog().Write(aligning ? "Alignment view opened" : "Alignment view closed");
    m_bAligning = aligning;
}

bool CDriverModes::MayOpenWindow() const
{
    return !m_bCalibrating && !m_bAligning && m_mode != DRIVER_MODE::ShuttingDown;
}

void CDriverModes::HideCursor()
{
    if (m_bCursorHidden)
        return;
    Platform().ShowMouseCursor(false);
    m_bCursorHidden = true;
}

void CDriverModes::ShowCursor()
{
    if (!m_bCursorHidden)
        return;
    Platform().ShowMouseCursor(true);
    m_bCursorHidden = false;
}

void CDriverModes::OnCalibrate(bool nextCamera)
{
    if (m_mode == DRIVER_MODE::ShuttingDown || m_mode == DRIVER_MODE::Suspended)
        return;
    if (nextCamera != m_bCalibrating || m_bAligning)
        return;
    m_state.m_cxScreen = Platform().GetSystemMetric(METRIC_CXSCREEN);
    m_state.m_cyScreen = Platform().GetSystemMetric(METRIC_CYSCREEN);
    if (!nextCamera)
        g_nCalibCamera = 0;
    m_bCalibrating = true;
    HideCursor();
    if (StartCalibration(m_state.m_controller, g_nCalibCamera))
        return;
    // No window to take targets or Escape, or a device that did not follow: a pen user could
    // not leave such a calibration.
    AbandonRunningCalibration();
}

void CDriverModes::AbandonRunningCalibration()
{
    AbandonCalibration(m_state.m_controller);
    m_bCalibrating = false;
    ShowCursor();
}

void CDriverModes::OnEscape()
{
    if (!m_bCalibrating)
        return;
    AbandonRunningCalibration();
}

void CDriverModes::OnShowCursor()
{
    if (!m_bCalibrating)
        ShowCursor();
}

void CDriverModes::OnRestartTracking()
{
    // The last target of the last camera was taken, a wizard finished or the system resumed.
    if (m_bCalibrating && !g_captureState.m_bArmed.load() && m_state.m_bMoreCameras == 0)
        m_bCalibrating = false;
    if (m_bCalibrating || m_mode == DRIVER_MODE::ShuttingDown)
        return;
    ShowCursor();
    (void)m_state.m_controller.StartPenTracking();
}

void CDriverModes::OnDisplayChange()
{
    if (m_mode == DRIVER_MODE::ShuttingDown || m_bDisplayChangeRunning)
        return;
    if (m_bCalibrating)
        AbandonRunningCalibration();
    m_bDisplayChangeRunning = true;
    ::OnDisplayChange(m_state);
    m_bDisplayChangeRunning = false;
}

void CDriverModes::OnPowerEvent(std::uint32_t event)
{
    if (m_mode == DRIVER_MODE::ShuttingDown)
        return;
    if (event == POWER_SUSPEND && m_bCalibrating)
        AbandonRunningCalibration();
    ::OnPowerEvent(m_state, event);
}

void CDriverModes::OnEndSession()
{
    if (m_mode == DRIVER_MODE::ShuttingDown)
        return;
    if (m_bCalibrating)
        AbandonRunningCalibration();
    SetMode(DRIVER_MODE::ShuttingDown);
    ShutdownDevices(m_state);
}
