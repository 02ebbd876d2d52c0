// Time firmware detection takes against simulated units on the real clock.

#include "Bench.h"

#include "device/CameraLink.h"
#include "sim/SimBus.h"
#include "tests/support/FakePlatform.h"

#include <chrono>
#include <cstdio>
#include <thread>

namespace
{
// The platform's clock and sleep are real here: this measures wall time.
class CRealClockPlatform : public CFakePlatform
{
public:
    CRealClockPlatform()
    {
        m_clock = []
        {
            return static_cast<std::uint64_t>(
                std::chrono::duration_cast<std::chrono::microseconds>(
                    std::chrono::steady_clock::now().time_since_epoch())
                    .count());
        };
        m_sleeper = [](std::uint32_t ms)
        { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
        m_libraries[L"ftd2xx.dll"] = SimD2xxSymbols();
    }
};

int RunStartup(const std::vector<std::string>&)
{
    for (int units : {1, 2})
    {
        CRealClockPlatform platform;
        CScopedPlatform scope(platform);
        CScopedSimBus bus(SIM_BUS_OPTIONS{false, units});
        for (int u = 0; u < units; ++u)
            bus->Execute("unit " + std::to_string(u) + " minor 0x23");
        CCameraLink link;
        (void)link.BindLibrary();
        std::uint32_t locations[LOCATION_SLOTS] = {};
        std::uint16_t count = 0;
        if (link.ListDevices(locations, &count) != FT_OK || count != units ||
            !link.OpenAll(locations, count))
        {
            std::fprintf(stderr, "startup: could not open %d simulated units\n", units);
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        const bool ok = link.DetectFirmware();
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (!ok)
        {
            std::fprintf(stderr, "startup: detection failed with %d units\n", units);
            return 1;
        }
        std::printf("startup units=%d detect_ms=%.3f\n", units, ms);
        link.CloseAll();
    }
    return 0;
}

CBenchRegistration g_startup("startup", "firmware detection time on the real clock", RunStartup);
} // namespace
