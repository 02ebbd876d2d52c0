// ParseSingleSpot on arbitrary bytes from one or two cameras, against the literal framing
// and decoding rules and the straight-through calibration of the fuzz world.

#include "tests/fuzz/SpotFuzzSupport.h"

namespace
{
bool AcceptsSingleSpot(std::uint8_t type)
{
    return type == '1' || type == '2';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)FuzzWorld(1.10);
    ResetSpotTracking();
    if (size == 0)
        return 0;
    const bool twoCameras = (data[0] & 1) != 0;
    const FRAME_RULES rules{7, AcceptsSingleSpot};
    CReferenceFramer reference[2] = {CReferenceFramer(rules), CReferenceFramer(rules)};

    for (std::size_t n = 1; n < size; ++n)
    {
        const std::uint16_t camera = twoCameras ? static_cast<std::uint16_t>(n & 1) : 0;
        CAMERA_RECORD record;
        record.rxByte = data[n];
        const SPOT_SLOT result = ParseSingleSpot(camera, record);

        const FRAME_RESULT expected = reference[camera].Feed(data[n]);
        FuzzCheck(g_rxPos[camera] == reference[camera].Pos());
        if (expected != FRAME_RESULT::Complete)
        {
            FuzzCheck(result.state == SPOT_NO_CHANGE);
            continue;
        }
        const std::uint8_t* buf = reference[camera].Buf();
        const int x = buf[3] * 16 + (buf[4] >> 4);
        int y = (buf[4] & 0x0F) * 256 + buf[5];
        if (y > 480)
            y = 0;
        if (x == 0 || y == 0)
        {
            FuzzCheck(result.state == SPOT_ABSENT);
            continue;
        }
        FuzzCheck(result.state == SPOT_PRESENT);
        FuzzCheck(result.x == x + (camera == 1 ? 1024 : 0));
        FuzzCheck(result.y == y);
    }
    return 0;
}
