// ParseRawMultiSpot on arbitrary bytes, starting either clean or from whatever position and
// type byte the image decoder may have left in the shared calibration receive state.

#include "tests/fuzz/SpotFuzzSupport.h"

#include "tracking/CalReceiveState.h"

namespace
{
bool AcceptsFrameStart(std::uint8_t type)
{
    return type == '6' || type == '7';
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)FuzzWorld(1.23);
    ResetCalReceiveState();
    if (size < 3)
        return 0;
    const bool clean = (data[0] & 1) == 0;
    if (!clean)
    {
        g_calRxPos = static_cast<std::uint16_t>(data[1] % CAL_RX_BUFFER_SIZE);
        g_calRxBuf[1] = data[2];
    }
    CReferenceFramer reference(FRAME_RULES{12, AcceptsFrameStart});

    for (std::size_t n = 3; n < size; ++n)
    {
        CAMERA_RECORD record;
        record.rxByte = data[n];
        const SPOT_SLOT result = ParseRawMultiSpot(record);
        FuzzCheck(g_calRxPos < 12);
        FuzzCheck(result.state >= SPOT_NO_CHANGE && result.state <= SPOT_PRESENT);
        if (result.state == SPOT_PRESENT)
            FuzzCheck(result.x > 0 && result.y > 0);
        if (!clean)
            continue;
        const FRAME_RESULT expected = reference.Feed(data[n]);
        FuzzCheck(g_calRxPos == reference.Pos());
        FuzzCheck((expected == FRAME_RESULT::Complete) == (result.state != SPOT_NO_CHANGE));
        if (expected != FRAME_RESULT::Complete)
            continue;
        const std::uint8_t* buf = reference.Buf();
        const std::uint32_t c = Decode24(buf + 8);
        const std::uint32_t x = c != 0 ? Decode24(buf + 2) / c : 0;
        const std::uint32_t y = c != 0 ? Decode24(buf + 5) / c : 0;
        if (x == 0 || y == 0)
            FuzzCheck(result.state == SPOT_ABSENT);
        else
            FuzzCheck(result.state == SPOT_PRESENT && std::uint32_t(result.x) == x &&
                      std::uint32_t(result.y) == y);
    }
    return 0;
}
