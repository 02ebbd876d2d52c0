#pragma once
// Program versions as the version resource and the update server give them: four unsigned
// parts, written "%u.%u.%u.%u". A server version counts as newer only when it comes later in
// order, part by part from the first: 1.4.9.0 is older than 1.5.0.0.

#include <array>
#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

struct VERSION_NUMBER
{
    std::array<std::uint32_t, 4> part{};

    auto operator<=>(const VERSION_NUMBER&) const = default;
};

// Splits the text at '.' into four parts; missing parts read as 0 and anything after the
// fourth part is ignored. Each part is read like a decimal number: leading blanks, an
// optional '+', then digits up to the first other character. A part without digits, or with a
// minus sign, reads as 0 (a version part is never negative); one beyond 32 bits reads as the
// largest 32-bit value.
VERSION_NUMBER ParseVersionText(std::wstring_view text);

std::wstring FormatVersionText(const VERSION_NUMBER& version);
