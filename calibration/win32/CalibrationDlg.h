#pragma once
// The full-screen calibration window: one window for the whole run, moved onto the monitor of
// the camera being calibrated, showing the skin's background, the current target and the
// two-line instruction. The capture runs on the reader thread and never touches the window:
// it posts WM_CALIB_REDRAW and WM_CALIB_HIDE, which run here in the order they were asked for.
// After the last camera the window shows that camera's calibration report until a tap,
// Escape or ten seconds; every camera's report is kept beside the settings file.

#include "calibration/CalibTypes.h"
#include "calibration/CaptureSequence.h"
#include "platform/win32/Dialog.h"

#include <atomic>
#include <cstdint>

class CDeviceController;

enum : UINT
{
    WM_CALIB_REDRAW = 0x0401,
    WM_CALIB_HIDE = 0x0402,
    // A camera's capture to report on: lParam a CALIB_CAPTURE the window takes over, wParam 1
    // when the report is to be shown.
    WM_CALIB_REPORT = 0x0403,
};

struct CALIB_CAPTURE;

class CCalibrationDlg : public CDialog
{
public:
    CCalibrationDlg();
    ~CCalibrationDlg() override;

    // Covers a monitor rectangle with the model's targets and shows the window in front.
    void ShowOn(const CALIB_RECT& monitor, std::int32_t model);
    // Draws the background, the current target and the instruction.
    void Redraw();
    // Escape abandons the calibration, whichever control has the focus.
    bool PreTranslateMessage(MSG& message) override;

    CALIB_RECT m_rcMonitor;
    int m_cxScreenDlg = 0;
    int m_cyScreenDlg = 0;
    std::uint16_t m_nTargetIndex = 0;
    std::int32_t m_nModel = 0;
    CALIB_POINT m_ptNine[9];
    CALIB_POINT m_ptSixteen[16];

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    // Escape is handled before dispatch; the dialog's own cancel has nothing left to do.
    void OnCancel() override {}
    void OnOK() override {}

private:
    void LayOutTargets();
    void ReadScreenSize();
    void DrawBackground(HDC dc, int width, int height);
    void OnPaint();
    void OnReport(CALIB_CAPTURE* capture, bool show);
    void CloseReport();

    HFONT m_hFont = nullptr;
    // What the report screen shows, while it is shown.
    HBITMAP m_hReport = nullptr;
};

// The one calibration window, created by the first calibration and kept until shutdown.
extern std::atomic<CCalibrationDlg*> g_pCalibrationDlg;

// Adds the capture's window hooks (show, redraw, hide) and Escape's refresh of the main
// dialog's controls to a hook table.
void AddCalibrationWindowHooks(CALIBRATION_HOOKS& hooks, void (*pfnRefreshControls)());
