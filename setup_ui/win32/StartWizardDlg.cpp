#include "setup_ui/win32/StartWizardDlg.h"

#include "core/DriverState.h"
#include "core/Language.h"
#include "resources/resource.h"
#include "setup_ui/win32/SetupHooks.h"
#include "setup_ui/win32/SkinToolkit.h"

namespace
{
bool IsTicked(HWND hDialog, int id)
{
    return SendDlgItemMessageW(hDialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

constexpr int WIZARD_TEXT_MODEL = 0;
constexpr int WIZARD_TEXT_OPTIONS = 2;
constexpr int WIZARD_TEXT_ALIGN = 5;
constexpr int WIZARD_TEXT_CALIBRATE = 6;
} // namespace

CModelPage::CModelPage(CDriverState& state) : CWizardPage(IDD_PAGE_MODEL, SETUP_MODEL_PAGE, state)
{
}

void CModelPage::DoDataExchange(CDataExchange& dx)
{
    DDX_Radio(dx, IDC_MODEL_SIXTEEN, m_nModel);
}

bool CModelPage::OnCommand(int id, int code, HWND)
{
    if (code != BN_CLICKED || (id != IDC_MODEL_SIXTEEN && id != IDC_MODEL_NINE))
        return false;
    m_nModel = id == IDC_MODEL_NINE ? CALIB_MODEL_NINE : CALIB_MODEL_SIXTEEN;
    return true;
}

void CModelPage::OnSetActive()
{
    SetWizardCaption(m_state.m_strWizardText[WIZARD_TEXT_MODEL]);
    m_pWizard->SetFinishMode(false);
    UpdateData(true);
}

BOOL CModelPage::OnKillActive()
{
    UpdateData(true);
    return TRUE;
}

COptionsPage::COptionsPage(CDriverState& state)
    : CWizardPage(IDD_PAGE_OPTIONS, SETUP_OPTIONS_PAGE, state)
{
}

void COptionsPage::DoDataExchange(CDataExchange& dx)
{
    DDX_Check(dx, IDC_OPTIONS_CEILING, m_nCeilingMount);
    DDX_Check(dx, IDC_OPTIONS_START_PROGRAM, m_nStartProgram);
    DDX_Check(dx, IDC_OPTIONS_REAR, m_nRearProjection);
}

BOOL COptionsPage::OnCreatePage()
{
    m_nCeilingState = IsTicked(m_hWnd, IDC_OPTIONS_CEILING) ? 1 : 0;
    m_nRearState = IsTicked(m_hWnd, IDC_OPTIONS_REAR) ? 1 : 0;
    return TRUE;
}

bool COptionsPage::OnCommand(int id, int code, HWND)
{
    if (code != BN_CLICKED)
        return false;
    switch (id)
    {
    case IDC_OPTIONS_CEILING:
        m_nCeilingState = IsTicked(m_hWnd, id) ? 1 : 0;
        return true;
    case IDC_OPTIONS_REAR:
        m_nRearState = IsTicked(m_hWnd, id) ? 1 : 0;
        return true;
    case IDC_OPTIONS_START_PROGRAM:
        static_cast<CStartWizardDlg*>(m_pWizard)->m_commits.StartProgramClicked(
            IsTicked(m_hWnd, id));
        return true;
    default:
        return false;
    }
}

void COptionsPage::OnSetActive()
{
    m_pWizard->SetFinishMode(false);
    UpdateData(true);
    SetWizardCaption(m_state.m_strWizardText[WIZARD_TEXT_OPTIONS]);
    // The nine-point model has no use for the mounting options.
    const bool mounting = m_state.m_nCalibModel != CALIB_MODEL_NINE;
    ShowItem(IDC_OPTIONS_REAR, mounting);
    ShowItem(IDC_OPTIONS_CEILING, mounting);
}

BOOL COptionsPage::OnKillActive()
{
    UpdateData(true);
    return TRUE;
}

CButtonPage::CButtonPage(UINT idTemplate, SETUP_WINDOW window, CDriverState& state)
    : CWizardPage(idTemplate, window, state)
{
}

CStartWizardDlg& CButtonPage::Wizard() const
{
    return *static_cast<CStartWizardDlg*>(m_pWizard);
}

BOOL CButtonPage::OnInitDialog()
{
    CWizardPage::OnInitDialog();
    const BUTTON_BITMAPS bitmaps = PageButtonBitmaps(m_nSkinWindow, m_state.m_nSkin);
    if (m_button.Attach(m_hWnd, IDC_PAGE_BUTTON))
    {
        SetWindowPos(m_button.m_hWnd, nullptr, PAGE_BUTTON_X, PAGE_BUTTON_Y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        m_button.LoadBitmaps(static_cast<UINT>(bitmaps.up), static_cast<UINT>(bitmaps.down));
        m_button.SizeToContent();
    }
    return TRUE;
}

bool CButtonPage::OnCommand(int id, int code, HWND)
{
    if (id != IDC_PAGE_BUTTON || code != BN_CLICKED)
        return false;
    OnButton();
    return true;
}

CAlignPage::CAlignPage(CDriverState& state) : CButtonPage(IDD_PAGE_ALIGN, SETUP_ALIGN_PAGE, state)
{
}

void CAlignPage::OnSetActive()
{
    CStartWizardDlg& wizard = Wizard();
    wizard.m_modelPage.UpdateData(true);
    if (wizard.m_modelPage.m_nModel == CALIB_MODEL_SIXTEEN)
        wizard.m_optionsPage.UpdateData(true);
    wizard.m_commits.AlignPageShown(wizard.Choices());
    m_pWizard->SetFinishMode(false);
    SetWizardCaption(m_state.m_strWizardText[WIZARD_TEXT_ALIGN]);
}

void CAlignPage::OnButton()
{
    CStartWizardDlg& wizard = Wizard();
    if (!wizard.m_commits.ConfirmAlignment() || g_pfnRunAlignmentView == nullptr)
        return;
    (void)g_pfnRunAlignmentView(m_state, wizard.m_hWnd);
    wizard.m_commits.AlignmentClosed();
}

CCalibratePage::CCalibratePage(CDriverState& state)
    : CButtonPage(IDD_PAGE_CALIBRATE, SETUP_CALIBRATE_PAGE, state)
{
}

void CCalibratePage::OnSetActive()
{
    m_pWizard->SetFinishMode(true);
    SetWizardCaption(m_state.m_strWizardText[WIZARD_TEXT_CALIBRATE]);
}

void CCalibratePage::OnButton()
{
    Wizard().m_commits.StartCalibration();
}

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
