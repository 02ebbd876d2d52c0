#pragma once
// Writes 24-bit RGB pictures as PNG files, for the screenshots the window tests save for a
// person to look at. Uncompressed deflate blocks: simple, and a screenshot is small enough.

#include <cstdint>
#include <string>
#include <vector>

// rgb holds width x height pixels, three bytes each, rows top to bottom. False when the file
// cannot be written or the sizes do not match.
bool WritePng(const std::string& path, int width, int height, const std::vector<std::uint8_t>& rgb);
