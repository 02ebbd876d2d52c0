#include "device/Protocol.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace protocol
{
std::string FirmwareVersionPrefix()
{
    char text[8];
    std::snprintf(text, sizeof text, "%x.", 1u);
    return text;
}

std::string FirmwareMinorText(int minor)
{
    char text[16];
    std::snprintf(text, sizeof text, "%x", IsValidFirmwareMinor(minor) ? unsigned(minor) : 0u);
    return text;
}

int CountLetters(const std::string& text)
{
    int letters = 0;
    for (char c : text)
    {
        if (std::isalpha(static_cast<unsigned char>(c)))
            ++letters;
    }
    return letters;
}

double ParseVersionText(const std::string& text)
{
    double value = 0.0;
    if (std::sscanf(text.c_str(), "%lf", &value) != 1)
        return 0.0;
    return value;
}

bool CSettingReplyReader::Feed(std::uint8_t byte)
{
    switch (m_nPos)
    {
    case 0:
        if (byte == PACKET_START)
            m_nPos = 1;
        return false;
    case 1:
        m_nPos = byte == TYPE_REPLY ? 2 : 0;
        return false;
    case 2:
    case 3:
    case 4:
        if (byte == PACKET_END)
        {
            m_nValue = 0;
            m_nPos = 0;
            return true;
        }
        ++m_nPos;
        return false;
    case 5:
        m_nByte5 = byte;
        if (byte == PACKET_END)
        {
            m_nValue = PACKET_END;
            m_nPos = 0;
            return true;
        }
        m_nPos = 6;
        return false;
    default:
        m_nPos = 0;
        if (byte != PACKET_END)
            return false;
        m_nValue = m_nByte5;
        return true;
    }
}

bool CVersionReplyReader::Feed(std::uint8_t byte)
{
    switch (m_nPos)
    {
    case 0:
        if (byte == PACKET_START)
            m_nPos = 1;
        return false;
    case 1:
        m_nPos = byte == TYPE_REPLY ? 2 : 0;
        return false;
    case 6:
        m_nPos = 0;
        m_nValue = m_nByte5;
        return true;
    default:
        if (m_nPos == 5)
            m_nByte5 = byte;
        ++m_nPos;
        return false;
    }
}

std::array<std::uint8_t, REPLY_LENGTH> MakeReply(std::uint8_t value)
{
    return {PACKET_START, TYPE_REPLY, 0, 0, 0, value, PACKET_END};
}

std::array<std::uint8_t, SINGLE_SPOT_LENGTH> MakeSingleSpot(int x, int y, std::uint8_t type)
{
    const unsigned ux = static_cast<unsigned>(x) & 0xFFF;
    const unsigned uy = static_cast<unsigned>(y) & 0xFFF;
    return {PACKET_START,
            type,
            0,
            static_cast<std::uint8_t>(ux >> 4),
            static_cast<std::uint8_t>(((ux & 0x0F) << 4) | (uy >> 8)),
            static_cast<std::uint8_t>(uy & 0xFF),
            PACKET_END};
}

std::array<std::uint8_t, MULTI_SPOT_LENGTH> MakeMultiSpot(std::uint8_t type, std::uint32_t a,
                                                          std::uint32_t b, std::uint32_t c)
{
    auto byteOf = [](std::uint32_t v, int shift) { return static_cast<std::uint8_t>(v >> shift); };
    return {PACKET_START, type,         byteOf(a, 16), byteOf(a, 8), byteOf(a, 0), byteOf(b, 16),
            byteOf(b, 8), byteOf(b, 0), byteOf(c, 16), byteOf(c, 8), byteOf(c, 0), PACKET_END};
}
} // namespace protocol
