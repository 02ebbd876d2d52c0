// ParseRawSingleSpot on arbitrary bytes, starting either clean or from whatever position and
// type byte the image decoder may have left in the shared calibration receive state.

#include "tests/fuzz/SpotFuzzSupport.h"

#include "tracking/CalReceiveState.h"

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
    ResetCalReceiveState();
    if (size < 3)
        return 0;
    // First byte even: a clean start, checked against the literal rules. Odd: the next two
    // bytes are the position and type byte left behind, and only the invariants are checked.
    const bool clean = (data[0] & 1) == 0;
    if (!clean)
    {
        g_calRxPos = static_cast<std::uint16_t>(data[1] % CAL_RX_BUFFER_SIZE);
        g_calRxBuf[1] = data[2];
    }
    CReferenceFramer reference(FRAME_RULES{7, AcceptsSingleSpot});

    for (std::size_t n = 3; n < size; ++n)
    {
        CAMERA_RECORD record;
        record.rxByte = data[n];
        const SPOT_SLOT result = ParseRawSingleSpot(record);
        FuzzCheck(g_calRxPos < 7);
        FuzzCheck(result.state >= SPOT_NO_CHANGE && result.state <= SPOT_PRESENT);
        if (result.state == SPOT_PRESENT)
            FuzzCheck(result.x > 0 && result.x < 4096 && result.y > 0 && result.y <= 480);
        if (!clean)
            continue;
        const FRAME_RESULT expected = reference.Feed(data[n]);
        FuzzCheck(g_calRxPos == reference.Pos());
        FuzzCheck((expected == FRAME_RESULT::Complete) == (result.state != SPOT_NO_CHANGE));
    }
    return 0;
}
