#pragma once
// The start wizard (template 190): model, options, alignment and calibration pages, opened at
// first start and from the tray. Its opener copies the settings in, runs it and, after Finish,
// applies Choices() through m_commits.

#include "platform/win32/BitmapButton.h"
#include "setup_ui/WizardRules.h"
#include "setup_ui/win32/WizardDlg.h"
#include "setup_ui/win32/WizardPage.h"

class CDriverState;

class CStartWizardDlg;

// The four pages: calibration model, mounting options, camera alignment and calibration. They
// hold what the user chose; the wizard commits it.

class CModelPage : public CWizardPage
{
public:
    explicit CModelPage(CDriverState& state);
    void OnSetActive() override;
    BOOL OnKillActive() override;

    // 0 sixteen-point model (radio 1008), 1 nine-point model (radio 1009).
    int m_nModel = -1;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(int id, int code, HWND hControl) override;
};

class COptionsPage : public CWizardPage
{
public:
    explicit COptionsPage(CDriverState& state);
    BOOL OnCreatePage() override;
    void OnSetActive() override;
    BOOL OnKillActive() override;

    int m_nCeilingMount = 0;
    int m_nStartProgram = 0;
    int m_nRearProjection = 0;
    // The ceiling and rear boxes as the user last left them.
    int m_nCeilingState = 0;
    int m_nRearState = 0;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    bool OnCommand(int id, int code, HWND hControl) override;
};

// The alignment and calibration pages: a heading and one bitmap button.
class CButtonPage : public CWizardPage
{
public:
    CButtonPage(UINT idTemplate, SETUP_WINDOW window, CDriverState& state);

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND hControl) override;
    virtual void OnButton() = 0;
    CStartWizardDlg& Wizard() const;

    CBitmapButton m_button;
};

class CAlignPage : public CButtonPage
{
public:
    explicit CAlignPage(CDriverState& state);
    void OnSetActive() override;

protected:
    void OnButton() override;
};

class CCalibratePage : public CButtonPage
{
public:
    explicit CCalibratePage(CDriverState& state);
    void OnSetActive() override;

protected:
    void OnButton() override;
};

class CStartWizardDlg : public CWizardDlg
{
public:
    CStartWizardDlg(HWND hOwner, CDriverState& state);
    ~CStartWizardDlg() override;

    void SetChoices(const WIZARD_CHOICES& choices);
    // The pages' fields as they were last transferred.
    WIZARD_CHOICES Choices() const;

    CDriverState& m_state;
    CWizardCommits m_commits;
    CModelPage m_modelPage;
    COptionsPage m_optionsPage;
    CAlignPage m_alignPage;
    CCalibratePage m_calibratePage;

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool CommitNext(int activeIndex) override;
    void CommitBack() override;

private:
    HFONT m_hButtonFont = nullptr;
    HICON m_hIcon = nullptr;
};
