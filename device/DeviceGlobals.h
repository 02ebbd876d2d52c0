#pragma once
// Globals of the device layer, shared with the pen driver and the calibration.

#include <atomic>
#include <cstdint>

struct MONITOR_AREA;

// Cameras found by the listing at start-up: 0, 1 or 2 once start-up has succeeded.
// Written by the user-interface thread at start-up; read by the reader thread.
extern std::atomic<std::uint16_t> g_nDeviceCount;
// The camera the single-camera reader reads. Written by the user-interface thread.
extern std::atomic<std::uint16_t> g_nCurrentDevice;
// Set by firmware detection: the camera keeps settings and calibration in its own store.
// Written by the user-interface thread; read by the reader thread.
extern std::atomic<std::int32_t> g_bSettingsInDevice;
// The monitor table of the device controller, published for the pen driver.
// Written by the user-interface thread at start-up and shutdown; read by the reader thread.
extern std::atomic<MONITOR_AREA*> g_pMonitorAreas;

// The cameras found at start-up, as the settings, the calibration and the main flows count them.
inline std::uint16_t CameraCount()
{
    return g_nDeviceCount.load(std::memory_order_relaxed);
}
