#pragma once
// Byte-at-a-time framing of the camera's fixed-length packets: wait for '$', take the type,
// collect the body, check the closing '&'. The receive position is the state; each position
// class has its own handler and every byte is handled by exactly one of them. The buffer and
// position belong to the caller, so several parsers (and the image decoder) can share them.

#include "device/Protocol.h"

#include <cstdint>

enum class FRAME_RESULT : std::uint8_t
{
    Pending,  // the byte was stored; the packet goes on (or none has started)
    Dropped,  // the packet was dropped: unknown type or a last byte other than '&'
    Complete, // the last byte was '&': the packet is in the buffer
};

// Which bytes a consumer takes: packet length and the types it accepts.
struct FRAME_RULES
{
    std::uint16_t length;
    bool (*pfnAcceptsType)(std::uint8_t type);
};

namespace framing
{
enum class RX_STATE : std::uint8_t
{
    WaitStart, // position 0: bytes before '$' are dropped
    Type,      // position 1: the type byte, never a new start even if it is '$'
    Body,      // positions 2 .. length - 2
    End,       // position length - 1: must be '&'
};

constexpr RX_STATE StateOf(std::uint16_t pos, std::uint16_t length)
{
    if (pos == 0)
        return RX_STATE::WaitStart;
    if (pos == 1)
        return RX_STATE::Type;
    return pos + 1 == length ? RX_STATE::End : RX_STATE::Body;
}

inline FRAME_RESULT OnWaitStart(std::uint8_t* buf, std::uint16_t& pos, std::uint8_t byte)
{
    buf[0] = byte;
    if (byte == protocol::PACKET_START)
        pos = 1;
    return FRAME_RESULT::Pending;
}

inline FRAME_RESULT OnType(std::uint8_t* buf, std::uint16_t& pos, std::uint8_t byte,
                           const FRAME_RULES& rules)
{
    buf[1] = byte;
    if (!rules.pfnAcceptsType(byte))
    {
        pos = 0;
        return FRAME_RESULT::Dropped;
    }
    pos = 2;
    return FRAME_RESULT::Pending;
}

// The type is checked again in the body and at the end because the buffer may be shared
// with a consumer of other types that left its own packet half-received.
inline FRAME_RESULT OnBody(std::uint8_t* buf, std::uint16_t& pos, std::uint8_t byte,
                           const FRAME_RULES& rules)
{
    buf[pos] = byte;
    if (!rules.pfnAcceptsType(buf[1]))
    {
        pos = 0;
        return FRAME_RESULT::Dropped;
    }
    ++pos;
    return FRAME_RESULT::Pending;
}

inline FRAME_RESULT OnEnd(std::uint8_t* buf, std::uint16_t& pos, std::uint8_t byte,
                          const FRAME_RULES& rules)
{
    buf[pos] = byte;
    pos = 0;
    if (!rules.pfnAcceptsType(buf[1]) || byte != protocol::PACKET_END)
        return FRAME_RESULT::Dropped;
    return FRAME_RESULT::Complete;
}
} // namespace framing

// Feeds one byte. A position at or past the packet's end (left by another consumer of a
// longer packet) starts over, so the buffer is never written beyond `rules.length` entries.
inline FRAME_RESULT FrameByte(std::uint8_t* buf, std::uint16_t& pos, std::uint8_t byte,
                              const FRAME_RULES& rules)
{
    if (pos >= rules.length)
        pos = 0;
    switch (framing::StateOf(pos, rules.length))
    {
    case framing::RX_STATE::WaitStart:
        return framing::OnWaitStart(buf, pos, byte);
    case framing::RX_STATE::Type:
        return framing::OnType(buf, pos, byte, rules);
    case framing::RX_STATE::Body:
        return framing::OnBody(buf, pos, byte, rules);
    case framing::RX_STATE::End:
        return framing::OnEnd(buf, pos, byte, rules);
    }
    pos = 0;
    return FRAME_RESULT::Dropped;
}
