// The four spot parsers on arbitrary bytes, against the framing written out literally and the
// straight-through calibrations of the fuzz world.
//
// Byte 0 chooses: bits 0..1 the parser (0 multi-spot with the tracker, 1 single-spot, 2 raw
// multi-spot, 3 raw single-spot); bit 2 for the tracking parsers: bytes alternate between the
// two cameras, for the raw parsers: start from the position (byte 1) and type byte (byte 2)
// the image decoder may have left in the shared calibration receive state; for the single-spot
// parser bit 3: no model is selected; for the multi-spot tracker bit 3: the link goes quiet after
// every '&' that an odd byte follows, bit 4 (one camera): the link goes quiet right before every
// packet that begins a frame, and the reports must be those of the tracker that reports a frame on
// the next '7'. The raw parsers' stream starts at byte 3, the others' at byte 1.

#include "calibration/RawSpotParser.h"
#include "tests/fuzz/SpotFuzzSupport.h"
#include "tests/support/NextSevenTracker.h"

#include "device/CalReceiveState.h"
#include "device/Protocol.h"

#include <algorithm>

namespace
{
constexpr FRAME_RULES MULTI_SPOT{12, [](std::uint8_t type) { return type >= '6' && type <= ':'; }};
constexpr FRAME_RULES SINGLE_SPOT{7, [](std::uint8_t type) { return type == '1' || type == '2'; }};
constexpr FRAME_RULES FRAME_START{12, [](std::uint8_t type) { return type == '6' || type == '7'; }};

bool InsideMonitorZero(const PEN_POINT& point)
{
    return IsUsable(point) && point.x > 0 && point.x <= 1024 && point.y > 0 && point.y <= 768;
}

bool EmptyOrInsideMonitorZero(const PEN_POINT& point)
{
    return IsExactlyEmpty(point) || InsideMonitorZero(point);
}

// A report's present pens lie inside monitor 0, and a pen shown present again without a lift
// between moved less than the matching distance: the tracker never makes a pen jump.
void CheckReport(const SPOT_SLOT* slots, SPOT_SLOT* shown)
{
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        const SPOT_SLOT& slot = slots[k];
        FuzzCheck(slot.state >= SPOT_NO_CHANGE && slot.state <= SPOT_PRESENT);
        if (slot.state == SPOT_PRESENT)
        {
            FuzzCheck(InsideMonitorZero(PEN_POINT{slot.x, slot.y}));
            FuzzCheck(shown[k].state != SPOT_PRESENT ||
                      PenDistance(shown[k].x, shown[k].y, slot.x, slot.y) < MATCH_DISTANCE_NEAR);
        }
        if (slot.state != SPOT_NO_CHANGE)
            shown[k] = slot;
    }
}

bool IsReport(const SPOT_SLOT* slots)
{
    return std::any_of(slots, slots + PEN_SLOTS,
                       [](const SPOT_SLOT& slot) { return slot.state != SPOT_NO_CHANGE; });
}

bool SameReport(const REPORT& a, const REPORT& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const SPOT_SLOT& x, const SPOT_SLOT& y)
                      { return x.state == y.state && x.x == y.x && x.y == y.y; });
}

// After which bytes the link goes quiet when frames arrive whole: the last packet that
// completes before each packet that begins a frame.
std::vector<bool> QuietBeforeFrames(const std::uint8_t* data, std::size_t size)
{
    std::vector<bool> quiet(size, false);
    CReferenceFramer framer(MULTI_SPOT);
    std::size_t last = 0;
    for (std::size_t n = 1; n < size; ++n)
    {
        if (framer.Feed(data[n]) != FRAME_RESULT::Complete)
            continue;
        if (FRAME_START.pfnAcceptsType(framer.Buf()[1]) && last != 0)
            quiet[last] = true;
        last = n;
    }
    return quiet;
}

