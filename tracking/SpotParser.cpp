#include "tracking/SpotParser.h"

#include "calibration/CalibratedMapping.h"
#include "device/DeviceGlobals.h"
#include "device/Protocol.h"
#include "device/ScreenAreas.h"
#include "device/SpotPacket.h"

#include <cmath>
#include <cstring>
#include <limits>

std::uint8_t g_rxBuf[TRACKED_CAMERAS][RX_BUFFER_SIZE] = {};
std::uint16_t g_rxPos[TRACKED_CAMERAS] = {};
PEN_POINT g_ptNew[PEN_SLOTS] = {};
PEN_POINT g_ptCur[PEN_SLOTS] = {};
PEN_POINT g_ptPrev[PEN_SLOTS] = {};
std::uint16_t g_nActiveMonitor = 0;
FRAME_CLOSE g_frameClose;

using namespace spot_packet;

namespace
{
bool InActiveArea(const PEN_POINT& point)
{
    const MONITOR_AREA* areas = g_pMonitorAreas.load(std::memory_order_relaxed);
    if (areas == nullptr)
        return false;
    return CScreenAreas::Contains(areas[g_nActiveMonitor], point.x, point.y);
}

void ClearPoints(PEN_POINT* points)
{
    for (int k = 0; k < PEN_SLOTS; ++k)
        points[k] = PEN_POINT{};
}

// The four slots the frame step reports for the tracker as it stands, and the tracker's slots
// with the new pens placed; the tracker itself is left as it is.
void StepResult(SPOT_SLOT* slots, PEN_POINT* cur)
{
    bool lost[PEN_SLOTS];
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        lost[k] = IsUsable(g_ptPrev[k]) && IsExactlyEmpty(g_ptCur[k]);
        cur[k] = g_ptCur[k];
    }

    int next = 0;
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        if (IsExactlyEmpty(cur[k]))
            cur[k] = g_ptNew[next++];
    }

    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        if (!IsUsable(cur[k]) || lost[k])
            slots[k] = SPOT_SLOT{0, 0, SPOT_ABSENT};
        else
            slots[k] = SPOT_SLOT{cur[k].x, cur[k].y, SPOT_PRESENT};
    }
}

// Reports the frame the tracker holds and moves on to the next one.
void FrameStep(SPOT_SLOT* slots)
{
    PEN_POINT cur[PEN_SLOTS];
    StepResult(slots, cur);
    for (int k = 0; k < PEN_SLOTS; ++k)
        g_ptPrev[k] = cur[k];
    ClearPoints(g_ptCur);
    ClearPoints(g_ptNew);
}

// Where a spot that continued no previous pen goes, by packet type.
void PlaceNewSpot(std::uint8_t type, const PEN_POINT& point)
{
    // The last candidate entry is taken whatever it holds.
    int candidates = 0;
    switch (type)
    {
    case protocol::TYPE_FIRST_SPOT:
        candidates = 1;
        break;
    case protocol::TYPE_SECOND_SPOT:
        candidates = 2;
        break;
    case protocol::TYPE_THIRD_SPOT:
        candidates = 3;
        break;
    case protocol::TYPE_FOURTH_SPOT:
        candidates = 4;
        break;
    default:
        return;
    }
    for (int k = 0; k + 1 < candidates; ++k)
    {
        if (IsExactlyEmpty(g_ptNew[k]))
        {
            g_ptNew[k] = point;
            return;
        }
    }
    g_ptNew[candidates - 1] = point;
}

void MatchSpot(std::uint8_t type, const PEN_POINT& point)
{
    if (!IsUsable(point) || !InActiveArea(point))
        return;
    const std::int32_t threshold =
        type == protocol::TYPE_THIRD_SPOT || type == protocol::TYPE_FOURTH_SPOT
            ? MATCH_DISTANCE_FAR_SPOTS
            : MATCH_DISTANCE_NEAR;
    // Empty slots take part on purpose: a spot this close to (0, 0) continues one.
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        if (PenDistance(g_ptPrev[k].x, g_ptPrev[k].y, point.x, point.y) < threshold)
        {
            g_ptCur[k] = point;
            return;
        }
    }
    PlaceNewSpot(type, point);
}

bool SameSlot(const SPOT_SLOT& a, const SPOT_SLOT& b)
{
    return a.state == b.state && (a.state != SPOT_PRESENT || (a.x == b.x && a.y == b.y));
}

// Reports the frame and remembers the tracker as it was before, for a late packet of it. A
// frame reported before reports only the slots that changed since.
void CloseFrame(SPOT_SLOT* slots)
{
    FRAME_CLOSE& close = g_frameClose;
    const bool amending = close.stage == FRAME_STAGE::Amended;
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        close.ptPrev[k] = g_ptPrev[k];
        close.ptCur[k] = g_ptCur[k];
        close.ptNew[k] = g_ptNew[k];
    }
    SPOT_SLOT result[PEN_SLOTS];
    FrameStep(result);
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        slots[k] = amending && SameSlot(result[k], close.shown[k]) ? SPOT_SLOT{} : result[k];
        close.shown[k] = result[k];
    }
}

