#pragma once
// Shared by the fuzz targets: the world the parsers need (a driver state and
// straight-through calibrations, built once), and the packet framing written out step by
// step as the wire protocol states it, to check the parsers' framing against.

#include "device/PacketFramer.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/support/PenTestKit.h"

#include <cstdint>

inline CPenWorld& FuzzWorld(double firmwareVersion)
{
    static CPenWorld* world = new CPenWorld(PEN_WORLD_OPTIONS{2, firmwareVersion});
    return *world;
}

// The framing rules in their literal form: store the byte at the position, then test.
class CReferenceFramer
{
public:
    explicit CReferenceFramer(const FRAME_RULES& rules) : m_rules(rules) {}

    // Goes on from what another consumer of a shared buffer left; a position at or past this
    // packet's end starts over.
    void Resume(std::uint16_t pos, std::uint8_t type)
    {
        m_nPos = pos < m_rules.length ? pos : 0;
        m_buf[1] = type;
    }

    FRAME_RESULT Feed(std::uint8_t byte)
    {
        const std::uint16_t p = m_nPos;
        m_buf[p] = byte;
        if (p == 0)
        {
            if (byte == '$')
                m_nPos = 1;
            return FRAME_RESULT::Pending;
        }
        if (!m_rules.pfnAcceptsType(m_buf[1]))
        {
            m_nPos = 0;
            return FRAME_RESULT::Dropped;
        }
        if (p != m_rules.length - 1)
        {
            m_nPos = static_cast<std::uint16_t>(p + 1);
            return FRAME_RESULT::Pending;
        }
        m_nPos = 0;
        return byte == '&' ? FRAME_RESULT::Complete : FRAME_RESULT::Dropped;
    }

    std::uint16_t Pos() const { return m_nPos; }
    const std::uint8_t* Buf() const { return m_buf; }

private:
    FRAME_RULES m_rules;
    std::uint8_t m_buf[16] = {};
    std::uint16_t m_nPos = 0;
};

inline std::uint32_t Decode24(const std::uint8_t* bytes)
{
    return (std::uint32_t{bytes[0]} << 16) | (std::uint32_t{bytes[1]} << 8) | bytes[2];
}
