#include "device/CalReceiveState.h"

#include <algorithm>
#include <iterator>

std::uint8_t g_calRxBuf[CAL_RX_BUFFER_SIZE] = {};
std::uint16_t g_calRxPos = 0;

void ResetCalReceiveState()
{
    g_calRxPos = 0;
    std::fill(std::begin(g_calRxBuf), std::end(g_calRxBuf), std::uint8_t{0});
}
