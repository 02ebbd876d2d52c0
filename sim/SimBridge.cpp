#include "sim/SimBridge.h"

#include <algorithm>
#include <limits>

namespace
{
constexpr std::uint64_t NEVER = std::numeric_limits<std::uint64_t>::max();
} // namespace

bool CSimBridge::SetLatencyTimer(std::uint32_t ms)
{
    if (ms < MIN_LATENCY_MS || ms > MAX_LATENCY_MS)
        return false;
    m_host.latencyMs = ms;
    return true;
}

void CSimBridge::SetEventChar(std::uint8_t eventChar, bool on)
{
    m_host.eventChar = eventChar;
    m_host.eventCharOn = on;
}

void CSimBridge::Fix(const SIM_BRIDGE_SETTINGS& settings)
{
    m_fixed = settings;
    m_bFixed = true;
}

// The earliest of: the first timer expiry after the oldest waiting byte arrived, the arrival
// of the byte that fills a packet, and the arrival of the event character.
std::uint64_t CSimBridge::ReleaseTime(const CSimByteQueue& queue) const
{
    const std::size_t waiting = queue.Size() - m_nReleased;
    if (waiting == 0)
        return NEVER;
    const std::uint64_t first = queue.ReadyAtOf(m_nReleased);
    if (Settings().latencyMs == 0)
        return first;
    const std::uint64_t period = std::uint64_t(Settings().latencyMs) * 1000;
    const std::uint64_t periods =
        first <= m_nTimerStart ? 1 : (first - m_nTimerStart + period - 1) / period;
    std::uint64_t release = m_nTimerStart + periods * period;
    if (waiting >= PACKET_BYTES)
        release = std::min(release, queue.ReadyAtOf(m_nReleased + PACKET_BYTES - 1));
    if (Settings().eventCharOn)
    {
        const std::size_t end = m_nReleased + std::min(waiting, PACKET_BYTES);
        for (std::size_t i = m_nReleased; i < end && queue.ReadyAtOf(i) < release; ++i)
        {
            if (queue.ByteOf(i) == Settings().eventChar)
                return queue.ReadyAtOf(i);
        }
    }
    return release;
}

std::size_t CSimBridge::Release(const CSimByteQueue& queue, std::uint64_t now)
{
    if (Settings().latencyMs == 0)
    {
        while (m_nReleased < queue.Size() && queue.ReadyAtOf(m_nReleased) <= now)
            ++m_nReleased;
        return m_nReleased;
    }
    for (;;)
    {
        const std::uint64_t at = ReleaseTime(queue);
        if (at > now)
            return m_nReleased;
        const std::size_t limit = std::min(queue.Size(), m_nReleased + PACKET_BYTES);
        std::size_t sent = m_nReleased;
        while (sent < limit && queue.ReadyAtOf(sent) <= at)
        {
            const bool eventChar =
                Settings().eventCharOn && queue.ByteOf(sent) == Settings().eventChar;
            ++sent;
            if (eventChar)
                break;
        }
        m_nReleased = sent;
        m_nTimerStart = at;
    }
}

bool CSimBridge::NextRelease(const CSimByteQueue& queue, std::uint64_t& micros) const
{
    const std::uint64_t at = ReleaseTime(queue);
    if (at == NEVER)
        return false;
    micros = at;
    return true;
}
