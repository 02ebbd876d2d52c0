#pragma once
// What the running program knows about itself from its own file: its version resource and
// its string resources.

#include "update/VersionText.h"

#include <cstdint>
#include <optional>
#include <string>

// The fixed file version of the running executable: the high and low words of its most
// significant half, then those of its least significant half. Nothing when the file has no
// version resource.
std::optional<VERSION_NUMBER> GetOwnFileVersion();

// A string of the running executable's string table; "" when it has none of that id.
std::wstring LoadResourceText(std::uint32_t id);

// The default update server's base address: string IDS_UPDATE_URL, or the same text built in
// when the program carries no such string.
std::wstring DefaultUpdateUrl();
