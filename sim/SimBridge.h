#pragma once
// The unit's USB serial bridge between its link and the host. Bytes that have crossed the
// link wait in the bridge until one of three things sends them on to the host in one USB
// packet: 62 bytes have gathered (a full packet), the latency timer expires with bytes
// waiting, or the event character arrives (when one is set). The timer runs freely and
// starts again whenever a packet goes, so a lone small packet waits up to the timer's
// period: 16 ms unless the host sets it.
//
// The bridge keeps no bytes of its own: it marks how many of the oldest bytes of the
// unit's link queue the host may read. Time in microseconds of the simulator's clock.

#include "sim/SimByteQueue.h"

#include <cstdint>

struct SIM_BRIDGE_SETTINGS
{
    // 0: no bridge in the way, every byte reaches the host as it crosses the link (for
    // looking at the link alone).
    std::uint32_t latencyMs = 16;
    bool eventCharOn = false;
    std::uint8_t eventChar = 0;
    // Fixed settings only: the host's calls to set the bridge fail, as with a library or a
    // bridge that cannot take them.
    bool refuseHost = false;
};

class CSimBridge
{
public:
    // Payload of one USB packet from the bridge.
    static constexpr std::size_t PACKET_BYTES = 62;
    static constexpr std::uint32_t MIN_LATENCY_MS = 2;
    static constexpr std::uint32_t MAX_LATENCY_MS = 255;

    // The settings in force: the host's, unless fixed from outside.
    const SIM_BRIDGE_SETTINGS& Settings() const { return m_bFixed ? m_fixed : m_host; }
    // The host's settings. False, with nothing changed, for a timer outside
    // MIN_LATENCY_MS..MAX_LATENCY_MS.
    bool SetLatencyTimer(std::uint32_t ms);
    void SetEventChar(std::uint8_t eventChar, bool on);
    // Settings fixed from outside, whatever the host sets, until Unfix.
    void Fix(const SIM_BRIDGE_SETTINGS& settings);
    void Unfix() { m_bFixed = false; }
    bool RefusesHost() const { return m_bFixed && m_fixed.refuseHost; }
    // A fresh open: the host's settings go back to the defaults.
    void Open() { m_host = SIM_BRIDGE_SETTINGS{}; }

    // Sends on every packet that is due by `now`; returns how many of the queue's oldest
    // bytes the host may read.
    std::size_t Release(const CSimByteQueue& queue, std::uint64_t now);
    // When the next packet goes with the bytes the queue holds now; false when every byte
    // has gone already. Bytes still to come can only make it sooner.
    bool NextRelease(const CSimByteQueue& queue, std::uint64_t& micros) const;
    // The host took `count` released bytes from the front of the queue.
    void Taken(std::size_t count) { m_nReleased -= count; }
    // The queue was emptied (purge, power loss).
    void Cleared() { m_nReleased = 0; }

private:
    std::uint64_t ReleaseTime(const CSimByteQueue& queue) const;

    SIM_BRIDGE_SETTINGS m_host;
    SIM_BRIDGE_SETTINGS m_fixed;
    bool m_bFixed = false;
    std::size_t m_nReleased = 0;
    // The timer last started here: when a packet went.
    std::uint64_t m_nTimerStart = 0;
};
