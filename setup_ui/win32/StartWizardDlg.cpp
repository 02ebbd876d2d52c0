#include "setup_ui/win32/StartWizardDlg.h"

#include "resources/resource.h"
#include "settings/Language.h"
#include "setup_ui/win32/SkinToolkit.h"

CStartWizardDlg::CStartWizardDlg(HWND hOwner, CDriverState& state)
    : CWizardDlg(IDD_WIZARD, hOwner), m_state(state), m_commits(state), m_modelPage(state),
      m_optionsPage(state), m_alignPage(state), m_calibratePage(state)
{
    AddPage(m_modelPage, IDD_PAGE_MODEL);
    AddPage(m_optionsPage, IDD_PAGE_OPTIONS);
    AddPage(m_alignPage, IDD_PAGE_ALIGN);
    AddPage(m_calibratePage, IDD_PAGE_CALIBRATE);
    m_hIcon = LoadIconW(ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CStartWizardDlg::~CStartWizardDlg()
{
    Destroy();
    if (m_hButtonFont != nullptr)
        DeleteObject(m_hButtonFont);
}

void CStartWizardDlg::SetChoices(const WIZARD_CHOICES& choices)
{
    m_modelPage.m_nModel = choices.model;
    m_optionsPage.m_nCeilingMount = choices.ceiling;
    m_optionsPage.m_nStartProgram = choices.startProgram;
    m_optionsPage.m_nRearProjection = choices.rear;
}

WIZARD_CHOICES CStartWizardDlg::Choices() const
{
    WIZARD_CHOICES choices;
    choices.model = m_modelPage.m_nModel;
    choices.ceiling = m_optionsPage.m_nCeilingMount;
    choices.startProgram = m_optionsPage.m_nStartProgram;
    choices.rear = m_optionsPage.m_nRearProjection;
    choices.ceilingState = m_optionsPage.m_nCeilingState;
    choices.rearState = m_optionsPage.m_nRearState;
    return choices;
}

BOOL CStartWizardDlg::OnInitDialog()
{
    m_nPlaceholderId = IDC_WIZARD_PLACEHOLDER;
    m_commits.Remember();
    CWizardDlg::OnInitDialog();

    SetIcons(m_hIcon);
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    MoveItem(IDC_WIZARD_PLACEHOLDER, PAGE_AREA.x, PAGE_AREA.y, PAGE_AREA.width, PAGE_AREA.height);
    MoveWindow(m_hWnd, screenWidth / 2 - WIZARD_CENTRE_OFFSET_X,
               screenHeight / 2 - WIZARD_CENTRE_OFFSET_Y, WIZARD_WINDOW_WIDTH, WIZARD_WINDOW_HEIGHT,
               TRUE);
    ApplyWindowDirection(m_hWnd, g_nLangLayout);

    if (m_hButtonFont == nullptr)
        m_hButtonFont = CreateSkinFont(WizardButtonFont());
    RedrawWindow(GetItem(IDC_WIZARD_PLACEHOLDER), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    SetFinishMode(false);
    CSkinFonts noCaptions;
    LayOutSkinControls(*this, SETUP_WIZARD_FRAME, m_state, g_nLangLayout, noCaptions,
                       m_hButtonFont);
    return TRUE;
}

bool CStartWizardDlg::CommitNext(int activeIndex)
{
    return m_commits.CommitNext(activeIndex, Choices());
}

void CStartWizardDlg::CommitBack()
{
    m_commits.CommitBack(Choices());
}

bool CStartWizardDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_PAINT:
        if (!IsIconic(m_hWnd))
            return false;
        {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(m_hWnd, &paint);
            RECT client{};
            GetClientRect(m_hWnd, &client);
            DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
                     (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, m_hIcon);
            EndPaint(m_hWnd, &paint);
        }
        return true;
    case WM_ERASEBKGND:
        EraseWhite(m_hWnd, reinterpret_cast<HDC>(wParam));
        result = TRUE;
        return true;
    default:
        if (message == DescribeSkinMessage() && message != 0)
        {
            AnswerSkinDescription(m_hWnd, reinterpret_cast<HWND>(wParam), 0);
            return true;
        }
        return CWizardDlg::OnMessage(message, wParam, lParam, result);
    }
}
