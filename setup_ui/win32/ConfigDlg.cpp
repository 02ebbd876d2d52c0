#include "setup_ui/win32/ConfigDlg.h"

#include "core/DriverState.h"
#include "core/Language.h"
#include "resources/resource.h"
#include "setup_ui/win32/SetupHooks.h"

#include <algorithm>

CConfigDlg::CConfigDlg(CDriverState& state) : CDialog(IDD_CONFIG, nullptr), m_state(state)
{
    m_hIcon = LoadIconW(ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CConfigDlg::~CConfigDlg()
{
    Destroy();
    if (m_brushGrey != nullptr)
        DeleteObject(m_brushGrey);
}

void CConfigDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Radio(dx, IDC_CFG_SIXTEEN, m_values.model);
    DDX_Radio(dx, IDC_CFG_DEFAULT_SERVER, m_values.serverChoice);
    DDX_Check(dx, IDC_CFG_CEILING, m_values.ceiling);
    DDX_Check(dx, IDC_CFG_START_PROGRAM, m_values.startProgram);
    DDX_Check(dx, IDC_CFG_REAR, m_values.rear);
}

void CConfigDlg::UpdateEnableStates() const
{
    const bool mounting = MountingOptionsEnabled(m_values);
    EnableItem(IDC_CFG_CEILING, mounting);
    EnableItem(IDC_CFG_REAR, mounting);
    EnableItem(IDC_CFG_SERVER_LIST, ServerListEnabled(m_values));
}

void CConfigDlg::FillServerList() const
{
    HWND list = GetItem(IDC_CFG_SERVER_LIST);
    const int count = std::clamp(m_state.m_nServerCount, 0, SERVER_SLOT_COUNT);
    for (int i = 0; i < count; ++i)
    {
        SendMessageW(list, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(m_state.m_strServerAlias[i].c_str()));
    }
    const int selection = ServerListSelection(m_values);
    if (selection >= 0)
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selection), 0);
}

BOOL CConfigDlg::OnInitDialog()
{
    if (m_brushGrey == nullptr)
        m_brushGrey = CreateSolidBrush(SKIN_GREY);
    CDialog::OnInitDialog();
    SetIcons(m_hIcon);
    SetWindowPos(m_hWnd, nullptr, 0, 0, CONFIG_WINDOW_WIDTH, CONFIG_WINDOW_HEIGHT,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    RECT desktop{};
    GetWindowRect(GetDesktopWindow(), &desktop);
    SetWindowPos(m_hWnd, nullptr,
                 desktop.left + (desktop.right - desktop.left - CONFIG_WINDOW_WIDTH) / 2,
                 desktop.top + (desktop.bottom - desktop.top - CONFIG_WINDOW_HEIGHT) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyWindowDirection(m_hWnd, g_nLangLayout);

    m_fonts.Create(SETUP_CONFIG, g_nLangLayout);
    LayOutSkinControls(*this, SETUP_CONFIG, m_state, g_nLangLayout, m_fonts);
    UpdateEnableStates();
    FillServerList();
    SetWindowTextW(m_hWnd, m_state.m_strConfigText[0].c_str());

    const bool update = UpdateEnabled(m_state);
    EnableItem(IDC_CFG_UPDATE, update);
    EnableItem(IDC_CFG_UPDATE_TEXT, update);
    return TRUE;
}

void CConfigDlg::OnOK()
{
    UpdateData(true);
    if (ConfirmConfiguration(m_state, m_values))
        EndDialog(IDOK);
}

void CConfigDlg::OnUpdate()
{
    if (!ConfirmUpdate(m_state) || g_pfnLaunchDefaultUpdater == nullptr)
        return;
    g_pfnLaunchDefaultUpdater(SW_SHOW);
}

bool CConfigDlg::OnCommand(int id, int code, HWND)
{
    if (id == IDC_CFG_SERVER_LIST)
    {
        if (code != CBN_SELCHANGE)
            return false;
        const LRESULT selection = SendDlgItemMessageW(m_hWnd, id, CB_GETCURSEL, 0, 0);
        if (selection != CB_ERR)
            SelectListedServer(m_values, static_cast<int>(selection));
        return true;
    }
    if (code != BN_CLICKED)
        return false;
    switch (id)
    {
    case IDC_CFG_NINE:
        m_values.model = CALIB_MODEL_NINE;
        UpdateEnableStates();
        return true;
    case IDC_CFG_SIXTEEN:
        m_values.model = CALIB_MODEL_SIXTEEN;
        UpdateEnableStates();
        return true;
    case IDC_CFG_DEFAULT_SERVER:
        ChooseDefaultServer(m_values);
        UpdateEnableStates();
        return true;
    case IDC_CFG_SERVER_LIST_RADIO:
        ChooseListedServer(m_values);
        UpdateEnableStates();
        return true;
    case IDC_CFG_UPDATE:
        OnUpdate();
        return true;
    case IDC_CFG_OK:
        OnOK();
        return true;
    case IDC_CFG_CANCEL:
        OnCancel();
        return true;
    default:
        return false;
    }
}

void CConfigDlg::OnPaint()
{
    if (!IsIconic(m_hWnd))
    {
        PaintSkinBackground(m_hWnd, BackgroundBitmap(SETUP_CONFIG, m_state.m_nSkin, g_nLangLayout),
                            CONFIG_PICTURE_AREA, RepaintedControls(SETUP_CONFIG));
        return;
    }
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    RECT client{};
    GetClientRect(m_hWnd, &client);
    DrawIcon(dc, (client.right - GetSystemMetrics(SM_CXICON) + 1) / 2,
             (client.bottom - GetSystemMetrics(SM_CYICON) + 1) / 2, m_hIcon);
    EndPaint(m_hWnd, &paint);
}

bool CConfigDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result)
{
    switch (message)
    {
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_ERASEBKGND:
        EraseWhite(m_hWnd, reinterpret_cast<HDC>(wParam));
        result = TRUE;
        return true;
    case WM_DESTROY:
        // Destroyed from outside while it runs: that ends it as cancelled.
        if (IsModalRunning())
            EndDialog(IDCANCEL);
        return false;
    default:
        if (message == DescribeSkinMessage() && message != 0)
        {
            AnswerSkinDescription(m_hWnd, reinterpret_cast<HWND>(wParam),
                                  BackgroundBitmap(SETUP_CONFIG, m_state.m_nSkin, g_nLangLayout));
            return true;
        }
        return SkinControlColour(message, wParam, m_brushGrey, result);
    }
}
