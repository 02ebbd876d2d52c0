#pragma once
// One page of a wizard: a child dialog over the frame's placeholder, painted with its skin's
// picture, with the eight steps the frame calls as the user moves through the pages.

#include "platform/win32/Dialog.h"
#include "setup_ui/SkinLayout.h"
#include "setup_ui/win32/SkinToolkit.h"

class CDriverState;
class CWizardDlg;

class CWizardPage : public CDialog
{
public:
    CWizardPage(UINT idTemplate, SETUP_WINDOW window, CDriverState& state);
    ~CWizardPage() override;

    // Once after the page window was created; FALSE keeps the page from being shown.
    virtual BOOL OnCreatePage() { return TRUE; }
    // Before the page window is destroyed.
    virtual void OnDestroyPage() {}
    // Before the page is hidden; FALSE keeps it shown.
    virtual BOOL OnKillActive() { return TRUE; }
    // After the page was shown.
    virtual void OnSetActive() {}
    // For each created page when the wizard is cancelled; FALSE refuses.
    virtual BOOL OnQueryCancel() { return TRUE; }
    // 0 for the neighbouring page, -1 to stay, or the template id of the page to go to.
    virtual int OnWizardBack() { return 0; }
    virtual int OnWizardNext() { return 0; }
    // For each created page on Finish; FALSE refuses.
    virtual BOOL OnWizardFinish() { return TRUE; }

    // The frame creates the page as its child.
    void AttachToWizard(CWizardDlg* wizard, HWND hFrame);

    HBRUSH m_brushBack = nullptr;
    CWizardDlg* m_pWizard = nullptr;
    BOOL m_bCreated = FALSE;
    BOOL m_bActive = FALSE;
    UINT m_nPageId;

protected:
    // The brush, the fonts, every control's text, style and place; the page over the frame's
    // page area.
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Enter and Escape belong to the frame.
    void OnOK() override {}
    void OnCancel() override {}
    // The frame's caption, as the active page names it.
    void SetWizardCaption(const std::wstring& text) const;
    int Layout() const;

    SETUP_WINDOW m_nSkinWindow;
    CDriverState& m_state;
    CSkinFonts m_fonts;
};
