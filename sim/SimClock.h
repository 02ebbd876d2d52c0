#pragma once
// The simulator's clock. Virtual for native tests: time moves only when a read would
// wait or a test advances it, so no test sleeps. Real for the DLL and the benchmarks.

#include <atomic>
#include <cstdint>

class CSimClock
{
public:
    explicit CSimClock(bool virtualTime) : m_bVirtual(virtualTime) {}

    bool IsVirtual() const { return m_bVirtual; }
    std::uint64_t NowMicros() const;
    // Virtual: moves time forward. Real: sleeps.
    void Advance(std::uint64_t micros);
    // Virtual: moves time forward to the instant if it lies ahead. Real: sleeps until it.
    void AdvanceTo(std::uint64_t micros);

private:
    bool m_bVirtual;
    std::atomic<std::uint64_t> m_nVirtualMicros{0};
};
