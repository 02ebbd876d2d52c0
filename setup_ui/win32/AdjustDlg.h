#pragma once
// The camera alignment view: a borderless window over one camera's monitor with a thick black
// frame 50 pixels inside its edges and, in the middle, the camera's live picture, so the user
// can aim the camera until the frame and the whole picture are in view. OK moves on to the
// next camera; after the last one, or on Escape, the view closes. The reader thread decodes
// the pictures; the window only shows the finished ones it is handed.

#include "camera_image/AdjustView.h"
#include "platform/win32/BitmapButton.h"
#include "platform/win32/Dialog.h"

class CDriverState;

enum : UINT
{
    // A finished picture is waiting (posted by the reader thread).
    WM_ADJUST_FRAME = WM_APP + 0x40,
};

class CAdjustDlg : public CDialog, public CAdjustView
{
public:
    CAdjustDlg(CDriverState& state, HWND hParent);
    ~CAdjustDlg() override;

    bool PreTranslateMessage(MSG& message) override;

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(int id, int code, HWND hControl) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    void OnOK() override {}
    void OnCancel() override;

private:
    // Moves the window and the OK button onto the camera now shown and starts its stream.
    void ShowCamera(DWORD settleMs);
    void PlaceButton();
    void OnPaint();
    void ShowFrame();
    void OnConfirm();

    CDriverState& m_state;
    CBitmapButton m_btnOK;
    HICON m_hIcon = nullptr;
};

// Runs the view camera after camera over the controller's monitor areas (the wizard's
// alignment page calls it): the image stream stops and g_pAdjustDlg is cleared whatever the
// view ends with. Returns IDOK or IDCANCEL.
INT_PTR RunAlignmentView(CDriverState& state, HWND hOwner);
