// OnImageByte on arbitrary bytes, from any receive position and sequence number (the raw
// calibration parsers share the receive state), any cursor, grey or colour, any image size
// and monitor rectangle in the record. Checked against the decoder's rules written out
// literally: the receive position, the sequence number, the cursor while it lies near the
// surface, the pixels each drawn packet leaves, and one picture per frame start.
//
// Input: 12 set-up bytes, then the stream.
//   0: bit 0 grey, bit 1 drawing on, bit 2 far-away cursor, bit 3 far-away rectangle,
//      bit 4 a view just opened (drawing on, its cursor where opening puts it)
//   1: receive position   2: sequence number   3: image size (low three bits)
//   4..5, 6..7: cursor column and row   8..11: rectangle width and height

#include "tests/fuzz/SpotFuzzSupport.h"

#include "camera_image/AdjustView.h"
#include "camera_image/ImageDecoder.h"
#include "camera_image/YuvToRgb.h"
#include "device/CalReceiveState.h"

#include <limits>

namespace
{
constexpr std::size_t SETUP_BYTES = 12;
// Within this distance of the surface the decoder's cursor must equal the literal one;
// further out it may stop moving, since nothing it draws there can land.
constexpr std::int64_t EXACT_CURSOR = 1 << 19;

int g_nHooks = 0;

struct SIZE_CASE
{
    std::int32_t width;
    std::int32_t height;
};
// The sizes the camera sends, none, and sizes the surface cuts (wider than it, negative).
constexpr SIZE_CASE SIZES[] = {{160, 120}, {0, 0},   {320, 240}, {1000, -5},
                               {160, 120}, {641, 3}, {-7, 90},   {160, 481}};

std::int16_t Int16(const std::uint8_t* p)
{
    return static_cast<std::int16_t>(std::uint16_t(p[0] | p[1] << 8));
}

std::int64_t FarOrNear(bool far, std::int16_t near)
{
    if (!far)
        return near;
    return near < 0 ? std::numeric_limits<std::int32_t>::min() + (near & 0xFF)
                    : std::numeric_limits<std::int32_t>::max() - (near & 0xFF);
}

// The decoder as its rules read, with a cursor that never overflows.
struct REFERENCE
{
    std::uint16_t pos = 0;
    std::uint16_t seq = 0;
    std::int64_t x = 0;
    std::int64_t y = 0;
    int frames = 0;
    bool drew = false;
    std::int64_t drawX = 0;
    std::uint8_t buf[IMAGE_PACKET_LENGTH] = {};

