#include "sim/SimClock.h"

#include <chrono>
#include <thread>

std::uint64_t CSimClock::NowMicros() const
{
    if (m_bVirtual)
        return m_nVirtualMicros.load();
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(now).count());
}

void CSimClock::Advance(std::uint64_t micros)
{
    if (m_bVirtual)
        m_nVirtualMicros.fetch_add(micros);
    else
        std::this_thread::sleep_for(std::chrono::microseconds(micros));
}

void CSimClock::AdvanceTo(std::uint64_t micros)
{
    if (m_bVirtual)
    {
        std::uint64_t now = m_nVirtualMicros.load();
        while (now < micros && !m_nVirtualMicros.compare_exchange_weak(now, micros))
        {
        }
        return;
    }
    std::uint64_t now = NowMicros();
    if (micros > now)
        std::this_thread::sleep_for(std::chrono::microseconds(micros - now));
}
