#include "setup_ui/win32/WizardPage.h"

#include "core/DriverState.h"
#include "core/Language.h"

CWizardPage::CWizardPage(UINT idTemplate, SETUP_WINDOW window, CDriverState& state)
    : CDialog(idTemplate, nullptr), m_nPageId(idTemplate), m_nSkinWindow(window), m_state(state)
{
}

CWizardPage::~CWizardPage()
{
    Destroy();
    if (m_brushBack != nullptr)
        DeleteObject(m_brushBack);
}

void CWizardPage::AttachToWizard(CWizardDlg* wizard, HWND hFrame)
{
    m_pWizard = wizard;
    m_hParent = hFrame;
}

int CWizardPage::Layout() const
{
    return g_nLangLayout;
}

BOOL CWizardPage::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (m_brushBack == nullptr)
        m_brushBack = CreateSolidBrush(SKIN_GREY);
    ApplyWindowDirection(m_hWnd, Layout());
    m_fonts.Create(m_nSkinWindow, Layout());
    LayOutSkinControls(*this, m_nSkinWindow, m_state, Layout(), m_fonts);
    MoveWindow(m_hWnd, PAGE_AREA.x, PAGE_AREA.y, PAGE_AREA.width, PAGE_AREA.height, FALSE);
    return TRUE;
}

void CWizardPage::SetWizardCaption(const std::wstring& text) const
{
    // The page is a child of the wizard's frame; the caption is the top window's.
    const HWND hWizard = m_hWnd != nullptr ? GetAncestor(m_hWnd, GA_ROOT) : nullptr;
    if (m_pWizard != nullptr && hWizard != nullptr)
        SetWindowTextW(hWizard, text.c_str());
}

bool CWizardPage::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message)
    {
    case WM_PAINT:
        PaintSkinBackground(m_hWnd, BackgroundBitmap(m_nSkinWindow, m_state.m_nSkin, Layout()),
                            PAGE_AREA, RepaintedControls(m_nSkinWindow));
        return true;
    case WM_ERASEBKGND:
        // The options page keeps the system's erase.
        if (m_nSkinWindow == SETUP_OPTIONS_PAGE)
            return false;
        EraseWhite(m_hWnd, reinterpret_cast<HDC>(wParam));
        result = TRUE;
        return true;
    default:
        if (message == DescribeSkinMessage() && message != 0)
        {
            AnswerSkinDescription(m_hWnd, reinterpret_cast<HWND>(wParam),
                                  BackgroundBitmap(m_nSkinWindow, m_state.m_nSkin, Layout()));
            return true;
        }
        return SkinControlColour(message, wParam, m_brushBack, result);
    }
}
