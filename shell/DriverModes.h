#pragma once
// The driver's mode, owned by the main window on the user-interface thread. Only this object
// starts a calibration, ends one that an event would break, and hides or shows the cursor, so
// that events arriving in the wrong mode have one defined outcome. The table of events by mode
// is in DriverModes.md beside this file.

#include <cstdint>

class CDriverState;

enum class DRIVER_MODE : std::uint8_t
{
    Starting,     // start-up, until tracking or the first-run wizard
    FirstWizard,  // the start wizard of a first run
    Tracking,     // pens are tracked; nothing else is open
    TrayWizard,   // the start wizard opened from the tray
    Configuring,  // the configuration dialog
    Suspended,    // the system sleeps
    ShuttingDown, // Exit, a stall or the end of the Windows session
};

class CDriverModes
{
public:
    explicit CDriverModes(CDriverState& state) : m_state(state) {}

    DRIVER_MODE Mode() const { return m_mode; }
    bool IsCalibrating() const { return m_bCalibrating; }
    bool IsCursorHidden() const { return m_bCursorHidden; }
    // The alignment view is up (opened from a wizard page): no calibration and no other window
    // starts while it shows the camera's picture.
    void SetAligning(bool aligning);

    // Start-up and the end of a window mode: the mode the driver is in from now on (a change
    // goes into the log).
    void SetMode(DRIVER_MODE mode);

    // A tray command that opens a window mode (configuration, wizard). Refused while a
    // calibration runs: the full-screen window covers the board, and a pen user has no Escape.
    bool MayOpenWindow() const;

    // The tray's Calibrate, the wizard's or the configuration dialog's calibrate button
    // (nextCamera false), or a finished camera handing over to the next (nextCamera true).
    // A new calibration while one runs is refused. A calibration whose window cannot be shown
    // is abandoned at once: cursor back, tracking again.
    void OnCalibrate(bool nextCamera);
    // Escape in the calibration window.
    void OnEscape();
    // WM_SHOW_CURSOR and WM_RESTART_TRACKING, posted when a calibration ends.
    void OnShowCursor();
    void OnRestartTracking();
    // WM_DISPLAYCHANGE: a running calibration is abandoned first. Display changes that arrive
    // while one is handled (a box is up) are taken as part of it: at most one box per burst.
    void OnDisplayChange();
    // WM_POWERBROADCAST: a calibration running at suspend is abandoned.
    void OnPowerEvent(std::uint32_t event);
    // WM_ENDSESSION with the session ending: saves and releases as Exit does.
    void OnEndSession();

private:
    void AbandonRunningCalibration();
    void HideCursor();
    void ShowCursor();

    CDriverState& m_state;
    DRIVER_MODE m_mode = DRIVER_MODE::Starting;
    bool m_bCalibrating = false;
    bool m_bCursorHidden = false;
    bool m_bAligning = false;
    bool m_bDisplayChangeRunning = false;
};
