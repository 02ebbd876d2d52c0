#include "platform/win32/Dialog.h"

#include "platform/win32/BitmapButton.h"

#include <vector>

namespace
{
const wchar_t* const DIALOG_PROPERTY = L"TaveloDialog";

bool IsRadio(HWND hControl)
{
    const LONG_PTR type = GetWindowLongPtrW(hControl, GWL_STYLE) & BS_TYPEMASK;
    return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON;
}

// Messages whose result a dialog procedure returns directly instead of through
// DWLP_MSGRESULT.
bool ReturnsDirectly(UINT message)
{
    switch (message)
    {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}
} // namespace

bool RegisterDialogClass(const wchar_t* className)
{
    WNDCLASSEXW info{};
    info.cbSize = sizeof info;
    if (GetClassInfoExW(ResourceInstance(), className, &info))
        return true;
    if (!GetClassInfoExW(ResourceInstance(), L"#32770", &info))
        return false;
    info.cbSize = sizeof info;
    info.hInstance = ResourceInstance();
    info.lpszClassName = className;
    return RegisterClassExW(&info) != 0;
}

void DDX_Check(CDataExchange& dx, int id, int& value)
{
    HWND hControl = GetDlgItem(dx.m_hDialog, id);
    if (hControl == nullptr)
        return;
    if (dx.m_bSaveAndValidate)
        value = static_cast<int>(SendMessageW(hControl, BM_GETCHECK, 0, 0));
    else
        SendMessageW(hControl, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_Radio(CDataExchange& dx, int firstId, int& value)
{
    HWND hControl = GetDlgItem(dx.m_hDialog, firstId);
    if (hControl == nullptr)
        return;
    if (dx.m_bSaveAndValidate)
        value = -1;
    int index = 0;
    do
    {
        if (IsRadio(hControl))
        {
            if (dx.m_bSaveAndValidate)
            {
                if (SendMessageW(hControl, BM_GETCHECK, 0, 0) == BST_CHECKED)
                    value = index;
            }
            else
            {
                SendMessageW(hControl, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED,
                             0);
            }
            ++index;
        }
        hControl = GetWindow(hControl, GW_HWNDNEXT);
    } while (hControl != nullptr && (GetWindowLongPtrW(hControl, GWL_STYLE) & WS_GROUP) == 0);
}

void DDX_Text(CDataExchange& dx, int id, std::wstring& value)
{
    HWND hControl = GetDlgItem(dx.m_hDialog, id);
    if (hControl == nullptr)
        return;
    if (!dx.m_bSaveAndValidate)
    {
        SetWindowTextW(hControl, value.c_str());
        return;
    }
    const int length = GetWindowTextLengthW(hControl);
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hControl, text.data(), length + 1);
    value.assign(text.data());
}

CDialog::CDialog(UINT idTemplate, HWND hParent) : m_nIdTemplate(idTemplate), m_hParent(hParent) {}

CDialog::~CDialog()
{
    if (m_hWnd != nullptr && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

bool CDialog::Create()
{
    HWND hWnd = CreateDialogParamW(ResourceInstance(), MAKEINTRESOURCEW(m_nIdTemplate), m_hParent,
                                   &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr;
}

void CDialog::Destroy()
{
    if (m_hWnd != nullptr && IsWindow(m_hWnd))
        DestroyWindow(m_hWnd);
}

INT_PTR CDialog::DoModal()
{
    m_bEnded = false;
    m_nResult = -1;
    HWND hOwner = m_hParent;
    const bool bOwnerEnabled = hOwner != nullptr && IsWindowEnabled(hOwner);
    if (bOwnerEnabled)
        EnableWindow(hOwner, FALSE);
    m_bModalRunning = true;
    if (!Create())
    {
        m_bModalRunning = false;
        if (bOwnerEnabled)
            EnableWindow(hOwner, TRUE);
        return -1;
    }
    // OnInitDialog may already have ended the dialog.
    if (!m_bEnded)
    {
        ShowWindow(m_hWnd, SW_SHOW);
        RunModalLoop();
    }
    m_bModalRunning = false;
    // The owner comes back before this window goes, so that it is activated again.
    if (bOwnerEnabled)
        EnableWindow(hOwner, TRUE);
    if (m_hWnd != nullptr)
    {
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        DestroyWindow(m_hWnd);
    }
    return m_nResult;
}

void CDialog::RunModalLoop()
{
    MSG message;
    while (!m_bEnded && m_hWnd != nullptr)
    {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0)
        {
            // Leave the quit request for the loops further out.
            PostQuitMessage(static_cast<int>(message.wParam));
            break;
        }
        if (got == -1)
            break;
        if (PreTranslateForDialogs(message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void CDialog::EndDialog(INT_PTR result)
{
    m_nResult = result;
    if (m_bModalRunning)
    {
        m_bEnded = true;
        // Wakes the loop, which may be waiting for a message.
        PostMessageW(m_hWnd, WM_NULL, 0, 0);
    }
    else if (m_hWnd != nullptr)
    {
        ShowWindow(m_hWnd, SW_HIDE);
    }
}

bool CDialog::PreTranslateMessage(MSG&)
{
    return false;
}

void CDialog::SetItemText(int id, const std::wstring& text) const
{
    SetDlgItemTextW(m_hWnd, id, text.c_str());
}

std::wstring CDialog::GetItemText(int id) const
{
    HWND hControl = GetItem(id);
    if (hControl == nullptr)
        return std::wstring();
    const int length = GetWindowTextLengthW(hControl);
    std::vector<wchar_t> text(static_cast<std::size_t>(length) + 1, L'\0');
    GetWindowTextW(hControl, text.data(), length + 1);
    return std::wstring(text.data());
}

void CDialog::EnableItem(int id, bool enable) const
{
    if (HWND hControl = GetItem(id))
        EnableWindow(hControl, enable ? TRUE : FALSE);
}

void CDialog::ShowItem(int id, bool show) const
{
    if (HWND hControl = GetItem(id))
        ShowWindow(hControl, show ? SW_SHOW : SW_HIDE);
}

void CDialog::MoveItem(int id, int x, int y, int width, int height) const
{
    if (HWND hControl = GetItem(id))
        MoveWindow(hControl, x, y, width, height, TRUE);
}

void CDialog::SetItemFont(int id, HFONT font) const
{
    if (HWND hControl = GetItem(id))
        SendMessageW(hControl, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void CDialog::ChangeItemStyle(int id, LONG_PTR add, LONG_PTR remove) const
{
    HWND hControl = GetItem(id);
    if (hControl == nullptr)
        return;
    const LONG_PTR style = GetWindowLongPtrW(hControl, GWL_STYLE);
    SetWindowLongPtrW(hControl, GWL_STYLE, (style & ~remove) | add);
}

void CDialog::SetIcons(HICON icon) const
{
    SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

bool CDialog::UpdateData(bool bSaveAndValidate)
{
    if (m_hWnd == nullptr)
        return false;
    CDataExchange dx(m_hWnd, bSaveAndValidate);
    DoDataExchange(dx);
    return true;
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange&) {}

bool CDialog::OnCommand(int, int, HWND)
{
    return false;
}

void CDialog::OnOK()
{
    UpdateData(true);
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, LRESULT&)
{
    return false;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COMMAND)
    {
        const int id = LOWORD(wParam);
        const int code = HIWORD(wParam);
        if (OnCommand(id, code, reinterpret_cast<HWND>(lParam)))
            return TRUE;
        if (id == IDOK && code == BN_CLICKED)
        {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL && code == BN_CLICKED)
        {
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    if (message == WM_DRAWITEM)
    {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (CBitmapButton* button = BitmapButtonFromWindow(item->hwndItem))
        {
            button->DrawItem(*item);
            SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, TRUE);
            return TRUE;
        }
    }
    LRESULT result = 0;
    if (!OnMessage(message, wParam, lParam, result))
        return FALSE;
    if (ReturnsDirectly(message))
        return static_cast<INT_PTR>(result);
    SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Nothing may leave a window procedure by an exception.
    try
    {
        if (message == WM_INITDIALOG)
        {
            auto* self = reinterpret_cast<CDialog*>(lParam);
            self->m_hWnd = hWnd;
            SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
            SetPropW(hWnd, DIALOG_PROPERTY, reinterpret_cast<HANDLE>(self));
            return self->OnInitDialog();
        }
        auto* self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hWnd, DWLP_USER));
        if (self == nullptr)
            return FALSE;
        const INT_PTR handled = self->Dispatch(message, wParam, lParam);
        if (message == WM_NCDESTROY)
        {
            RemovePropW(hWnd, DIALOG_PROPERTY);
            SetWindowLongPtrW(hWnd, DWLP_USER, 0);
            self->m_hWnd = nullptr;
        }
        return handled;
    }
    catch (...)
    {
        return FALSE;
    }
}

CDialog* DialogFromWindow(HWND hWnd)
{
    if (hWnd == nullptr)
        return nullptr;
    return reinterpret_cast<CDialog*>(GetPropW(hWnd, DIALOG_PROPERTY));
}

bool PreTranslateForDialogs(MSG& message)
{
    for (HWND hWnd = message.hwnd; hWnd != nullptr; hWnd = GetParent(hWnd))
    {
        if (CDialog* dialog = DialogFromWindow(hWnd))
        {
            if (dialog->PreTranslateMessage(message))
                return true;
        }
        if ((GetWindowLongPtrW(hWnd, GWL_STYLE) & WS_CHILD) == 0)
            break;
    }
    HWND hRoot = message.hwnd != nullptr ? GetAncestor(message.hwnd, GA_ROOT) : nullptr;
    if (hRoot != nullptr && DialogFromWindow(hRoot) != nullptr)
        return IsDialogMessageW(hRoot, &message) != FALSE;
    return false;
}

bool TransparentControlColour(WPARAM wParam, LPARAM lParam, COLORREF textColour, LRESULT& result)
{
    wchar_t name[32] = {};
    GetClassNameW(reinterpret_cast<HWND>(lParam), name, 31);
    const std::wstring control = name;
    if (control != L"Static" && control != L"Button")
        return false;
    HDC dc = reinterpret_cast<HDC>(wParam);
    if (control == L"Static")
        SetTextColor(dc, textColour);
    SetBkMode(dc, TRANSPARENT);
    result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
    return true;
}
