#include "tracking/PenInjector.h"

#include "device/StageTiming.h"

#include <algorithm>
#include <cmath>
#include <limits>

CPenInjector g_penInjector;

namespace
{
enum class GESTURE : std::uint8_t
{
    Up,
    Pressed,
    DoubleClicked,
    RightClicked,
};

// The last action is the gesture state; anything but the three touch actions means that no
// touch is in progress.
GESTURE GestureOf(std::int32_t lastAction)
{
    switch (lastAction)
    {
    case PEN_DOWN:
        return GESTURE::Pressed;
    case PEN_DBLCLICK:
        return GESTURE::DoubleClicked;
    case PEN_RIGHTCLICK:
        return GESTURE::RightClicked;
    case PEN_MOVE:
    case PEN_UP:
    case PEN_CLICK:
        return GESTURE::Up;
    }
    return GESTURE::Up;
}

std::uint32_t MouseFlagsOf(std::int32_t action)
{
    switch (action)
    {
    case PEN_MOVE:
        return MOUSE_ABSOLUTE | MOUSE_MOVE;
    case PEN_RIGHTCLICK:
        return MOUSE_ABSOLUTE | MOUSE_MOVE | MOUSE_RIGHTDOWN | MOUSE_RIGHTUP;
    case PEN_DOWN:
        return MOUSE_ABSOLUTE | MOUSE_MOVE | MOUSE_LEFTDOWN;
    case PEN_UP:
        return MOUSE_ABSOLUTE | MOUSE_LEFTUP;
    case PEN_DBLCLICK:
        return MOUSE_ABSOLUTE | MOUSE_MOVE | MOUSE_LEFTDOWN | MOUSE_LEFTUP;
    case PEN_CLICK:
        return MOUSE_ABSOLUTE | MOUSE_LEFTDOWN | MOUSE_LEFTUP;
    }
    return 0;
}

// Truncation toward zero; a value beyond the 32-bit range (a point far off the display) is
// held at its end rather than converted with undefined result.
std::int32_t TruncateCoordinate(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

// An absolute mouse coordinate for a pixel of a display `size` pixels wide: ceil(position *
// 65536 / size). The system maps it back as (d * size) >> 16, which gives the pixel itself for
// every position; the scale of 65535 with truncation lands one pixel short on almost every
// one. Not clamped: a pixel of a monitor beside the primary one gives a value beyond
// 0..65535, which is how the pointer reaches that monitor.
std::int32_t NormaliseAbsolute(std::int64_t position, std::int64_t size)
{
    const std::int64_t scaled = position * 65536;
    std::int64_t value = scaled / size;
    if (scaled % size > 0)
        ++value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

bool InArea(const PEN_AREA& area, const PEN_POINT& point)
{
    return area.left < point.x && point.x <= area.right && area.top < point.y &&
           point.y <= area.bottom;
}

bool SamePoint(const PEN_POINT& a, const PEN_POINT& b)
{
    return a.x == b.x && a.y == b.y;
}

std::uint32_t CompanionMessageOf(int pen)
{
    return WM_COMPANION_PEN1 + static_cast<std::uint32_t>(pen - 1);
}

bool IsCompanionPen(int pen)
{
    return pen >= 1 && pen < INJECTED_PENS;
}
} // namespace

std::uintptr_t PackCompanionPosition(std::int32_t x, std::int32_t y)
{
    const std::uint32_t packed =
        (static_cast<std::uint32_t>(x) << 16) | (static_cast<std::uint32_t>(y) & 0xFFFFu);
    return packed;
}

std::uintptr_t PackCompanionLift(std::int32_t x, std::int32_t y)
{
    const std::uint32_t packed =
        (static_cast<std::uint32_t>(x) << 16) | static_cast<std::uint32_t>(y);
    return packed;
}

CPenInjector::CPenInjector()
{
    Reset();
}

void CPenInjector::Reset()
{
    for (int p = 0; p < INJECTED_PENS; ++p)
    {
        m_nTouchCount[p] = 0;
        m_nHoldCount[p] = 0;
        m_nUpCount[p] = 0;
        m_ptLast[p] = PEN_POINT{};
        m_nClickCount[p] = 0;
        m_bClickPending[p] = 0;
        m_bDown[p] = 0;
        m_ptFirstClick[p] = PEN_POINT{};
        m_ptTouch[p] = PEN_POINT{};
        m_ptPrevSample[p] = PEN_POINT{};
        m_nMoveCount[p] = 0;
        m_bMoved[p] = 0;
        m_bDblClickSent[p] = 0;
    }
    for (std::int32_t& action : m_nLastAction)
        action = PEN_UP;
    m_cxPrimary = 0;
    m_cyPrimary = 0;
    m_smoother.Reset();
    m_dFilterT = 0.85;
    m_nFilterMode = FILTER_SMOOTHED;
    m_bFilterFlag = 1;
    m_ptDownNorm = PEN_POINT{};
    m_bCompanionVisible = 0;
    m_hCompanionWnd = 0;
    m_rcArea = PEN_AREA{};
}

void CPenInjector::SetArea(std::int32_t left, std::int32_t top, std::int32_t right,
                           std::int32_t bottom)
{
    m_rcArea = PEN_AREA{left, top, right, bottom};
}

void CPenInjector::SetFilter(std::int32_t mode, double t, std::uint8_t flag)
{
    m_nFilterMode = mode;
    m_dFilterT = t;
    m_bFilterFlag = flag;
}

bool CPenInjector::PointerMove(std::int32_t x, std::int32_t y)
{
    m_cxPrimary = Platform().GetSystemMetric(METRIC_CXSCREEN);
    m_cyPrimary = Platform().GetSystemMetric(METRIC_CYSCREEN);
    PEN_POINT position{x, y};
    if (m_nFilterMode == FILTER_SMOOTHED)
    {
        m_smoother.AddSample(SMOOTH_POINT{double(x), double(y)}, m_bFilterFlag);
        const SMOOTH_POINT smoothed = m_smoother.Evaluate(m_dFilterT);
        position = PEN_POINT{TruncateCoordinate(smoothed.x), TruncateCoordinate(smoothed.y)};
    }
    PresentAt(0, position);
    return true;
}

bool CPenInjector::PointerUp()
{
    m_smoother.Reset();
    HandleEvent(0, PEN_EVENT::Absent, m_ptLast[0]);
    return true;
}

bool CPenInjector::CompanionPenMove(int pen, std::int32_t x, std::int32_t y)
{
    if (!IsCompanionPen(pen))
        return true;
    m_cxPrimary = Platform().GetSystemMetric(METRIC_CXSCREEN);
    m_cyPrimary = Platform().GetSystemMetric(METRIC_CYSCREEN);
    PresentAt(pen, PEN_POINT{x, y});
    return true;
}

bool CPenInjector::CompanionPenUp(int pen)
{
    if (!IsCompanionPen(pen))
        return true;
    HandleEvent(pen, PEN_EVENT::Absent, m_ptLast[pen]);
    return true;
}

void CPenInjector::ReleasePen(int pen)
{
    if (pen < 0 || pen >= INJECTED_PENS)
        return;
    if (m_bDown[pen] == 1 || GestureOf(m_nLastAction[pen]) != GESTURE::Up)
    {
        if (pen == 0)
            m_smoother.Reset();
        HandleEvent(pen, PEN_EVENT::Absent, m_ptLast[pen]);
    }
    m_nClickCount[pen] = 0;
    m_bClickPending[pen] = 0;
    m_nUpCount[pen] = 0;
}

void CPenInjector::PresentAt(int pen, const PEN_POINT& point)
{
    m_ptLast[pen] = point;
    HandleEvent(pen, InArea(m_rcArea, point) ? PEN_EVENT::Sample : PEN_EVENT::Outside, point);
}

// Every sample inside the area counts toward the touch and ends with a move; every absence
// ends the touch. What happens in between depends on the gesture state.
void CPenInjector::HandleEvent(int pen, PEN_EVENT event, const PEN_POINT& point)
{
    if (event == PEN_EVENT::Sample)
        ++m_nTouchCount[pen];
    if (event == PEN_EVENT::Absent)
    {
        m_nMoveCount[pen] = 0;
        m_nTouchCount[pen] = 0;
        m_nHoldCount[pen] = 0;
    }

    switch (GestureOf(m_nLastAction[pen]))
    {
    case GESTURE::Up:
        HandleEventUp(pen, event, point);
        break;
    case GESTURE::Pressed:
        HandleEventPressed(pen, event, point);
        break;
    case GESTURE::DoubleClicked:
        HandleEventDoubleClicked(pen, event, point);
        break;
    case GESTURE::RightClicked:
        HandleEventRightClicked(pen, event, point);
        break;
    }

    if (event == PEN_EVENT::Sample)
        Emit(pen, point, PEN_MOVE);
}

void CPenInjector::HandleEventUp(int pen, PEN_EVENT event, const PEN_POINT& point)
{
    switch (event)
    {
    case PEN_EVENT::Sample:
        BeginTouch(pen, point);
        if (m_nLastAction[pen] == PEN_DOWN)
            TrackFirstPress(pen, point);
        TrackHold(pen, point, true);
        break;
    case PEN_EVENT::Outside:
        break;
    case PEN_EVENT::Absent:
        EndTouch(pen);
        break;
    }
}

void CPenInjector::HandleEventPressed(int pen, PEN_EVENT event, const PEN_POINT& point)
{
    switch (event)
    {
    case PEN_EVENT::Sample:
        TrackFirstPress(pen, point);
        TrackHold(pen, point, true);
        break;
    case PEN_EVENT::Outside:
        break;
    case PEN_EVENT::Absent:
        EndTouch(pen);
        break;
    }
}

void CPenInjector::HandleEventDoubleClicked(int pen, PEN_EVENT event, const PEN_POINT& point)
{
    switch (event)
    {
    case PEN_EVENT::Sample:
        TrackHold(pen, point, true);
        break;
    case PEN_EVENT::Outside:
        break;
    case PEN_EVENT::Absent:
        EndTouch(pen);
        break;
    }
}

void CPenInjector::HandleEventRightClicked(int pen, PEN_EVENT event, const PEN_POINT& point)
{
    switch (event)
    {
    case PEN_EVENT::Sample:
        // One right click per touch: the hold goes on being counted, nothing more is sent.
        TrackHold(pen, point, false);
        break;
    case PEN_EVENT::Outside:
        break;
    case PEN_EVENT::Absent:
        EndTouch(pen);
        m_ptTouch[pen] = PEN_POINT{};
        break;
    }
}

// First sample of a touch: a double click when it completes one, otherwise a press.
void CPenInjector::BeginTouch(int pen, const PEN_POINT& point)
{
    ++m_nClickCount[pen];
    if (m_nClickCount[pen] == 2 &&
        PenDistance(m_ptFirstClick[pen].x, m_ptFirstClick[pen].y, point.x, point.y) <
            DOUBLE_CLICK_DISTANCE &&
        m_bMoved[pen] != 1 && m_bCompanionVisible == 0)
    {
        Emit(pen, point, PEN_DBLCLICK);
        m_nLastAction[pen] = PEN_DBLCLICK;
        m_nClickCount[pen] = 0;
        m_nUpCount[pen] = 0;
        m_bDown[pen] = 1;
        m_bClickPending[pen] = 0;
        return;
    }
    Emit(pen, point, PEN_DOWN);
    m_nLastAction[pen] = PEN_DOWN;
    m_bDown[pen] = 1;
    m_bClickPending[pen] = 1;
    if (m_nClickCount[pen] == 1)
    {
        m_ptFirstClick[pen] = point;
        m_ptPrevSample[pen] = point;
    }
    m_ptTouch[pen] = point;
}

// While the first press of a possible double click is held, too many position changes rule
// the double click out.
void CPenInjector::TrackFirstPress(int pen, const PEN_POINT& point)
{
    if (m_nClickCount[pen] != 1)
        return;
    if (!SamePoint(point, m_ptPrevSample[pen]))
        ++m_nMoveCount[pen];
    m_ptPrevSample[pen] = point;
    m_bMoved[pen] = m_nMoveCount[pen] > FIRST_PRESS_MAX_MOVES ? 1 : 0;
}

void CPenInjector::TrackHold(int pen, const PEN_POINT& point, bool mayRightClick)
{
    const bool holding =
        PenDistance(m_ptTouch[pen].x, m_ptTouch[pen].y, point.x, point.y) < HOLD_RADIUS &&
        m_nTouchCount[pen] > HOLD_AFTER_TOUCHES;
    if (!holding)
    {
        m_nHoldCount[pen] = 0;
        return;
    }
    if (mayRightClick && m_nHoldCount[pen] > RIGHT_CLICK_HOLD)
    {
        Emit(pen, point, PEN_UP);
        Emit(pen, point, PEN_RIGHTCLICK);
        m_nHoldCount[pen] = 0;
        m_nTouchCount[pen] = 0;
        m_nClickCount[pen] = 0;
        m_nUpCount[pen] = 0;
        m_bClickPending[pen] = 0;
        m_nLastAction[pen] = PEN_RIGHTCLICK;
    }
    ++m_nHoldCount[pen];
}

// Releases the button if the touch holds it, and counts the absence against the
// double-click window.
void CPenInjector::EndTouch(int pen)
{
    if (m_bDown[pen] == 1)
    {
        if (m_bDblClickSent[pen] != 1)
            EmitLift(pen);
        m_bDblClickSent[pen] = 0;
        m_bDown[pen] = 0;
    }
    if (m_bClickPending[pen] == 1)
    {
        ++m_nUpCount[pen];
        if (m_nUpCount[pen] > DOUBLE_CLICK_WINDOW)
        {
            m_nClickCount[pen] = 0;
            m_bClickPending[pen] = 0;
            m_nUpCount[pen] = 0;
        }
    }
    m_nLastAction[pen] = PEN_UP;
}

void CPenInjector::Emit(int pen, const PEN_POINT& point, std::int32_t action)
{
    if (pen == 0)
    {
        SendMouse(point.x, m_cyPrimary - point.y, action);
        return;
    }
    Platform().PostWindowMessage(m_hCompanionWnd, CompanionMessageOf(pen),
                                 PackCompanionPosition(point.x, point.y), action);
}

void CPenInjector::EmitLift(int pen)
{
    const PEN_POINT& last = m_ptLast[pen];
    if (pen == 0)
    {
        SendMouse(last.x, m_cyPrimary - last.y, PEN_UP);
        return;
    }
    Platform().PostWindowMessage(m_hCompanionWnd, CompanionMessageOf(pen),
                                 PackCompanionLift(last.x, last.y), PEN_UP);
}

void CPenInjector::SendMouse(std::int32_t x, std::int32_t yFromBottom, std::int32_t action)
{
    const std::uint32_t flags = MouseFlagsOf(action);
    if (flags == 0)
        return;
    int width = 0;
    int height = 0;
    if (!Platform().GetCurrentDisplayMode(width, height) || width <= 0 || height <= 0)
        return;

    MOUSE_RECORD record;
    record.dx = NormaliseAbsolute(x, width);
    record.dy = NormaliseAbsolute(std::int64_t(height) - yFromBottom, height);
    record.mouseData = 0;
    record.time = 0;
    record.flags = flags;
    record.extraInfo = PEN_EXTRA_INFO;

    if (action == PEN_DBLCLICK)
    {
        record.dx = m_ptDownNorm.x;
        record.dy = m_ptDownNorm.y;
    }
    StageTiming().MarkEvent();
    Platform().SendMouseInput(record);
    StageTiming().MarkSent();
    if (action == PEN_DOWN)
        m_ptDownNorm = PEN_POINT{record.dx, record.dy};
    if (action == PEN_DBLCLICK)
        m_bDblClickSent[0] = 1;
}
