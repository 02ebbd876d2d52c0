#include "setup_ui/win32/WizardDlg.h"

#include "setup_ui/win32/WizardPage.h"

CWizardDlg::CWizardDlg(UINT idTemplate, HWND hParent) : CDialog(idTemplate, hParent) {}

void CWizardDlg::AddPage(CWizardPage& page, UINT idTemplate)
{
    m_pages.push_back(&page);
    page.m_nPageId = idTemplate;
}

BOOL CWizardDlg::ShowPage(CWizardPage* page)
{
    if (page == nullptr)
        return FALSE;
    if (page->m_hWnd == nullptr)
    {
        page->AttachToWizard(this, m_hWnd);
        if (!page->Create())
            return FALSE;
        page->m_bCreated = TRUE;
        if (!page->OnCreatePage())
            return FALSE;
    }
    if (CWizardPage* active = GetActivePage())
    {
        if (!active->OnKillActive())
            return FALSE;
        ShowWindow(active->m_hWnd, SW_HIDE);
        active->m_bActive = FALSE;
    }
    RECT place{};
    if (HWND placeholder = GetItem(static_cast<int>(m_nPlaceholderId)))
    {
        GetWindowRect(placeholder, &place);
        MapWindowPoints(nullptr, m_hWnd, reinterpret_cast<POINT*>(&place), 2);
    }
    SetWindowPos(page->m_hWnd, nullptr, place.left, place.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EnableWindow(page->m_hWnd, TRUE);
    ShowWindow(page->m_hWnd, SW_SHOW);
    InvalidateRect(page->m_hWnd, nullptr, TRUE);
    UpdateWindow(page->m_hWnd);
    page->OnSetActive();
    page->m_bActive = TRUE;
    return TRUE;
}

CWizardPage* CWizardDlg::FindPage(UINT idTemplate) const
{
    for (CWizardPage* page : m_pages)
    {
        if (page->m_nPageId == idTemplate)
            return page;
    }
    return nullptr;
}

CWizardPage* CWizardDlg::GetFirstPage() const
{
    return m_pages.empty() ? nullptr : m_pages.front();
}

CWizardPage* CWizardDlg::GetLastPage() const
{
    return m_pages.empty() ? nullptr : m_pages.back();
}

CWizardPage* CWizardDlg::GetActivePage() const
{
    const int index = GetActiveIndex();
    return index < 0 ? nullptr : m_pages[static_cast<std::size_t>(index)];
}

int CWizardDlg::GetActiveIndex() const
{
    for (std::size_t i = 0; i < m_pages.size(); ++i)
    {
        if (m_pages[i]->m_bActive)
            return static_cast<int>(i);
    }
    return -1;
}

void CWizardDlg::EnableBack(bool enable) const
{
    EnableItem(ID_WIZBACK, enable);
}

void CWizardDlg::EnableNext(bool enable) const
{
    EnableItem(ID_WIZNEXT, enable);
}

void CWizardDlg::EnableFinish(bool enable) const
{
    EnableItem(ID_WIZFINISH, enable);
}

void CWizardDlg::SetFinishMode(bool on) const
{
    ShowItem(ID_WIZFINISH, on);
    ShowItem(ID_WIZNEXT, !on);
}

BOOL CWizardDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE);
    SetWindowLongPtrW(m_hWnd, GWL_EXSTYLE, style | WS_EX_CONTROLPARENT);
    EnableBack(false);
    EnableFinish(false);
    SetFinishMode(false);
    const bool single = m_pages.size() < 2;
    EnableFinish(single);
    EnableNext(!single);
    ShowPage(GetFirstPage());
    return TRUE;
}

bool CWizardDlg::CommitNext(int)
{
    return true;
}

void CWizardDlg::CommitBack() {}

CWizardPage* CWizardDlg::Neighbour(int offset) const
{
    const int index = GetActiveIndex() + offset;
    if (GetActiveIndex() < 0 || index < 0 || index >= static_cast<int>(m_pages.size()))
        return nullptr;
    return m_pages[static_cast<std::size_t>(index)];
}

void CWizardDlg::OnNext()
{
    CWizardPage* active = GetActivePage();
    if (active == nullptr)
        return;
    const int chosen = active->OnWizardNext();
    CWizardPage* target = nullptr;
    if (chosen == -1)
        return;
    if (chosen != 0)
    {
        target = FindPage(static_cast<UINT>(chosen));
    }
    else
    {
        if (!CommitNext(GetActiveIndex()))
            return;
        target = Neighbour(1);
    }
    if (target == nullptr || !ShowPage(target))
        return;
    if (target == GetLastPage())
    {
        EnableNext(false);
        EnableFinish(true);
    }
    EnableBack(true);
}

void CWizardDlg::OnBack()
{
    CWizardPage* active = GetActivePage();
    if (active == nullptr)
        return;
    const int chosen = active->OnWizardBack();
    CWizardPage* target = nullptr;
    if (chosen == -1)
        return;
    if (chosen != 0)
    {
        target = FindPage(static_cast<UINT>(chosen));
    }
    else
    {
        CommitBack();
        target = Neighbour(-1);
    }
    if (target == nullptr || !ShowPage(target))
        return;
    if (target == GetFirstPage())
    {
        EnableBack(false);
        EnableFinish(false);
    }
    EnableNext(true);
}

void CWizardDlg::OnFinish()
{
    CWizardPage* active = GetActivePage();
    if (active != nullptr && !active->OnKillActive())
        return;
    for (CWizardPage* page : m_pages)
    {
        if (page->m_bCreated && !page->OnWizardFinish())
            return;
    }
    UpdateData(true);
    EndDialog(ID_WIZFINISH);
}

void CWizardDlg::OnCancel()
{
    for (CWizardPage* page : m_pages)
    {
        if (page->m_bCreated && !page->OnQueryCancel())
            return;
    }
    EndDialog(IDCANCEL);
}

void CWizardDlg::OnDestroy()
{
    for (CWizardPage* page : m_pages)
    {
        if (page->m_hWnd == nullptr)
            continue;
        if (page->OnKillActive())
        {
            page->OnDestroyPage();
            page->Destroy();
            page->m_bCreated = FALSE;
        }
    }
}

bool CWizardDlg::OnCommand(int id, int code, HWND)
{
    if (code != BN_CLICKED)
        return false;
    switch (id)
    {
    case ID_WIZFINISH:
        OnFinish();
        return true;
    case ID_WIZBACK:
        OnBack();
        return true;
    case ID_WIZNEXT:
        OnNext();
        return true;
    case IDCANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

bool CWizardDlg::OnMessage(UINT message, WPARAM, LPARAM, LRESULT&)
{
    if (message == WM_DESTROY)
        OnDestroy();
    // The base handling follows in either case.
    return false;
}
