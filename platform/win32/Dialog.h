#pragma once
// The windows layer: a dialog object is a window handle, a template id and a few virtual
// handlers. One dialog procedure finds the object and calls them; modal and modeless dialogs
// share it. Modal dialogs run our own message loop, so every dialog on the thread sees the
// messages meant for it before they are dispatched (PreTranslateMessage: Escape on a
// full-screen window that has no button to take it).

#include "platform/win32/ResourceModule.h"

#include <windows.h>

#include <string>

// Control data exchange: one direction per call, as the flag says.
class CDataExchange
{
public:
    CDataExchange(HWND hDialog, bool bSaveAndValidate)
        : m_hDialog(hDialog), m_bSaveAndValidate(bSaveAndValidate)
    {
    }
    HWND m_hDialog;
    bool m_bSaveAndValidate;
};

// Check box state <-> 0 or 1 (an indeterminate box reads as 2).
void DDX_Check(CDataExchange& dx, int id, int& value);
// Radio group starting at `firstId` (the button with WS_GROUP) and running through the next
// radio buttons in tab order <-> 0-based index of the checked one, -1 for none.
void DDX_Radio(CDataExchange& dx, int firstId, int& value);
void DDX_Text(CDataExchange& dx, int id, std::wstring& value);

class CDialog
{
public:
    CDialog(UINT idTemplate, HWND hParent);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; returns what EndDialog was given, or -1 when the template
    // could not be created. The parent is disabled meanwhile.
    INT_PTR DoModal();
    // Creates the dialog modeless (shown when its template says so), as a child of the parent
    // when its template says so (a wizard's pages). False on failure.
    bool Create();
    // Destroys a window made by Create.
    void Destroy();
    // Ends a modal run with the result; hides a modeless dialog.
    void EndDialog(INT_PTR result);
    bool IsModalRunning() const { return m_bModalRunning; }

    // Sees a message of the thread before it is dispatched; true keeps it from dispatch.
    virtual bool PreTranslateMessage(MSG& message);

    HWND GetItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void SetItemText(int id, const std::wstring& text) const;
    std::wstring GetItemText(int id) const;
    void EnableItem(int id, bool enable) const;
    void ShowItem(int id, bool show) const;
    // Moves a control to a pixel rectangle of the client area.
    void MoveItem(int id, int x, int y, int width, int height) const;
    void SetItemFont(int id, HFONT font) const;
    // Adds and removes window style bits of a control.
    void ChangeItemStyle(int id, LONG_PTR add, LONG_PTR remove) const;
    void SetIcons(HICON icon) const;
    bool UpdateData(bool bSaveAndValidate);

    HWND m_hWnd = nullptr;

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange& dx);
    // WM_COMMAND from a control or menu; true when handled.
    virtual bool OnCommand(int id, int code, HWND hControl);
    virtual void OnOK();
    virtual void OnCancel();
    // Every other message: true when handled, with the result it returns.
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    UINT m_nIdTemplate;
    HWND m_hParent;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    void RunModalLoop();

    bool m_bModalRunning = false;
    bool m_bEnded = false;
    INT_PTR m_nResult = -1;
};

// The dialog object of a window created by this layer, or null.
CDialog* DialogFromWindow(HWND hWnd);

// Offers a message to the dialogs on the way from its window to the top-level window, then
// lets the top-level dialog do its keyboard navigation. True when the message was taken.
bool PreTranslateForDialogs(MSG& message);

// Registers a window class that is the system dialog class under another name, so that a
// template can name it and other windows can find the dialog by it.
bool RegisterDialogClass(const wchar_t* className);

// WM_CTLCOLORSTATIC / WM_CTLCOLORBTN for a window that paints its own picture behind its
// controls: static texts and buttons draw transparently over it, texts in textColour. False
// for other controls, which keep the default colours.
bool TransparentControlColour(WPARAM wParam, LPARAM lParam, COLORREF textColour, LRESULT& result);
