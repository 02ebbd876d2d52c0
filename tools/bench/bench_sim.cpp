// The simulator's read path: the cost of one single-byte read and the heap allocations it
// makes on the virtual clock, and the frame rate it delivers on the real clock.

#include "Bench.h"

#include "device/Protocol.h"
#include "sim/SimBus.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace
{
std::atomic<std::uint64_t> g_nAllocations{0};

struct READ_RUN
{
    std::uint64_t bytes = 0;
    std::uint64_t frames = 0;
    std::uint64_t allocations = 0;
    double seconds = 0.0;
};

// Reads one byte at a time until `bytes` bytes came or `wallSeconds` passed.
READ_RUN ReadSpots(CSimBus& bus, std::uint64_t bytes, double wallSeconds)
{
    bus.Execute("unit 0 pen 0 100 100\nunit 0 pen 1 200 200\nunit 0 pen 2 300 300\n"
                "unit 0 pen 3 400 400");
    FT_HANDLE handle = nullptr;
    READ_RUN run;
    if (SimFT_Open(0, &handle) != FT_OK)
        return run;
    std::uint32_t n = 0;
    auto streamOn = protocol::STREAM_ON;
    SimFT_Write(handle, streamOn.data(), std::uint32_t(streamOn.size()), &n);
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t allocationsBefore = g_nAllocations.load();
    int previous = -1;
    while (run.bytes < bytes)
    {
        std::uint8_t byte = 0;
        std::uint32_t got = 0;
        SimFT_Read(handle, &byte, 1, &got);
        if (got == 1)
        {
            ++run.bytes;
            if (previous == '$' && byte == protocol::TYPE_FIRST_SPOT)
                ++run.frames;
            previous = byte;
        }
        if ((run.bytes & 0xFF) == 0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >
                wallSeconds)
            break;
    }
    run.allocations = g_nAllocations.load() - allocationsBefore;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    SimFT_Close(handle);
    return run;
}

int RunSimBench(const std::vector<std::string>&)
{
    {
        CScopedSimBus bus({true, 1});
        const READ_RUN run = ReadSpots(bus.Bus(), 2'000'000, 60.0);
        std::printf("virtual clock: %llu bytes, %llu frames in %.3f s: %.1f ns per byte read, "
                    "%llu heap allocations\n",
                    static_cast<unsigned long long>(run.bytes),
                    static_cast<unsigned long long>(run.frames), run.seconds,
                    run.seconds * 1e9 / double(run.bytes ? run.bytes : 1),
                    static_cast<unsigned long long>(run.allocations));
        std::printf("  simulated time %.3f s, %.1f frames per simulated second\n",
                    double(bus->NowMicros()) / 1e6,
                    double(run.frames) / (double(bus->NowMicros()) / 1e6));
    }
    {
        CScopedSimBus bus({false, 1});
        const READ_RUN run = ReadSpots(bus.Bus(), ~0ull, 2.0);
        std::printf("real clock: %llu bytes, %llu frames in %.3f s: %.1f frames per second\n",
                    static_cast<unsigned long long>(run.bytes),
                    static_cast<unsigned long long>(run.frames), run.seconds,
                    double(run.frames) / run.seconds);
    }
    std::printf("heap allocations of the whole run: %llu\n",
                static_cast<unsigned long long>(g_nAllocations.load()));
    return 0;
}

CBenchRegistration g_simBench("sim", "simulated camera read path: cost, allocations, pacing",
                              RunSimBench);
} // namespace

// Counts every heap allocation of the program, to show the read path makes none.
void* operator new(std::size_t size)
{
    g_nAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
