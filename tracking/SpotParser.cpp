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

// Reports the frame that a '7' closes and moves on to the next one.
void FrameStep(SPOT_SLOT* slots)
{
    bool lost[PEN_SLOTS];
    for (int k = 0; k < PEN_SLOTS; ++k)
        lost[k] = IsUsable(g_ptPrev[k]) && IsExactlyEmpty(g_ptCur[k]);

    int next = 0;
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        if (IsExactlyEmpty(g_ptCur[k]))
            g_ptCur[k] = g_ptNew[next++];
    }

    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        if (!IsUsable(g_ptCur[k]) || lost[k])
            slots[k] = SPOT_SLOT{0, 0, SPOT_ABSENT};
        else
            slots[k] = SPOT_SLOT{g_ptCur[k].x, g_ptCur[k].y, SPOT_PRESENT};
    }

    for (int k = 0; k < PEN_SLOTS; ++k)
        g_ptPrev[k] = g_ptCur[k];
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

void HandleMultiSpotPacket(std::uint16_t camera, const std::uint8_t* buf, SPOT_SLOT* slots)
{
    const std::uint8_t type = buf[1];
    if (type == protocol::TYPE_NO_SPOT)
    {
        ForgetTrackedPens();
        for (int k = 0; k < PEN_SLOTS; ++k)
            slots[k] = SPOT_SLOT{0, 0, SPOT_ABSENT};
        return;
    }
    if (type == protocol::TYPE_FIRST_SPOT)
        FrameStep(slots);

    std::int32_t cameraX = 0;
    std::int32_t cameraY = 0;
    if (!DecodeMultiSpot(buf, cameraX, cameraY))
        return;
    PEN_POINT screen;
    if (!MapCameraPoint(camera, cameraX, cameraY, screen.x, screen.y))
        return;
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

void ForgetTrackedPens()
{
    ClearPoints(g_ptNew);
    ClearPoints(g_ptCur);
    ClearPoints(g_ptPrev);
}

void ResetSpotTracking()
{
    std::memset(g_rxBuf, 0, sizeof g_rxBuf);
    std::memset(g_rxPos, 0, sizeof g_rxPos);
    ForgetTrackedPens();
    g_nActiveMonitor = 0;
}
