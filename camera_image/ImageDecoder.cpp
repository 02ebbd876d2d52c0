#include "camera_image/ImageDecoder.h"

#include "camera_image/AdjustView.h"
#include "device/CalReceiveState.h"
#include "device/Protocol.h"
#include "device/StallWatch.h"

std::uint16_t g_nImageSeq = 0;

namespace
{
constexpr std::uint8_t TYPE_PLAIN = 0x32;       // '2'
constexpr std::uint8_t TYPE_FRAME_START = 0x33; // '3'
constexpr std::uint8_t TYPE_LINE_START = 0x34;  // '4'
constexpr std::uint16_t POS_TYPE = 1;
constexpr std::uint16_t POS_PAYLOAD = 2;
constexpr std::uint16_t POS_END = IMAGE_PACKET_LENGTH - 1;
constexpr std::uint8_t SEQUENCE_BITS = 0x0F;

static_assert(IMAGE_PACKET_LENGTH <= CAL_RX_BUFFER_SIZE);

enum class IMAGE_RX : std::uint8_t
{
    WaitStart, // position 0: bytes before '$' are skipped
    Type,      // position 1: type or sequence byte
    Payload,   // positions 2 .. 17
    End,       // position 18: '&' draws the packet, anything else drops it
};

IMAGE_RX StateOf(std::uint16_t pos)
{
    if (pos == 0)
        return IMAGE_RX::WaitStart;
    if (pos == POS_TYPE)
        return IMAGE_RX::Type;
    return pos == POS_END ? IMAGE_RX::End : IMAGE_RX::Payload;
}

std::uint16_t NextSequence(std::uint16_t sequence)
{
    return sequence + 1 >= IMAGE_SEQUENCE_WRAP ? 0 : static_cast<std::uint16_t>(sequence + 1);
}

// Every missing packet between the last one and this one leaves its 8 columns untouched.
// Twenty steps reach every low nibble, so the search always ends.
void Resynchronise(CAdjustView& view, std::uint8_t sequenceByte)
{
    g_nImageSeq = NextSequence(g_nImageSeq);
    while ((g_nImageSeq & SEQUENCE_BITS) != (sequenceByte & SEQUENCE_BITS))
    {
        g_nImageSeq = NextSequence(g_nImageSeq);
        view.SkipColumns(CAdjustView::COLOUR_PACKET_PIXELS);
    }
}

void OnWaitStart(std::uint8_t byte)
{
    if (byte == protocol::PACKET_START)
        g_calRxPos = POS_TYPE;
}

// The type acts at once: a frame or line start moves the cursor even when the rest of its
// packet is later dropped.
void OnType(CAdjustView& view, const CAMERA_RECORD& record, std::uint8_t byte)
{
    switch (byte)
    {
    case TYPE_PLAIN:
        break;
    case TYPE_LINE_START:
        view.StartLine();
        g_nImageSeq = 1;
        break;
    case TYPE_FRAME_START:
        view.StartFrame();
        g_nImageSeq = 1;
        view.PresentFrame(record.monitorRect, record.imageWidth, record.imageHeight);
        break;
    default:
        // A data packet: in grey its sequence byte plays no part.
        if (!GreyImageShown())
            Resynchronise(view, byte);
        break;
    }
    g_calRxPos = POS_PAYLOAD;
}

void OnPayload()
{
    ++g_calRxPos;
}

void OnEnd(CAdjustView& view, const CAMERA_RECORD& record, std::uint8_t byte)
{
    if (byte == protocol::PACKET_END)
        view.DrawImagePacket(g_calRxBuf, record.imageWidth, record.imageHeight);
    g_calRxPos = 0;
}
} // namespace

void OnImageByte(CAMERA_RECORD record)
{
    CAdjustView* view = g_pAdjustDlg.load(std::memory_order_acquire);
    if (view == nullptr)
        return;
    const auto byte = static_cast<std::uint8_t>(record.rxByte & 0xFF);
    StallWatch(0, byte);
    // A position past an image packet's end is not one this decoder left: start over.
    if (g_calRxPos >= IMAGE_PACKET_LENGTH)
        g_calRxPos = 0;
    g_calRxBuf[g_calRxPos] = byte;
    switch (StateOf(g_calRxPos))
    {
    case IMAGE_RX::WaitStart:
        OnWaitStart(byte);
        break;
    case IMAGE_RX::Type:
        OnType(*view, record, byte);
        break;
    case IMAGE_RX::Payload:
        OnPayload();
        break;
    case IMAGE_RX::End:
        OnEnd(*view, record, byte);
        break;
    }
}
