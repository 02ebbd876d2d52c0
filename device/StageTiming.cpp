#include "device/StageTiming.h"

#include "core/DiagLog.h"
#include "platform/Platform.h"

#include <cstdio>

void CStageTiming::MarkRead()
{
    if (m_bOn)
        m_nReadAt.store(Platform().MonotonicMicros(), std::memory_order_relaxed);
}

void CStageTiming::MarkEvent()
{
    if (!m_bOn)
        return;
    const std::uint64_t now = Platform().MonotonicMicros();
    m_nEventAt.store(now, std::memory_order_relaxed);
    // Only the first event a byte completes counts: a release sent with a press, or an event
    // sent with no byte in between (a lift on a quiet camera), has no read of its own.
    const std::uint64_t readAt = m_nReadAt.exchange(0, std::memory_order_relaxed);
    if (readAt != 0 && now >= readAt)
        Add(m_readToEvent, now - readAt);
}

void CStageTiming::MarkSent()
{
    if (!m_bOn)
        return;
    const std::uint64_t eventAt = m_nEventAt.exchange(0, std::memory_order_relaxed);
    const std::uint64_t now = Platform().MonotonicMicros();
    if (eventAt != 0 && now >= eventAt)
        Add(m_eventToInput, now - eventAt);
}

void CStageTiming::Add(HISTOGRAM& histogram, std::uint64_t micros)
{
    const std::uint64_t bucket = std::min<std::uint64_t>(micros / BUCKET_MICROS, BUCKETS - 1);
    histogram[bucket].fetch_add(1, std::memory_order_relaxed);
}

double CStageTiming::PercentileMs(const HISTOGRAM& histogram, double share)
{
    std::uint64_t total = 0;
    for (const auto& count : histogram)
        total += count.load(std::memory_order_relaxed);
    if (total == 0)
        return 0.0;
    const auto wanted = static_cast<std::uint64_t>(share * double(total - 1)) + 1;
    std::uint64_t seen = 0;
    for (std::size_t i = 0; i < BUCKETS; ++i)
    {
        seen += histogram[i].load(std::memory_order_relaxed);
        if (seen >= wanted)
            return double((i + 1) * BUCKET_MICROS) / 1000.0;
    }
    return double(BUCKETS * BUCKET_MICROS) / 1000.0;
}

std::string CStageTiming::Summary() const
{
    std::uint64_t samples = 0;
    for (const auto& count : m_readToEvent)
        samples += count.load(std::memory_order_relaxed);
    char text[160];
    std::snprintf(text, sizeof text,
                  "read_to_event_ms p50=%.2f p99=%.2f event_to_input_ms p50=%.2f p99=%.2f "
                  "samples=%llu",
                  PercentileMs(m_readToEvent, 0.5), PercentileMs(m_readToEvent, 0.99),
                  PercentileMs(m_eventToInput, 0.5), PercentileMs(m_eventToInput, 0.99),
                  static_cast<unsigned long long>(samples));
    return text;
}

CStageTiming& StageTiming()
{
    static CStageTiming timing;
    return timing;
}

void EnableStageTimingFromSettings(const std::wstring& configPath)
{
    StageTiming().Enable(
        Platform().ReadProfileText(configPath, L"Diagnostics", L"Timing", L"0", 4) == L"1");
}

void LogStageTiming()
{
    if (StageTiming().IsOn())
        DiagLog().Write("Pen chain timing: " + StageTiming().Summary());
}
