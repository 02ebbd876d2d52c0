#pragma once
// The spot parsers and the four-pen tracker. Every received byte of a tracked camera goes to
// ParseMultiSpot (multi-spot firmware) or ParseSingleSpot (single-spot firmware); during a
// calibration the raw parsers of calibration/ report camera points instead. All of it runs on the
// reader thread only.

#include "device/CameraRecord.h"
#include "device/SpotSlot.h"

#include <cstdint>

constexpr int PEN_SLOTS = 4;
constexpr int RX_BUFFER_SIZE = 50;

// A spot this close to a previous pen (strictly less) continues that pen: types '7' and '8'.
constexpr std::int32_t MATCH_DISTANCE_NEAR = 80;
// The same for types '9' and ':'.
constexpr std::int32_t MATCH_DISTANCE_FAR_SPOTS = 40;

// A tracker entry in screen pixels; (0, 0) stands for an empty entry.
struct PEN_POINT
{
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Exactly empty: both coordinates 0. Not usable: either coordinate 0. The tracker needs both.
constexpr bool IsExactlyEmpty(const PEN_POINT& point)
{
    return point.x == 0 && point.y == 0;
}
constexpr bool IsUsable(const PEN_POINT& point)
{
    return point.x != 0 && point.y != 0;
}

// Receive state per camera, shared by both tracking parsers.
extern std::uint8_t g_rxBuf[TRACKED_CAMERAS][RX_BUFFER_SIZE];
extern std::uint16_t g_rxPos[TRACKED_CAMERAS];

// Tracker state, one set for all cameras.
extern PEN_POINT g_ptNew[PEN_SLOTS];  // spots of this frame that continued no pen
extern PEN_POINT g_ptCur[PEN_SLOTS];  // pen slots of this frame
extern PEN_POINT g_ptPrev[PEN_SLOTS]; // pen slots of the previous frame, as last reported

// Where the frame the tracker collects stands. A frame is reported once: by the '7' after it,
// or, as soon as the link goes quiet after its packets, by CloseMultiSpotFrame.
enum class FRAME_STAGE : std::uint8_t
{
    Unstarted, // no '7' began it (start, or after a '6'): only the next '7' reports it
    Open,      // a '7' began it and it was not reported yet
    Reported,  // reported on a quiet link; the next '7' begins the next frame without a report
    Amended,   // a packet of it came after it was reported: its next close reports what changed
};

struct FRAME_CLOSE
{
    FRAME_STAGE stage = FRAME_STAGE::Unstarted;
    // The tracker as the last close found it, for a packet of the frame that comes after.
    PEN_POINT ptPrev[PEN_SLOTS];
    PEN_POINT ptCur[PEN_SLOTS];
    PEN_POINT ptNew[PEN_SLOTS];
    // The slots the frame's reports have shown.
    SPOT_SLOT shown[PEN_SLOTS];
};
extern FRAME_CLOSE g_frameClose;

// Monitor area the pointer and the tracked pens are confined to: a camera number, so always
// inside the monitor table. Reader thread.
extern std::uint16_t g_nActiveMonitor;

// Integer distance of two points: the square root of the sum of squares, truncated. Far-apart
// points cannot overflow: a distance beyond the 32-bit range is held at its end.
std::int32_t PenDistance(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);

// Multi-spot form. Writes all four slots when a '6' packet completes, and when a '7' completes
// that closes a frame not reported yet (the '7' reports the frame it closes; one amended after
// its report gives only what changed); leaves them untouched for every other byte. A spot whose
// point cannot be mapped is lost like a spot outside the active monitor.
void ParseMultiSpot(std::uint16_t camera, CAMERA_RECORD record, SPOT_SLOT* slots);

// Multi-spot form, the link quiet after a packet's last byte: reports the frame at once (all
// four slots) when a '7' began it and every pen of the frame before has its spot in it, so
// that the '7' after it only begins the next frame. A frame that lacks a pen waits for that
// '7': its spot may only be late. A packet of a reported frame that comes after the close
// amends it, and the next close or '7' reports the slots that changed; a late spot that would
// lift a pen the report showed, or move it by the matching distance or more, is lost instead.
// Unlike the '7', this also reports a frame that a '6' then follows: a pen's last position
// before it lifts. Leaves the slots untouched when there is nothing to report.
void CloseMultiSpotFrame(std::uint16_t camera, SPOT_SLOT* slots);

// Single-spot form: present with a screen point when a packet completes with a spot, absent
// when it completes without one, no change for every other byte. A spot whose point cannot
// be mapped (no model yet) also gives no change: the pen neither moves nor lifts.
SPOT_SLOT ParseSingleSpot(std::uint16_t camera, CAMERA_RECORD record);

// Forgets every pen the tracker follows, as a '6' packet does, without reporting anything.
void ForgetTrackedPens();

// Forgets every packet in progress and every pen, and makes monitor 0 active. For tests and
// tools; the driver itself keeps this state for its whole run.
void ResetSpotTracking();
