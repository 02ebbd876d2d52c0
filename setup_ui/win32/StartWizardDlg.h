#pragma once
// The start wizard (template 190): model, options, alignment and calibration pages, opened at
// first start and from the tray. Its opener copies the settings in, runs it and, after Finish,
// applies Choices() through m_commits.

#include "setup_ui/WizardRules.h"
#include "setup_ui/win32/WizardDlg.h"
#include "setup_ui/win32/WizardPages.h"

class CDriverState;

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
