#pragma once
// The hidden main dialog: it holds the driver state record for the whole run, starts the
// driver in its OnInitDialog, receives every notification (tray, menu commands, power and
// display changes, the reader thread's requests) and ends the process from WM_DESTROY.

#include "platform/win32/Dialog.h"
#include "shell/Driver.h"
#include "shell/DriverModes.h"
#include "shell/win32/ElevationHelper.h"
#include "update/win32/UpdateChecker.h"

class CConfigDlg;
class CStartWizardDlg;
class CTrayIcon;

class CMainDlg : public CDialog, public CDriver
{
public:
    CMainDlg();
    ~CMainDlg() override;

    // The alignment view, opened from the wizard: the driver is aligning while it is up.
    INT_PTR RunAlignment(HWND hOwner);

    CElevationHelper m_elevation;
    CDriverModes m_modes{*this};
    CUpdateChecker m_updateChecker{*this};

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(int id, int code, HWND hControl) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Enter and Escape never end the hidden dialog.
    void OnOK() override {}
    void OnCancel() override {}

private:
    void AddAboutToSystemMenu();
    bool CheckSingleInstance();
    // M1, then the tray's exit command: the shutdown that follows does not save.
    void StartupFailure();
    void MinimiseAndHide();
    void OnExit();
    void OnAbout();
    void OnDestroy();
    void OnPaint();
    // The set-up windows (shell/win32/MainDlgSetup.cpp): the tray's configuration dialog and
    // start wizard, the first-run wizard of start-up (false when it was cancelled and the
    // driver is ending), and Exit's closing of an open wizard.
    void OnConfig();
    void OnTrayWizard();
    bool RunFirstWizard();
    bool FinishWizard(CStartWizardDlg& wizard, INT_PTR result);
    void CloseActiveWizard();
    // A set-up window already open comes to the front instead of a second one.
    bool BringSetupWindowToFront() const;
    // A test program asks what a user cannot see from outside: whether the tray icon was
    // added, the run state, whether the reader runs, the cursor, the cameras' monitor records,
    // and the tray menu as the program builds it. The answer goes back to the asking window
    // (wParam) as WM_COPYDATA.
    void AnswerStateDescription(HWND hRequester);

    CConfigDlg* m_pActiveConfig = nullptr;
};

// The registered message a test program sends to read the driver's state.
UINT DescribeStateMessage();
