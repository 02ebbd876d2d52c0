#include "device/SpotPacket.h"

namespace spot_packet
{
namespace
{
std::uint32_t Decode24(const std::uint8_t* bytes)
{
    return (std::uint32_t{bytes[0]} << 16) | (std::uint32_t{bytes[1]} << 8) | bytes[2];
}
} // namespace

bool IsSingleSpotType(std::uint8_t type)
{
    return type == protocol::TYPE_SPOT_A || type == protocol::TYPE_REPLY;
}

bool IsMultiSpotType(std::uint8_t type)
{
    return type >= protocol::TYPE_NO_SPOT && type <= protocol::TYPE_FOURTH_SPOT;
}

bool IsFrameType(std::uint8_t type)
{
    return type == protocol::TYPE_NO_SPOT || type == protocol::TYPE_FIRST_SPOT;
}

SINGLE_SPOT DecodeSingleSpot(const std::uint8_t* buf)
{
    SINGLE_SPOT spot;
    spot.x = buf[3] * 16 + (buf[4] >> 4);
    spot.y = (buf[4] & 0x0F) * 256 + buf[5];
    if (spot.y > SINGLE_SPOT_MAX_Y)
        spot.y = 0;
    return spot;
}

bool DecodeMultiSpot(const std::uint8_t* buf, std::int32_t& x, std::int32_t& y)
{
    const std::uint32_t a = Decode24(buf + 2);
    const std::uint32_t b = Decode24(buf + 5);
    const std::uint32_t c = Decode24(buf + 8);
    if (c == 0)
        return false;
    x = static_cast<std::int32_t>(a / c);
    y = static_cast<std::int32_t>(b / c);
    return true;
}
} // namespace spot_packet
