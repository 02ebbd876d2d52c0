#include "calibration/RawSpotParser.h"

#include "device/CalReceiveState.h"
#include "device/SpotPacket.h"

using namespace spot_packet;

SPOT_SLOT ParseRawSingleSpot(CAMERA_RECORD record)
{
    if (FrameByte(g_calRxBuf, g_calRxPos, ByteOf(record), SINGLE_SPOT_RULES) !=
        FRAME_RESULT::Complete)
        return SPOT_SLOT{};
    const SINGLE_SPOT spot = DecodeSingleSpot(g_calRxBuf);
    if (spot.x == 0 || spot.y == 0)
        return SPOT_SLOT{0, 0, SPOT_ABSENT};
    return SPOT_SLOT{spot.x, spot.y, SPOT_PRESENT};
}

SPOT_SLOT ParseRawMultiSpot(CAMERA_RECORD record)
{
    if (FrameByte(g_calRxBuf, g_calRxPos, ByteOf(record), FRAME_START_RULES) !=
        FRAME_RESULT::Complete)
        return SPOT_SLOT{};
    std::int32_t x = 0;
    std::int32_t y = 0;
    if (!DecodeMultiSpot(g_calRxBuf, x, y) || x == 0 || y == 0)
        return SPOT_SLOT{0, 0, SPOT_ABSENT};
    return SPOT_SLOT{x, y, SPOT_PRESENT};
}
