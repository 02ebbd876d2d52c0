#pragma once
// What the start wizard decides, apart from its windows: what Next and Back commit to the
// state record for each origin (first start or tray, with the M9 and M10 questions of the
// tray wizard), what the alignment and calibration pages do with their buttons, and what the
// opener applies on Finish or Cancel.

#include <cstdint>
#include <functional>

class CDriverState;

// Page positions in display order.
enum : int
{
    WIZARD_MODEL_PAGE = 0,
    WIZARD_OPTIONS_PAGE = 1,
    WIZARD_ALIGN_PAGE = 2,
    WIZARD_CALIBRATE_PAGE = 3,
};

enum : int
{
    WIZARD_ORIGIN_FIRST_RUN = 0,
    WIZARD_ORIGIN_TRAY = 1,
};

// The pages' fields: the model page's radio group, the options page's check boxes, and the
// states of the ceiling and rear boxes that follow every click.
struct WIZARD_CHOICES
{
    std::int32_t model = -1;
    std::int32_t ceiling = 0;
    std::int32_t startProgram = 0;
    std::int32_t rear = 0;
    std::int32_t ceilingState = 0;
    std::int32_t rearState = 0;
};

// The opener's copy into the pages.
WIZARD_CHOICES WizardChoicesFrom(const CDriverState& state);

class CWizardCommits
{
public:
    explicit CWizardCommits(CDriverState& state);

    // What Cancel of a tray wizard puts back: the record as the wizard found it.
    void Remember();
    bool FromTray() const;

    // Next, leaving the page at activeIndex. False keeps the user on it (No to M9 or M10).
    bool CommitNext(int activeIndex, const WIZARD_CHOICES& choices);
    void CommitBack(const WIZARD_CHOICES& choices);
    // The alignment page became active.
    void AlignPageShown(const WIZARD_CHOICES& choices);
    // The options page's start-with-Windows box was clicked.
    void StartProgramClicked(bool ticked);
    // The alignment page's button: from the tray the pen stops while the view is open, so the
    // user is asked (M3). True when the view may open.
    bool ConfirmAlignment();
    // The alignment view has closed: the tray wizard's pen tracking starts again.
    void AlignmentClosed();
    // The calibration page's button: the main window starts the calibration.
    void StartCalibration();

    // The opener, after Finish: the choices go into the record (setAutostart registers or
    // removes start with Windows), the settings are saved by camera count and tracking
    // restarts.
    void Finish(const WIZARD_CHOICES& choices,
                const std::function<void(bool enable)>& setAutostart);
    // The opener, after any other result. True when the driver must end (the first-run wizard
    // leaves it without a calibration to run with). A tray wizard leaves the record as it
    // found it and the pen tracking as it was, unless a calibration has started from it.
    bool Cancel();

private:
    CDriverState& m_state;
    std::int32_t m_nSavedModel = 0;
    std::int32_t m_bSavedCeiling = 0;
    std::int32_t m_bSavedRear = 0;
    std::int32_t m_bSavedStartProgram = 0;
    bool m_bStoppedTracking = false;
    bool m_bCalibrationStarted = false;
};
