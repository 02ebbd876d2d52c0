#pragma once
// Where the time of the pen chain goes inside the driver, for the latency bench: from the
// reader taking the last byte before a pointer event to that event, and from there to the
// input call's return. A frame that waits for a later byte before it is reported shows that
// wait in none of the two: the bench sees it as the rest of its pen-to-pointer time. Off unless the
// hidden setting Timing of [Diagnostics] is 1; when on, the reader marks and the user-interface
// thread writes the summary to the log at shutdown.

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

class CStageTiming
{
public:
    void Enable(bool on) { m_bOn = on; }
    bool IsOn() const { return m_bOn; }
    // Reader thread: a byte was taken from the link.
    void MarkRead();
    // A pointer event is about to be sent, and the call that sent it has returned.
    void MarkEvent();
    void MarkSent();
    // "read_to_event_ms p50=<t> p99=<t> event_to_input_ms p50=<t> p99=<t> samples=<n>"
    std::string Summary() const;

    // Buckets of 10 microseconds; the last one holds everything longer.
    static constexpr std::size_t BUCKETS = 5000;
    static constexpr std::uint64_t BUCKET_MICROS = 10;

private:
    using HISTOGRAM = std::array<std::atomic<std::uint32_t>, BUCKETS>;
    static void Add(HISTOGRAM& histogram, std::uint64_t micros);
    static double PercentileMs(const HISTOGRAM& histogram, double share);

    std::atomic<bool> m_bOn{false};
    std::atomic<std::uint64_t> m_nReadAt{0};
    std::atomic<std::uint64_t> m_nEventAt{0};
    HISTOGRAM m_readToEvent{};
    HISTOGRAM m_eventToInput{};
};

CStageTiming& StageTiming();

// Turns the timing on when the settings file asks for it.
void EnableStageTimingFromSettings(const std::wstring& configPath);
// At shutdown: the summary as one line of the diagnostic log, when the timing was on.
void LogStageTiming();
