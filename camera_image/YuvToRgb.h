#pragma once
// The camera's colour pixels to the colour values the alignment view draws: YUV with studio
// range (BT.601) in 16.16 fixed point, signed 32-bit arithmetic. The offsets 16 (Y) and
// 128 (U, V) are folded into the constants of the three sums.

#include <cstdint>

// A colour value as the view keeps it: R | G << 8 | B << 16.
constexpr std::uint32_t RgbColour(std::uint32_t red, std::uint32_t green, std::uint32_t blue)
{
    return red | green << 8 | blue << 16;
}

namespace yuv
{
// A negative sum is 0, a sum past 255 in its upper 16 bits is 255.
constexpr std::uint32_t Channel(std::int32_t sum)
{
    if (sum < 0)
        return 0;
    if ((sum >> 16) > 255)
        return 255;
    return static_cast<std::uint32_t>(sum >> 16);
}
} // namespace yuv

// Byte inputs keep every sum well inside 32 bits.
constexpr std::uint32_t YuvToRgb(std::uint8_t y, std::uint8_t u, std::uint8_t v)
{
    const std::int32_t c = 76284 * std::int32_t{y};
    const std::int32_t red = c + 104595 * std::int32_t{v} - 14608704;
    const std::int32_t green = c - 53281 * std::int32_t{v} - 25625 * std::int32_t{u} + 8879424;
    const std::int32_t blue = c + 132252 * std::int32_t{u} - 18148800;
    return RgbColour(yuv::Channel(red), yuv::Channel(green), yuv::Channel(blue));
}
