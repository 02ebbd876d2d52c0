// ParseMultiSpot and the tracker on arbitrary bytes from one or two cameras: the framing
// agrees with the literal rules, slots change only when a '6' or '7' completes, and every
// pen the tracker keeps or reports is a usable point inside monitor 0.

#include "tests/fuzz/SpotFuzzSupport.h"

#include "device/Protocol.h"

namespace
{
bool AcceptsMultiSpot(std::uint8_t type)
{
    return type >= '6' && type <= ':';
}

bool InsideMonitorZero(const PEN_POINT& point)
{
    return IsUsable(point) && point.x > 0 && point.x <= 1024 && point.y > 0 && point.y <= 768;
}

void CheckTrackerEntries()
{
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        FuzzCheck(IsExactlyEmpty(g_ptCur[k]) || InsideMonitorZero(g_ptCur[k]));
        FuzzCheck(IsExactlyEmpty(g_ptNew[k]) || InsideMonitorZero(g_ptNew[k]));
        FuzzCheck(IsExactlyEmpty(g_ptPrev[k]) || InsideMonitorZero(g_ptPrev[k]));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    (void)FuzzWorld(1.23);
    ResetSpotTracking();
    if (size == 0)
        return 0;
    // The first byte's low bit: bytes alternate between the two cameras, or all come from
    // camera 0.
    const bool twoCameras = (data[0] & 1) != 0;
    const FRAME_RULES rules{12, AcceptsMultiSpot};
    CReferenceFramer reference[2] = {CReferenceFramer(rules), CReferenceFramer(rules)};

    for (std::size_t n = 1; n < size; ++n)
    {
        const std::uint16_t camera = twoCameras ? static_cast<std::uint16_t>(n & 1) : 0;
        CAMERA_RECORD record;
        record.index = camera;
        record.rxByte = data[n];
        SPOT_SLOT slots[PEN_SLOTS];
        ParseMultiSpot(camera, record, slots);

        const FRAME_RESULT expected = reference[camera].Feed(data[n]);
        FuzzCheck(g_rxPos[camera] == reference[camera].Pos());
        const std::uint8_t type = reference[camera].Buf()[1];
        const bool frameEvent =
            expected == FRAME_RESULT::Complete &&
            (type == protocol::TYPE_NO_SPOT || type == protocol::TYPE_FIRST_SPOT);
        for (const SPOT_SLOT& slot : slots)
        {
            if (!frameEvent)
            {
                FuzzCheck(slot.state == SPOT_NO_CHANGE);
                continue;
            }
            FuzzCheck(slot.state == SPOT_ABSENT || slot.state == SPOT_PRESENT);
            if (slot.state == SPOT_PRESENT)
                FuzzCheck(InsideMonitorZero(PEN_POINT{slot.x, slot.y}));
        }
        if (expected == FRAME_RESULT::Complete && type == protocol::TYPE_NO_SPOT)
        {
            for (int k = 0; k < PEN_SLOTS; ++k)
                FuzzCheck(IsExactlyEmpty(g_ptPrev[k]) && IsExactlyEmpty(g_ptCur[k]) &&
                          IsExactlyEmpty(g_ptNew[k]));
        }
        CheckTrackerEntries();
    }
    return 0;
}
