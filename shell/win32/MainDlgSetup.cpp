// The main dialog's set-up flows: the configuration dialog and the start wizard, from the tray
// and at first start. What they copy in and apply is portable (setup_ui/ConfigRules.h,
// setup_ui/WizardRules.h); here the windows are opened and their results handed on.

#include "platform/Platform.h"
#include "settings/SettingsFlows.h"
#include "setup_ui/win32/ConfigDlg.h"
#include "setup_ui/win32/StartWizardDlg.h"
#include "shell/DiagEvents.h"
#include "shell/MainFlows.h"
#include "shell/win32/Autostart.h"
#include "shell/win32/MainDlg.h"

namespace
{
const wchar_t* const AUTOSTART_VALUE = L"Tavelo";

void SetProgramAutostart(bool enable)
{
    (void)SetAutostart(enable ? TRUE : FALSE, AUTOSTART_VALUE);
}

void BringToFront(HWND hWnd)
{
    if (hWnd != nullptr && IsWindow(hWnd))
        SetForegroundWindow(hWnd);
}
} // namespace

bool CMainDlg::BringSetupWindowToFront() const
{
    if (m_pActiveWizard != nullptr)
    {
        BringToFront(m_pActiveWizard->m_hWnd);
        return true;
    }
    if (m_pActiveConfig != nullptr)
    {
        BringToFront(m_pActiveConfig->m_hWnd);
        return true;
    }
    return false;
}

void CMainDlg::OnConfig()
{
    if (BringSetupWindowToFront())
        return;
    CConfigDlg dialog(*this);
    dialog.m_values = ConfigValuesFrom(*this);
    UpdateData(true);
    // OK answered No to M11 already set it; start with Windows was not registered then.
    const std::int32_t startProgram = m_bStartProgram;
    m_pActiveConfig = &dialog;
    m_modes.SetMode(DRIVER_MODE::Configuring);
    const INT_PTR result = dialog.DoModal();
    m_modes.SetMode(DRIVER_MODE::Tracking);
    m_pActiveConfig = nullptr;
    if (result == IDOK)
        ApplyConfiguration(*this, dialog.m_values, &SetProgramAutostart);
    else
        m_bStartProgram = startProgram;
}

void CMainDlg::OnTrayWizard()
{
    if (BringSetupWindowToFront())
        return;
    m_nWizardOrigin = WIZARD_ORIGIN_TRAY;
    CStartWizardDlg wizard(m_hWnd, *this);
    m_pActiveWizard = &wizard;
    m_modes.SetMode(DRIVER_MODE::TrayWizard);
    wizard.SetChoices(WizardChoicesFrom(*this));
    if (ReloadBeforeTrayWizard(*this))
        UpdateData(false);
    const INT_PTR result = wizard.DoModal();
    FinishWizard(wizard, result);
}

bool CMainDlg::RunFirstWizard()
{
    m_nWizardOrigin = WIZARD_ORIGIN_FIRST_RUN;
    CStartWizardDlg wizard(m_hWnd, *this);
    m_nRunState = RUN_STATE_FIRST_WIZARD;
    m_modes.SetMode(DRIVER_MODE::FirstWizard);
    m_pActiveWizard = &wizard;
    wizard.SetChoices(WizardChoicesFrom(*this));
    const INT_PTR result = wizard.DoModal();
    return FinishWizard(wizard, result);
}

bool CMainDlg::FinishWizard(CStartWizardDlg& wizard, INT_PTR result)
{
    m_pActiveWizard = nullptr;
    m_modes.SetMode(DRIVER_MODE::Tracking);
    LogWizardResult(result == ID_WIZFINISH);
    if (result == ID_WIZFINISH)
    {
        wizard.m_commits.Finish(wizard.Choices(), &SetProgramAutostart);
        return true;
    }
    if (!wizard.m_commits.Cancel())
        return true;
    SetShutdownReason("the first-run wizard was cancelled");
    Platform().QuitFromTray();
    return false;
}

void CMainDlg::CloseActiveWizard()
{
    if (m_pActiveWizard == nullptr)
        return;
    if (m_pActiveWizard->m_hWnd != nullptr)
        SendMessageW(m_pActiveWizard->m_hWnd, WM_CLOSE, 0, 0);
    m_pActiveWizard = nullptr;
}
