#pragma once
// A wizard frame of our own: child-dialog pages shown one at a time over a placeholder, and
// the Back, Next, Finish and Cancel buttons that move between them. What a page commits when
// it is left belongs to the derived wizard.

#include "platform/win32/Dialog.h"

#include <vector>

class CWizardPage;

// Control ids of the frame's buttons; Finish is also the result of a finished wizard.
enum : int
{
    ID_WIZBACK = 12323,
    ID_WIZNEXT = 12324,
    ID_WIZFINISH = 12325,
};

class CWizardDlg : public CDialog
{
public:
    CWizardDlg(UINT idTemplate, HWND hParent);

    void AddPage(CWizardPage& page, UINT idTemplate);
    // Creates the page on its first showing, hides the active one (which may refuse), places
    // and shows the new one. FALSE leaves the old page up.
    BOOL ShowPage(CWizardPage* page);
    CWizardPage* FindPage(UINT idTemplate) const;
    CWizardPage* GetFirstPage() const;
    CWizardPage* GetLastPage() const;
    CWizardPage* GetActivePage() const;
    // 0-based; -1 when no page is active.
    int GetActiveIndex() const;

    void EnableBack(bool enable) const;
    void EnableNext(bool enable) const;
    void EnableFinish(bool enable) const;
    // On: Finish shown in Next's place; off: Next shown.
    void SetFinishMode(bool on) const;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND hControl) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Enter does not end a wizard; Escape and the close box cancel it.
    void OnOK() override {}
    void OnCancel() override;

    // Next leaves the page at activeIndex for its neighbour: what that page chose is
    // committed here. False keeps the user on the page.
    virtual bool CommitNext(int activeIndex);
    // Back to the neighbouring page.
    virtual void CommitBack();

    std::vector<CWizardPage*> m_pages;
    UINT m_nPlaceholderId = 0;

private:
    void OnNext();
    void OnBack();
    void OnFinish();
    void OnDestroy();
    CWizardPage* Neighbour(int offset) const;
};