// A spot of a frame already reported. The frame takes it as the '7' after it would have, unless
// that would take away or move by the matching distance a pen the report showed: then the
// spot is lost, as a broken packet's would be.
void MatchLateSpot(std::uint8_t type, const PEN_POINT& point)
{
    FRAME_CLOSE& close = g_frameClose;
    if (close.stage == FRAME_STAGE::Reported)
    {
        for (int k = 0; k < PEN_SLOTS; ++k)
        {
            g_ptPrev[k] = close.ptPrev[k];
            g_ptCur[k] = close.ptCur[k];
            g_ptNew[k] = close.ptNew[k];
        }
        close.stage = FRAME_STAGE::Amended;
    }
    PEN_POINT cur[PEN_SLOTS];
    PEN_POINT fresh[PEN_SLOTS];
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        cur[k] = g_ptCur[k];
        fresh[k] = g_ptNew[k];
    }
    MatchSpot(type, point);
    SPOT_SLOT result[PEN_SLOTS];
    PEN_POINT placed[PEN_SLOTS];
    StepResult(result, placed);
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        const SPOT_SLOT& shown = close.shown[k];
        if (shown.state != SPOT_PRESENT)
            continue;
        if (result[k].state != SPOT_PRESENT ||
            PenDistance(shown.x, shown.y, result[k].x, result[k].y) >= MATCH_DISTANCE_NEAR)
        {
            for (int n = 0; n < PEN_SLOTS; ++n)
            {
                g_ptCur[n] = cur[n];
                g_ptNew[n] = fresh[n];
            }
            return;
        }
    }
}

void HandleMultiSpotPacket(std::uint16_t camera, const std::uint8_t* buf, SPOT_SLOT* slots)
{
    FRAME_CLOSE& close = g_frameClose;
    const std::uint8_t type = buf[1];
    if (type == protocol::TYPE_NO_SPOT)
    {
        ForgetTrackedPens();
        for (int k = 0; k < PEN_SLOTS; ++k)
            slots[k] = SPOT_SLOT{0, 0, SPOT_ABSENT};
        return;
    }
    const bool late = close.stage == FRAME_STAGE::Reported || close.stage == FRAME_STAGE::Amended;
    if (type == protocol::TYPE_FIRST_SPOT)
    {
        // A frame reported on a quiet link and not amended since is not reported again.
        if (close.stage == FRAME_STAGE::Amended)
            CloseFrame(slots);
        else if (close.stage != FRAME_STAGE::Reported)
            FrameStep(slots);
        close.stage = FRAME_STAGE::Open;
    }

    std::int32_t cameraX = 0;
    std::int32_t cameraY = 0;
    if (!DecodeMultiSpot(buf, cameraX, cameraY))
        return;
    PEN_POINT screen;
    if (!MapCameraPoint(camera, cameraX, cameraY, screen.x, screen.y))
        return;
    if (late && type != protocol::TYPE_FIRST_SPOT)
        MatchLateSpot(type, screen);
    else
        MatchSpot(type, screen);
}
} // namespace

std::int32_t PenDistance(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2)
{
    // The differences fit 64 bits; their squares may not, but are exact as doubles up to
    // 2^53, far beyond any screen.
    const double dx = static_cast<double>(std::int64_t{x1} - x2);
    const double dy = static_cast<double>(std::int64_t{y1} - y2);
    const double distance = std::sqrt(dx * dx + dy * dy);
    if (distance >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(distance);
}

void ParseMultiSpot(std::uint16_t camera, CAMERA_RECORD record, SPOT_SLOT* slots)
{
    if (camera >= TRACKED_CAMERAS)
        return;
    if (FrameByte(g_rxBuf[camera], g_rxPos[camera], ByteOf(record), MULTI_SPOT_RULES) !=
        FRAME_RESULT::Complete)
        return;
    HandleMultiSpotPacket(camera, g_rxBuf[camera], slots);
}

SPOT_SLOT ParseSingleSpot(std::uint16_t camera, CAMERA_RECORD record)
{
    if (camera >= TRACKED_CAMERAS)
        return SPOT_SLOT{};
    if (FrameByte(g_rxBuf[camera], g_rxPos[camera], ByteOf(record), SINGLE_SPOT_RULES) !=
        FRAME_RESULT::Complete)
        return SPOT_SLOT{};
    const SINGLE_SPOT spot = DecodeSingleSpot(g_rxBuf[camera]);
    if (spot.x == 0 || spot.y == 0)
        return SPOT_SLOT{0, 0, SPOT_ABSENT};
    SPOT_SLOT result{0, 0, SPOT_PRESENT};
    if (!MapCameraPoint(camera, spot.x, spot.y, result.x, result.y))
        return SPOT_SLOT{};
    return result;
}

void CloseMultiSpotFrame(std::uint16_t camera, SPOT_SLOT* slots)
{
    if (camera >= TRACKED_CAMERAS || g_rxPos[camera] != 0)
        return;
    switch (g_frameClose.stage)
    {
    case FRAME_STAGE::Open:
        // A frame that lacks a pen of the frame before may still be waiting for its spot:
        // reporting it now would lift that pen. The '7' after it reports it.
        for (int k = 0; k < PEN_SLOTS; ++k)
        {
            if (IsUsable(g_ptPrev[k]) && IsExactlyEmpty(g_ptCur[k]))
                return;
        }
        CloseFrame(slots);
        g_frameClose.stage = FRAME_STAGE::Reported;
        return;
    case FRAME_STAGE::Amended:
        CloseFrame(slots);
        g_frameClose.stage = FRAME_STAGE::Reported;
        return;
    case FRAME_STAGE::Unstarted:
    case FRAME_STAGE::Reported:
        return;
    }
}

void ForgetTrackedPens()
{
    ClearPoints(g_ptNew);
    ClearPoints(g_ptCur);
    ClearPoints(g_ptPrev);
    g_frameClose = FRAME_CLOSE{};
}

void ResetSpotTracking()
{
    std::memset(g_rxBuf, 0, sizeof g_rxBuf);
    std::memset(g_rxPos, 0, sizeof g_rxPos);
    ForgetTrackedPens();
    g_nActiveMonitor = 0;
}
