#pragma once
// Turns pen samples into input. Pen 0 is the mouse: touching presses the left button, moving
// drags, lifting releases, a second quick touch near the first is a double click, holding
// still is a right click. Pens 1 to 3 follow the same gestures as window messages to the
// companion program's window. Time is counted in samples of each pen, never in clock time.
// The gesture rules are one state machine for all four pens (PenGestures.md); only the
// output differs between the mouse and the companion pens. Reader thread only.

#include "platform/Platform.h"
#include "tracking/BezierSmoother.h"
#include "tracking/SpotParser.h"

#include <cstdint>

// Action codes, shared by mouse records and companion messages.
enum : std::int32_t
{
    PEN_MOVE = 10,
    PEN_RIGHTCLICK = 30,
    PEN_DOWN = 50,
    PEN_UP = 60,
    PEN_DBLCLICK = 70,
    PEN_CLICK = 80,
};

// Companion messages: pen p goes as message 1138 + p.
enum : std::uint32_t
{
    WM_COMPANION_PEN1 = 1139,
    WM_COMPANION_PEN2 = 1140,
    WM_COMPANION_PEN3 = 1141,
};

// Marks the driver's own mouse records.
constexpr std::uintptr_t PEN_EXTRA_INFO = 0xFFFE;

// Gesture thresholds, in screen pixels and pen samples.
constexpr std::int32_t DOUBLE_CLICK_DISTANCE = 20; // second press nearer than this
constexpr std::int32_t FIRST_PRESS_MAX_MOVES = 3;  // more position changes: no double click
constexpr std::int32_t DOUBLE_CLICK_WINDOW = 25;   // absent samples the window survives
constexpr std::int32_t HOLD_RADIUS = 5;            // hold counts while nearer than this
constexpr std::int32_t HOLD_AFTER_TOUCHES = 2;     // hold counts from the sample after this
constexpr std::int32_t RIGHT_CLICK_HOLD = 50;      // right click when the hold count exceeds it

// Bezier parameter the pen driver passes with every pen-0 event, and the filter modes.
constexpr double PEN_FILTER_T = 0.78;
constexpr std::int32_t FILTER_SMOOTHED = 0;
constexpr std::int32_t FILTER_RAW = 2;

constexpr int INJECTED_PENS = 4;

struct PEN_AREA
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// wParam of a companion message: x in the high half, y in the low half; the lift does not
// mask y, so a negative y fills the high half too. Packed in 32 bits, as the companion
// program (a 32-bit program) receives it.
std::uintptr_t PackCompanionPosition(std::int32_t x, std::int32_t y);
std::uintptr_t PackCompanionLift(std::int32_t x, std::int32_t y);

class CPenInjector
{
public:
    CPenInjector();
    virtual ~CPenInjector() = default;
    CPenInjector(const CPenInjector&) = delete;
    CPenInjector& operator=(const CPenInjector&) = delete;

    void SetArea(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom);
    void SetFilter(std::int32_t mode, double t, std::uint8_t flag);

    // Pen 0 present at a screen position / absent. Always true.
    bool PointerMove(std::int32_t x, std::int32_t y);
    bool PointerUp();
    // Pens 1 to 3; any other pen number does nothing. Always true.
    bool CompanionPenMove(int pen, std::int32_t x, std::int32_t y);
    bool CompanionPenUp(int pen);
    // The pen's reports stopped (its camera went quiet): a pen in a touch is lifted as by an
    // absent sample (pen 0's button goes up at its last position, pens 1 to 3 get their lift),
    // and its double-click window closes, so the next touch is a press, not a double click
    // across the silence. A pen that is up only loses its double-click window.
    void ReleasePen(int pen);

    // One mouse record, normalised to the current display mode of the primary display.
    // Callers pass yFromBottom = m_cyPrimary - y. Unknown action codes send nothing, and so
    // does a display mode that cannot be read.
    void SendMouse(std::int32_t x, std::int32_t yFromBottom, std::int32_t action);

    // Back to the state at construction. For tests and tools.
    void Reset();

    std::int32_t m_nTouchCount[INJECTED_PENS];
    std::int32_t m_nHoldCount[INJECTED_PENS];
    std::int32_t m_nUpCount[INJECTED_PENS];
    // Last action sent for the pen: also the pen's gesture state (PenGestures.md).
    std::int32_t m_nLastAction[INJECTED_PENS + 1];
    PEN_POINT m_ptLast[INJECTED_PENS];
    std::int32_t m_nClickCount[INJECTED_PENS];
    // Primary screen size, refreshed on every move; 0 until the first one, because the
    // global injector is built before any platform is installed.
    std::int32_t m_cxPrimary;
    std::int32_t m_cyPrimary;
    CBezierSmoother m_smoother;
    std::uint8_t m_bClickPending[INJECTED_PENS];
    std::uint8_t m_bDown[INJECTED_PENS];
    PEN_POINT m_ptFirstClick[INJECTED_PENS];
    PEN_POINT m_ptTouch[INJECTED_PENS];
    double m_dFilterT;
    std::int32_t m_nFilterMode;
    std::uint8_t m_bFilterFlag;
    PEN_POINT m_ptPrevSample[INJECTED_PENS];
    std::int32_t m_nMoveCount[INJECTED_PENS];
    std::int32_t m_bMoved[INJECTED_PENS];
    std::int32_t m_bDblClickSent[INJECTED_PENS];
    PEN_POINT m_ptDownNorm;
    std::int32_t m_bCompanionVisible;
    WindowHandle m_hCompanionWnd;
    PEN_AREA m_rcArea;

private:
    enum class PEN_EVENT : std::uint8_t
    {
        Sample,  // present inside the area
        Outside, // present outside the area: dropped, nothing changes
        Absent,  // not seen
    };

    // Shared by the mouse and the companion pens.
    void HandleEvent(int pen, PEN_EVENT event, const PEN_POINT& point);
    // One handler per gesture state.
    void HandleEventUp(int pen, PEN_EVENT event, const PEN_POINT& point);
    void HandleEventPressed(int pen, PEN_EVENT event, const PEN_POINT& point);
    void HandleEventDoubleClicked(int pen, PEN_EVENT event, const PEN_POINT& point);
    void HandleEventRightClicked(int pen, PEN_EVENT event, const PEN_POINT& point);

    void BeginTouch(int pen, const PEN_POINT& point);
    void TrackFirstPress(int pen, const PEN_POINT& point);
    void TrackHold(int pen, const PEN_POINT& point, bool mayRightClick);
    void EndTouch(int pen);

    void Emit(int pen, const PEN_POINT& point, std::int32_t action);
    void EmitLift(int pen);
    void PresentAt(int pen, const PEN_POINT& point);
};

// Reader thread.
extern CPenInjector g_penInjector;
