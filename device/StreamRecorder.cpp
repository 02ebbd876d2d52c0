#include "device/StreamRecorder.h"

#include "platform/Platform.h"

#include <chrono>

namespace
{
// How often the writer empties the ring: at the fastest stream (two units at 46 080 bytes a
// second) a quarter of the ring.
constexpr auto WRITE_PERIOD = std::chrono::milliseconds(20);
} // namespace

CStreamRecorder::~CStreamRecorder()
{
    Stop();
}

bool CStreamRecorder::Start(const std::wstring& path, const RECORDING_HEADER& header,
                            std::uint64_t limitBytes, std::uint32_t notifyMessage)
{
    Stop();
    const std::vector<std::uint8_t> start = EncodeRecordingHeader(header);
    if (start.size() > limitBytes || !Platform().WriteNewFile(path, start.data(), start.size()))
        return false;
    m_strPath = path;
    m_nLimit = limitBytes;
    m_nNotify = notifyMessage;
    m_bFirst = true;
    m_nLastMicros = 0;
    m_nWritten = start.size();
    m_nRecorded = 0;
    m_nDropped = 0;
    m_nTail.store(m_nHead.load());
    m_bStopWriter = false;
    m_end = RECORDING_END::RUNNING;
    m_bOn = true;
    m_writer = std::thread(&CStreamRecorder::WriterLoop, this);
    return true;
}

void CStreamRecorder::Stop()
{
    if (!m_writer.joinable())
        return;
    {
        std::lock_guard guard(m_wakeLock);
        m_bStopWriter = true;
    }
    m_wake.notify_one();
    m_writer.join();
}

void CStreamRecorder::Finish(RECORDING_END end)
{
    m_bOn = false;
    m_end = end;
    if (end != RECORDING_END::STOPPED && m_nNotify != 0)
        Platform().PostMainMessage(m_nNotify, 0, 0);
}

void CStreamRecorder::WriterLoop()
{
    for (;;)
    {
        bool stop = false;
        {
            std::unique_lock lock(m_wakeLock);
            stop = m_wake.wait_for(lock, WRITE_PERIOD, [this] { return m_bStopWriter; });
        }
        if (stop)
        {
            // Bytes the reader is still adding after this belong to no recording.
            m_bOn = false;
            if (m_end == RECORDING_END::RUNNING && Drain())
                Finish(RECORDING_END::STOPPED);
            return;
        }
        if (m_end == RECORDING_END::RUNNING)
            (void)Drain();
    }
}

bool CStreamRecorder::Drain()
{
    const std::uint32_t head = m_nHead.load(std::memory_order_acquire);
    std::uint32_t tail = m_nTail.load(std::memory_order_relaxed);
    if (head == tail)
        return true;
    m_buffer.clear();
    std::uint64_t kept = 0;
    for (; tail != head; ++tail)
    {
        const SLOT& slot = m_ring[tail & (RING_SIZE - 1)];
        const std::uint64_t delta =
            m_bFirst || slot.micros < m_nLastMicros ? 0 : slot.micros - m_nLastMicros;
        const std::size_t before = m_buffer.size();
        EncodeRecordedByte(m_buffer, delta, slot.unit, slot.byte);
        if (m_nWritten + m_buffer.size() > m_nLimit)
        {
            m_buffer.resize(before);
            break;
        }
        m_bFirst = false;
        m_nLastMicros = slot.micros;
        ++kept;
    }
    m_nTail.store(tail, std::memory_order_release);
    if (!m_buffer.empty() &&
        !Platform().AppendFileBytes(m_strPath, m_buffer.data(), m_buffer.size()))
    {
        Finish(RECORDING_END::WRITE_FAILED);
        return false;
    }
    m_nWritten += m_buffer.size();
    m_nRecorded += kept;
    if (tail != head)
    {
        Finish(RECORDING_END::LIMIT_REACHED);
        return false;
    }
    return true;
}

CStreamRecorder& StreamRecorder()
{
    static CStreamRecorder recorder;
    return recorder;
}
