// The simulator's command language: any text parses without harm, and applying the
// commands to a bus and streaming from it stays within bounds.

#include "sim/SimBus.h"
#include "sim/SimScenario.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const SIM_SCENARIO scenario = ParseSimScenario(text);
    // Files stay untouched: store and log commands are parsed but not applied.
    CSimBus bus;
    for (const SIM_COMMAND& command : scenario.commands)
    {
        if (command.verb != SIM_VERB::Store && command.verb != SIM_VERB::Log)
            bus.Apply(command);
    }
    for (int unit = 0; unit < 3; ++unit)
    {
        FT_HANDLE handle = nullptr;
        if (bus.Open(unit, &handle) != FT_OK)
            continue;
        std::uint32_t n = 0;
        std::uint8_t streamOn[] = {'$', 0x01, 0, 0, 1, '&'};
        bus.Write(handle, streamOn, sizeof streamOn, &n);
        // The input as command bytes too: the unit's packet parser takes anything.
        bus.Write(handle, data, static_cast<std::uint32_t>(size), &n);
        std::uint8_t buffer[64];
        bus.Read(handle, buffer, sizeof buffer, &n);
        FuzzCheck(n <= sizeof buffer);
        bus.Close(handle);
    }
    return 0;
}
