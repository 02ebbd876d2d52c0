#pragma once
// One pen as the spot parsers report it, shared by the tracking parsers and the raw parsers of
// the calibration.

#include <cstdint>

// State 1: present at (x, y); 0: lifted (x, y mean nothing); SPOT_NO_CHANGE: nothing new for
// this pen.
struct SPOT_SLOT
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t state = -1;
};

constexpr std::int32_t SPOT_ABSENT = 0;
constexpr std::int32_t SPOT_PRESENT = 1;
constexpr std::int32_t SPOT_NO_CHANGE = -1;

// Cameras whose bytes the pen callbacks and the stall watch follow.
constexpr int TRACKED_CAMERAS = 2;
