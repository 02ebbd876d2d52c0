#pragma once
// The spot packets' contents: which types each form accepts and the camera point a complete
// packet carries. The tracking parsers and the calibration's raw parsers frame with these rules.

#include "device/PacketFramer.h"

#include <cstdint>

// Single-spot Y values above this mean no spot.
constexpr std::int32_t SINGLE_SPOT_MAX_Y = 480;

namespace spot_packet
{
bool IsSingleSpotType(std::uint8_t type);
bool IsMultiSpotType(std::uint8_t type);
// '6' (no spot) and '7' (first spot): the packets that begin a frame.
bool IsFrameType(std::uint8_t type);

constexpr FRAME_RULES SINGLE_SPOT_RULES{protocol::SINGLE_SPOT_LENGTH, IsSingleSpotType};
constexpr FRAME_RULES MULTI_SPOT_RULES{protocol::MULTI_SPOT_LENGTH, IsMultiSpotType};
constexpr FRAME_RULES FRAME_START_RULES{protocol::MULTI_SPOT_LENGTH, IsFrameType};

struct SINGLE_SPOT
{
    std::int32_t x;
    std::int32_t y;
};

// Camera point of a complete single-spot packet; y is 0 when it lies beyond the image.
SINGLE_SPOT DecodeSingleSpot(const std::uint8_t* buf);

// Camera point of a complete multi-spot packet; false when its weight is 0 (no spot).
bool DecodeMultiSpot(const std::uint8_t* buf, std::int32_t& x, std::int32_t& y);
} // namespace spot_packet
