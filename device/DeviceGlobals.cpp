#include "device/DeviceGlobals.h"

std::atomic<std::uint16_t> g_nDeviceCount{0};
std::atomic<std::uint16_t> g_nCurrentDevice{0};
std::atomic<std::int32_t> g_bSettingsInDevice{0};
std::atomic<MONITOR_AREA*> g_pMonitorAreas{nullptr};
