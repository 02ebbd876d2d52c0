#include "setup_ui/WizardRules.h"

#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/DeviceController.h"
#include "platform/Platform.h"
#include "settings/SettingsFlows.h"

namespace
{
constexpr int ANSWER_YES = 6;
constexpr int MSG_ALIGNMENT = 2;
constexpr int MSG_MODEL_CHANGED = 8;
constexpr int MSG_OPTIONS_CHANGED = 9;

bool AskYesNo(const CDriverState& state, int message, std::uint32_t icon)
{
    return Platform().ShowMessageBox(state.m_strMsgText[message], BOX_YESNO | icon) == ANSWER_YES;
}
} // namespace

WIZARD_CHOICES WizardChoicesFrom(const CDriverState& state)
{
    WIZARD_CHOICES choices;
    choices.model = state.m_nCalibModel;
    choices.ceiling = state.m_bCeilingMount;
    choices.startProgram = state.m_bStartProgram;
    choices.rear = state.m_bRearProjection;
    return choices;
}

CWizardCommits::CWizardCommits(CDriverState& state) : m_state(state)
{
    Remember();
}

void CWizardCommits::Remember()
{
    m_nSavedModel = m_state.m_nCalibModel;
    m_bSavedCeiling = m_state.m_bCeilingMount;
    m_bSavedRear = m_state.m_bRearProjection;
    m_bSavedStartProgram = m_state.m_bStartProgram;
    m_bStoppedTracking = false;
    m_bCalibrationStarted = false;
}

bool CWizardCommits::FromTray() const
{
    return m_state.m_nWizardOrigin == WIZARD_ORIGIN_TRAY;
}

bool CWizardCommits::CommitNext(int activeIndex, const WIZARD_CHOICES& choices)
{
    if (!FromTray())
    {
        if (activeIndex == WIZARD_MODEL_PAGE)
        {
            m_state.m_nCalibModel = choices.model;
        }
        else if (activeIndex == WIZARD_OPTIONS_PAGE)
        {
            m_state.m_bCeilingMount = choices.ceilingState;
            m_state.m_bRearProjection = choices.rearState;
        }
        return true;
    }
    // From the tray the pen is in use: a change that invalidates its mapping stops it, and the
    // user agrees first.
    if (activeIndex == WIZARD_MODEL_PAGE && choices.model != m_state.m_nCalibModel)
    {
        if (!AskYesNo(m_state, MSG_MODEL_CHANGED, BOX_ICONINFORMATION))
            return false;
        m_state.m_nCalibModel = choices.model;
        (void)m_state.m_controller.StopDevices();
        m_bStoppedTracking = true;
    }
    else if (activeIndex == WIZARD_OPTIONS_PAGE &&
             (choices.ceilingState != m_state.m_bCeilingMount ||
              choices.rearState != m_state.m_bRearProjection))
    {
        if (!AskYesNo(m_state, MSG_OPTIONS_CHANGED, BOX_ICONINFORMATION))
            return false;
        m_state.m_bCeilingMount = choices.ceilingState;
        m_state.m_bRearProjection = choices.rearState;
        (void)m_state.m_controller.StopDevices();
        m_bStoppedTracking = true;
    }
    return true;
}

void CWizardCommits::CommitBack(const WIZARD_CHOICES& choices)
{
    m_state.m_nCalibModel =
        choices.model == CALIB_MODEL_NINE ? CALIB_MODEL_NINE : CALIB_MODEL_SIXTEEN;
}

void CWizardCommits::AlignPageShown(const WIZARD_CHOICES& choices)
{
    m_state.m_nCalibModel = choices.model;
    m_state.m_bCeilingMount = choices.ceiling;
    m_state.m_bRearProjection = choices.rear;
}

void CWizardCommits::StartProgramClicked(bool ticked)
{
    m_state.m_bStartProgram = ticked ? 1 : 0;
}

bool CWizardCommits::ConfirmAlignment()
{
    if (!FromTray())
        return true;
    return AskYesNo(m_state, MSG_ALIGNMENT, BOX_ICONQUESTION);
}

void CWizardCommits::AlignmentClosed()
{
    if (FromTray())
        (void)m_state.m_controller.StartPenTracking();
}

void CWizardCommits::StartCalibration()
{
    m_bCalibrationStarted = true;
    Platform().PostMainMessage(WM_CALIBRATE_NEXT, 0, 0);
}

void CWizardCommits::Finish(const WIZARD_CHOICES& choices,
                            const std::function<void(bool enable)>& setAutostart)
{
    m_state.m_nCalibModel = choices.model;
    m_state.m_nRunState = RUN_STATE_BUSY;
    m_state.m_bCeilingMount = choices.ceiling;
    m_state.m_bRearProjection = choices.rear;
    if (setAutostart)
        setAutostart(choices.startProgram == 1);
    m_state.m_bStartProgram = choices.startProgram;
    SaveSettingsByCameraCount(m_state, true);
    m_state.m_nRunState = RUN_STATE_RUNNING;
    Platform().PostMainMessage(WM_RESTART_TRACKING, 0, 0);
}

bool CWizardCommits::Cancel()
{
    if (!FromTray())
        return true;
    // Start with Windows was never registered, so the record must not claim it.
    m_state.m_bStartProgram = m_bSavedStartProgram;
    if (m_bCalibrationStarted)
        return false;
    m_state.m_nCalibModel = m_nSavedModel;
    m_state.m_bCeilingMount = m_bSavedCeiling;
    m_state.m_bRearProjection = m_bSavedRear;
    if (m_bStoppedTracking)
        Platform().PostMainMessage(WM_RESTART_TRACKING, 0, 0);
    return false;
}
