#pragma once
// Receive state of the raw point parsers used during calibration, for the one camera being
// calibrated. The image decoder shares it; the two never run at the same time.

#include <cstdint>

constexpr int CAL_RX_BUFFER_SIZE = 50;

// Written on the reader thread; reset on the user-interface thread only once the reader stopped.
extern std::uint8_t g_calRxBuf[CAL_RX_BUFFER_SIZE];
extern std::uint16_t g_calRxPos;

// Position 0, buffer cleared: what stopping the image stream does.
void ResetCalReceiveState();
