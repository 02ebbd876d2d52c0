#include "shell/win32/AboutDlg.h"

#include "core/DriverState.h"
#include "core/Language.h"
#include "device/DeviceController.h"
#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"
#include "resources/resource.h"
#include "shell/win32/Launchers.h"

#include <cstdio>
#include <vector>

namespace
{
const COLORREF LINK_COLOUR = RGB(0, 0, 255);

std::wstring ModulePath(const wchar_t* fallback)
{
    const std::wstring path = OwnExecutablePath();
    return path.empty() ? std::wstring(fallback) : path;
}
} // namespace

CAboutDlg::CAboutDlg(HWND hParent) : CDialog(IDD_ABOUTBOX, hParent) {}

CAboutDlg::~CAboutDlg()
{
    if (m_hFont != nullptr)
        DeleteObject(m_hFont);
}

BOOL CAboutDlg::GetFileVersion(const std::wstring& path, WORD parts[4])
{
    DWORD handle = 0;
    const DWORD size = syscall::GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0)
        return FALSE;
    std::vector<BYTE> block(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!syscall::GetFileVersionInfoW(path.c_str(), 0, size, block.data()) ||
        !syscall::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        info == nullptr || length < sizeof *info)
        return FALSE;
    parts[0] = HIWORD(info->dwFileVersionMS);
    parts[1] = LOWORD(info->dwFileVersionMS);
    parts[2] = HIWORD(info->dwFileVersionLS);
    parts[3] = LOWORD(info->dwFileVersionLS);
    return TRUE;
}

void CAboutDlg::DoDataExchange(CDataExchange& dx)
{
    DDX_Text(dx, IDC_ABOUT_FIRMWARE, m_strFirmware);
}

BOOL CAboutDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    const CDriverState& state = *g_pMainDlg;
    const bool velmara = state.m_nSkin == SKIN_VELMARA;
    m_hIcon = LoadIconW(ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SetIcons(m_hIcon);
    UpdateData(true);

    m_hFont = CreateFontW(15, 6, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                          VARIABLE_PITCH | FF_SWISS, L"MS San Serif");
    for (int id : {IDC_ABOUT_PRODUCT, IDC_ABOUT_LINK, IDC_ABOUT_FIRMWARE, IDC_ABOUT_NOTICE})
        SetItemFont(id, m_hFont);

    WORD parts[4] = {0, 0, 0, 0};
    GetFileVersion(ModulePath(velmara ? L"Velmara.exe" : L"Tavelo.exe"), parts);
    if (velmara)
        SetWindowTextW(m_hWnd, L"About Corvane Velmara Presenter");
    const std::wstring product = velmara ? L"Velmara Presenter" : L"Tavelo";
    wchar_t version[64];
    std::swprintf(version, 64, L"Version: %hu.%hu.%hu.%hu", parts[0], parts[1], parts[2], parts[3]);
    SetItemText(IDC_ABOUT_PRODUCT, product + L" " + version);

    CDeviceController& controller = g_pMainDlg->m_controller;
    wchar_t firmware[160];
    switch (controller.GetDeviceCount())
    {
    case 1:
        std::swprintf(firmware, 160, L"%ls Firmware Version : %1.2lf", product.c_str(),
                      controller.GetDeviceVersion(0));
        m_strFirmware = firmware;
        break;
    case 2:
        std::swprintf(firmware, 160, L"%ls Firmware Version : %1.2lf ,  %1.2lf", product.c_str(),
                      controller.GetDeviceVersion(0), controller.GetDeviceVersion(1));
        m_strFirmware = firmware;
        break;
    default:
        break;
    }
    UpdateData(false);
    return TRUE;
}

bool CAboutDlg::OnCommand(int id, int, HWND)
{
    if (id != IDC_ABOUT_LINK)
        return false;
    OpenMakerWebSite(m_hWnd);
    return true;
}

bool CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (message != WM_CTLCOLORSTATIC ||
        GetDlgCtrlID(reinterpret_cast<HWND>(lParam)) != IDC_ABOUT_LINK)
        return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    SetTextColor(dc, LINK_COLOUR);
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    result = reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    return true;
}