    void Feed(std::uint8_t b, bool grey, bool drawing, const SIZE_CASE& size)
    {
        drew = false;
        if (pos >= IMAGE_PACKET_LENGTH)
            pos = 0;
        buf[pos] = b;
        if (pos == 0)
        {
            pos = b == '$' ? 1 : 0;
            return;
        }
        if (pos == 1)
        {
            if (b == '4')
            {
                x = 159;
                y -= 1;
                seq = 1;
            }
            else if (b == '3')
            {
                x = 159;
                y = 120;
                seq = 1;
                frames += size.width > 0 && size.height > 0;
            }
            else if (b != '2' && !grey)
            {
                seq = seq >= 19 ? 0 : seq + 1;
                while ((seq & 0x0F) != (b & 0x0F))
                {
                    seq = seq >= 19 ? 0 : seq + 1;
                    x -= 8;
                }
            }
            pos = 2;
            return;
        }
        if (pos < IMAGE_PACKET_LENGTH - 1)
        {
            ++pos;
            return;
        }
        pos = 0;
        if (b != '&')
            return;
        if (!grey && (!drawing || x > size.width || y > size.height))
            return;
        drew = true;
        drawX = x;
        x -= grey ? 16 : 8;
    }
};

bool Near(std::int64_t value)
{
    return value > -EXACT_CURSOR && value < EXACT_CURSOR;
}

std::uint32_t Expected(const std::uint8_t* buf, bool grey, int i)
{
    if (grey)
        return RgbColour(buf[2 + i], buf[2 + i], buf[2 + i]);
    const std::uint8_t* group = buf + 2 + 4 * (i / 2);
    return YuvToRgb(i % 2 == 0 ? group[1] : group[3], group[0], group[2]);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CPenWorld& world = FuzzWorld(1.15);
    static CAdjustView* view = new CAdjustView;
    if (size < SETUP_BYTES)
        return 0;
    const bool grey = (data[0] & 1) != 0;
    const bool opened = (data[0] & 16) != 0;
    const bool drawing = opened || (data[0] & 2) != 0;
    world.m_state.m_bGreyImage = grey ? 1 : 0;
    view->m_bDrawing = drawing ? 1 : 0;
    view->m_pfnFrameReady = [](CAdjustView*) { ++g_nHooks; };
    g_nHooks = 0;

    REFERENCE ref;
    ref.pos = data[1] % CAL_RX_BUFFER_SIZE;
    ref.seq = data[2];
    ref.x = FarOrNear((data[0] & 4) != 0, Int16(data + 4));
    ref.y = FarOrNear((data[0] & 4) != 0, Int16(data + 6));
    const SIZE_CASE imageSize = SIZES[data[3] & 7];
    ResetCalReceiveState();
    g_calRxPos = ref.pos;
    g_nImageSeq = ref.seq;
    view->m_nCursorX = static_cast<std::int32_t>(ref.x);
    view->m_nCursorY = static_cast<std::int32_t>(ref.y);
    if (opened)
    {
        // Just past the surface's last column and row: nothing lands before a frame or line start.
        view->BeginDrawing();
        ref.x = ADJUST_SURFACE_WIDTH;
        ref.y = ADJUST_SURFACE_HEIGHT;
    }

    CAMERA_RECORD record;
    record.imageWidth = imageSize.width;
    record.imageHeight = imageSize.height;
    const bool farRect = (data[0] & 8) != 0;
    record.monitorRect[0] = static_cast<std::int32_t>(FarOrNear(farRect, -1));
    record.monitorRect[1] = static_cast<std::int32_t>(FarOrNear(farRect, 1));
    record.monitorRect[2] = Int16(data + 8);
    record.monitorRect[3] = Int16(data + 10);

    g_pAdjustDlg = view;
    for (std::size_t n = SETUP_BYTES; n < size; ++n)
    {
        record.rxByte = data[n];
        ref.Feed(data[n], grey, drawing, imageSize);
        OnImageByte(record);
        FuzzCheck(g_calRxPos == ref.pos);
        FuzzCheck(g_nImageSeq == ref.seq);
        FuzzCheck(!Near(ref.x) || view->m_nCursorX == ref.x);
        FuzzCheck(!Near(ref.y) || view->m_nCursorY == ref.y);
        if (!ref.drew || !Near(ref.drawX))
            continue;
        for (int i = 0; i < (grey ? 16 : 8); ++i)
        {
            const std::int64_t column = ref.drawX - i;
            if (column >= 0 && column < ADJUST_SURFACE_WIDTH && ref.y >= 0 &&
                ref.y < ADJUST_SURFACE_HEIGHT)
                FuzzCheck(view->Surface().Pixel(static_cast<std::int32_t>(column),
                                                static_cast<std::int32_t>(ref.y)) ==
                          Expected(ref.buf, grey, i));
        }
    }
    g_pAdjustDlg = nullptr;
    FuzzCheck(g_nHooks == ref.frames);

    static ADJUST_FRAME frame;
    if (view->TakeFrame(frame))
    {
        FuzzCheck(frame.width > 0 && frame.width <= ADJUST_SURFACE_WIDTH);
        FuzzCheck(frame.height > 0 && frame.height <= ADJUST_SURFACE_HEIGHT);
        FuzzCheck(frame.pixels.size() == std::size_t(frame.width) * std::size_t(frame.height));
    }
    return 0;
}