// Slots change only when a '6' or '7' completes or the link goes quiet, and every pen the
// tracker keeps or reports is a usable point inside monitor 0.
void FuzzMultiSpot(const std::uint8_t* data, std::size_t size, bool twoCameras, bool quiet,
                   bool wholeFrames)
{
    CReferenceFramer reference[2] = {CReferenceFramer(MULTI_SPOT), CReferenceFramer(MULTI_SPOT)};
    SPOT_SLOT shown[PEN_SLOTS];
    twoCameras = twoCameras && !wholeFrames;
    const std::vector<bool> quietBefore = QuietBeforeFrames(data, size);
    CNextSevenTracker nextSeven(1024, 768);
    std::vector<REPORT> nextSevenReports;
    std::vector<REPORT> reported;
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
        const bool lifted = expected == FRAME_RESULT::Complete && type == protocol::TYPE_NO_SPOT;
        if (wholeFrames)
        {
            // A '6' cuts off a frame the quiet link has reported already.
            REPORT report;
            if (lifted && nextSeven.WouldReport(report))
                nextSevenReports.push_back(report);
            if (nextSeven.Feed(data[n], report))
                nextSevenReports.push_back(report);
            if (IsReport(slots))
                reported.emplace_back(slots, slots + PEN_SLOTS);
        }
        for (const SPOT_SLOT& slot : slots)
        {
            FuzzCheck(frameEvent || slot.state == SPOT_NO_CHANGE);
            // Without a quiet link every '7' reports all four pens.
            FuzzCheck(quiet || wholeFrames || !frameEvent || slot.state != SPOT_NO_CHANGE);
            FuzzCheck(!lifted || slot.state == SPOT_ABSENT);
        }
        CheckReport(slots, shown);
        if ((quiet && data[n] == '&' && n + 1 < size && (data[n + 1] & 1) != 0) ||
            (wholeFrames && quietBefore[n]))
        {
            SPOT_SLOT closed[PEN_SLOTS];
            CloseMultiSpotFrame(camera, closed);
            CheckReport(closed, shown);
            if (wholeFrames && IsReport(closed))
                reported.emplace_back(closed, closed + PEN_SLOTS);
        }
        for (int k = 0; k < PEN_SLOTS; ++k)
        {
            FuzzCheck(EmptyOrInsideMonitorZero(g_ptCur[k]) &&
                      EmptyOrInsideMonitorZero(g_ptNew[k]) &&
                      EmptyOrInsideMonitorZero(g_ptPrev[k]));
            if (lifted)
                FuzzCheck(IsExactlyEmpty(g_ptPrev[k]) && IsExactlyEmpty(g_ptCur[k]) &&
                          IsExactlyEmpty(g_ptNew[k]));
        }
    }
    FuzzCheck(!wholeFrames || std::equal(reported.begin(), reported.end(), nextSevenReports.begin(),
                                         nextSevenReports.end(), SameReport));
}

// Decoded like the wire format says, camera 1 shifted onto monitor 1.
void FuzzSingleSpot(const std::uint8_t* data, std::size_t size, bool twoCameras, bool noModel)
{
    CReferenceFramer reference[2] = {CReferenceFramer(SINGLE_SPOT), CReferenceFramer(SINGLE_SPOT)};
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
        const bool lift = x == 0 || y == 0;
        if (lift || noModel)
        {
            // Without a model a spot changes nothing, while a lift still lifts.
            FuzzCheck(result.state == (lift ? SPOT_ABSENT : SPOT_NO_CHANGE));
            continue;
        }
        FuzzCheck(result.state == SPOT_PRESENT);
        FuzzCheck(result.x == x + (camera == 1 ? 1024 : 0));
        FuzzCheck(result.y == y);
    }
}

// Camera pixels without any model: the multi-spot form is decoded literally, the single-spot
// form checked for its framing and range.
void FuzzRaw(const std::uint8_t* data, std::size_t size, bool leftBehind, bool multi)
{
    if (size < 3)
        return;
    const FRAME_RULES& rules = multi ? FRAME_START : SINGLE_SPOT;
    CReferenceFramer reference(rules);
    if (leftBehind)
    {
        g_calRxPos = static_cast<std::uint16_t>(data[1] % CAL_RX_BUFFER_SIZE);
        g_calRxBuf[1] = data[2];
        reference.Resume(g_calRxPos, g_calRxBuf[1]);
    }
    for (std::size_t n = 3; n < size; ++n)
    {
        CAMERA_RECORD record;
        record.rxByte = data[n];
        const SPOT_SLOT result = multi ? ParseRawMultiSpot(record) : ParseRawSingleSpot(record);
        FuzzCheck(g_calRxPos < rules.length);
        FuzzCheck(result.state >= SPOT_NO_CHANGE && result.state <= SPOT_PRESENT);
        if (result.state == SPOT_PRESENT)
            FuzzCheck(result.x > 0 && result.y > 0 &&
                      (multi || (result.x < 4096 && result.y <= 480)));
        const FRAME_RESULT expected = reference.Feed(data[n]);
        FuzzCheck(g_calRxPos == reference.Pos());
        FuzzCheck((expected == FRAME_RESULT::Complete) == (result.state != SPOT_NO_CHANGE));
        if (!multi || expected != FRAME_RESULT::Complete)
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
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CPenWorld& world = FuzzWorld(1.23);
    ResetSpotTracking();
    ResetCalReceiveState();
    if (size == 0)
        return 0;
    const bool noModel = (data[0] & 11) == 9;
    world.m_state.m_nCalibModel = noModel ? 7 : CALIB_MODEL_SIXTEEN;
    const bool variant = (data[0] & 4) != 0;
    switch (data[0] & 3)
    {
    case 0:
        FuzzMultiSpot(data, size, variant, (data[0] & 8) != 0, (data[0] & 24) == 16);
        break;
    case 1:
        FuzzSingleSpot(data, size, variant, noModel);
        break;
    case 2:
        FuzzRaw(data, size, variant, true);
        break;
    default:
        FuzzRaw(data, size, variant, false);
        break;
    }
    return 0;
}
