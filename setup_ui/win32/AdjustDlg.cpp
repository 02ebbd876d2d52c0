#include "setup_ui/win32/AdjustDlg.h"

#include "core/DriverState.h"
#include "device/DeviceController.h"
#include "device/DeviceGlobals.h"
#include "device/ScreenAreas.h"
#include "resources/resource.h"

#include <cstdlib>
#include <string>

namespace
{
constexpr int FRAME_INSET = 50;
constexpr int FRAME_PEN_WIDTH = 50;
constexpr int BUTTON_LEFT_OF_CENTRE = 45;
constexpr int BUTTON_BELOW_CENTRE = 100;
const COLORREF TEXT_COLOUR = RGB(32, 41, 51);

// The reader thread tells the window a picture is waiting; the window takes it.
void PostFrameReady(CAdjustView* view)
{
    if (auto* dialog = static_cast<CAdjustDlg*>(view))
        PostMessageW(dialog->m_hWnd, WM_ADJUST_FRAME, 0, 0);
}

// The last picture shown, so that a repaint does not wait a second for the next one.
ADJUST_FRAME g_lastFrame;

void DrawFrame(HDC dc, const ADJUST_FRAME& frame)
{
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() < std::size_t(frame.width) * std::size_t(frame.height))
        return;
    // Colour values are R | G << 8 | B << 16; a 32-bit picture wants B, G, R in memory.
    std::vector<std::uint32_t> bgr(frame.pixels.size());
    for (std::size_t i = 0; i < bgr.size(); ++i)
    {
        const std::uint32_t c = frame.pixels[i];
        bgr[i] = ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = frame.width;
    info.bmiHeader.biHeight = -frame.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, frame.x, frame.y, DWORD(frame.width), DWORD(frame.height), 0, 0, 0,
                      UINT(frame.height), bgr.data(), &info, DIB_RGB_COLORS);
}
} // namespace

CAdjustDlg::CAdjustDlg(CDriverState& state, HWND hParent)
    : CDialog(IDD_ADJUST, hParent), m_state(state)
{
    m_pfnFrameReady = &PostFrameReady;
}

CAdjustDlg::~CAdjustDlg()
{
    g_lastFrame = ADJUST_FRAME{};
}

BOOL CAdjustDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_hIcon = LoadIconW(ResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    SetIcons(m_hIcon);
    m_state.m_cxScreen = GetSystemMetrics(SM_CXSCREEN);
    m_state.m_cyScreen = GetSystemMetrics(SM_CYSCREEN);
    // A reader that maps pens through the monitor table (the tray wizard tracks them) ends
    // before the table changes; the image stream starts its own below.
    m_state.m_controller.m_link.StopReader();
    // The first camera is always aligned on the whole primary screen.
    if (m_pAreas != nullptr)
    {
        std::int32_t* rect = m_pAreas[m_nCurDevice].rect;
        rect[0] = 0;
        rect[1] = 0;
        rect[2] = m_state.m_cxScreen;
        rect[3] = m_state.m_cyScreen;
    }
    m_btnOK.Attach(m_hWnd, IDC_ADJUST_OK);
    m_btnOK.LoadBitmaps(IDB_OK_UP, IDB_OK_DOWN);
    ShowCamera(50);
    return TRUE;
}

void CAdjustDlg::PlaceButton()
{
    const auto rect = CurrentRect();
    const int x = std::abs(rect[2] - rect[0]) / 2 - BUTTON_LEFT_OF_CENTRE;
    const int y = std::abs(rect[3] - rect[1]) / 2 + BUTTON_BELOW_CENTRE;
    SetWindowPos(m_btnOK.m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_btnOK.SizeToContent();
}

void CAdjustDlg::ShowCamera(DWORD settleMs)
{
    PlaceButton();
    BeginDrawing();
    g_lastFrame = ADJUST_FRAME{};
    const auto rect = CurrentRect();
    MoveWindow(m_hWnd, rect[0], rect[1], rect[2] - rect[0], rect[3] - rect[1], TRUE);
    Sleep(settleMs);
    m_state.m_bGreyImage = GreyImageFlag(m_state.m_controller.GetDeviceVersion(m_nCurDevice));
    (void)m_state.m_controller.StartImageStream(m_nCurDevice);
}

void CAdjustDlg::OnConfirm()
{
    if (m_nCurDevice >= m_nLastDevice)
    {
        EndDialog(IDOK);
        return;
    }
    // The reader copies the record written below: its stream ends first.
    (void)m_state.m_controller.StopImageStream();
    if (CAMERA_RECORD* records = m_state.m_controller.GetRecords(); records && m_pAreas)
    {
        CAMERA_RECORD& record = records[m_nCurDevice];
        record.monitorIndex = m_nCurDevice;
        std::copy(m_pAreas[m_nCurDevice].rect, m_pAreas[m_nCurDevice].rect + 4, record.monitorRect);
    }
    ++m_nCurDevice;
    ShowCamera(100);
    InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CAdjustDlg::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CAdjustDlg::PreTranslateMessage(MSG& message)
{
    if (message.message != WM_KEYDOWN || message.wParam != VK_ESCAPE)
        return false;
    EndDialog(IDCANCEL);
    return true;
}

bool CAdjustDlg::OnCommand(int id, int code, HWND)
{
    if (id != IDC_ADJUST_OK || code != BN_CLICKED)
        return false;
    OnConfirm();
    return true;
}

void CAdjustDlg::OnPaint()
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    const auto rect = CurrentRect();
    HPEN pen = CreatePen(PS_SOLID, FRAME_PEN_WIDTH, RGB(0, 0, 0));
    HGDIOBJ previousPen = SelectObject(dc, pen);
    HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, FRAME_INSET, FRAME_INSET, std::abs(rect[2] - rect[0]) - FRAME_INSET,
              std::abs(rect[3] - rect[1]) - FRAME_INSET);
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousPen);
    DeleteObject(pen);
    DrawFrame(dc, g_lastFrame);
    EndPaint(m_hWnd, &paint);
    // The button stays above the frame.
    RedrawWindow(m_btnOK.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CAdjustDlg::ShowFrame()
{
    ADJUST_FRAME frame;
    if (!TakeFrame(frame))
        return;
    g_lastFrame = std::move(frame);
    HDC dc = GetDC(m_hWnd);
    DrawFrame(dc, g_lastFrame);
    ReleaseDC(m_hWnd, dc);
}

bool CAdjustDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    switch (message)
    {
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_ERASEBKGND:
    {
        RECT client{};
        GetClientRect(m_hWnd, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client,
                 static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        result = TRUE;
        return true;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return TransparentControlColour(wParam, lParam, TEXT_COLOUR, result);
    case WM_ADJUST_FRAME:
        ShowFrame();
        return true;
    case WM_DESTROY:
        // The reader hands frames to this window: its stream ends while the window is whole.
        (void)m_state.m_controller.StopImageStream();
        return false;
    default:
        return false;
    }
}

INT_PTR RunAlignmentView(CDriverState& state, HWND hOwner)
{
    CAdjustDlg view(state, hOwner);
    view.m_pAreas = state.m_controller.GetAreas();
    const std::uint16_t cameras = g_nDeviceCount.load();
    view.m_nLastDevice = cameras > 0 ? static_cast<std::uint16_t>(cameras - 1) : 0;
    g_pAdjustDlg = &view;
    const INT_PTR result = view.DoModal();
    g_pAdjustDlg = nullptr;
    return result;
}
