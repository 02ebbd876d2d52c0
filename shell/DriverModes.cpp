#include "shell/DriverModes.h"

#include "calibration/CaptureSequence.h"
#include "core/DriverState.h"
#include "device/DeviceController.h"
#include "platform/Platform.h"
#include "shell/MainFlows.h"

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
    m_mode = DRIVER_MODE::ShuttingDown;
    ShutdownDevices(m_state);
}
