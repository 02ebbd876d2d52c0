#pragma once
// Records every byte the units send while a recording runs. The reader thread only puts each
// byte with its time into a ring; a writer thread of the recorder's own encodes the ring into
// the file every few milliseconds, so the reader never waits on a disk. The file stops
// growing at a limit; a full ring drops bytes and counts them rather than hold the reader.

#include "device/StreamRecording.h"
#include "platform/Platform.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

constexpr std::uint64_t RECORDING_DEFAULT_LIMIT = 256ull << 20;

// How a recording ended, for the log.
enum class RECORDING_END
{
    RUNNING,
    STOPPED,
    LIMIT_REACHED,
    WRITE_FAILED,
};

class CStreamRecorder
{
public:
    CStreamRecorder() = default;
    ~CStreamRecorder();
    CStreamRecorder(const CStreamRecorder&) = delete;
    CStreamRecorder& operator=(const CStreamRecorder&) = delete;

    // Writes the header to a new file and starts the writer. notifyMessage, when not 0, is
    // posted to the main window when the recording ends by itself (limit or write failure).
    [[nodiscard]] bool Start(const std::wstring& path, const RECORDING_HEADER& header,
                             std::uint64_t limitBytes = RECORDING_DEFAULT_LIMIT,
                             std::uint32_t notifyMessage = 0);
    // Writes what the ring still holds and ends the writer. Any thread but the reader.
    void Stop();
    bool IsRecording() const { return m_bOn.load(std::memory_order_relaxed); }

    // Reader thread: one byte of a unit, at the platform's clock. Never blocks.
    void Add(std::uint16_t unit, std::uint8_t byte, std::uint64_t micros)
    {
        if (!m_bOn.load(std::memory_order_relaxed))
            return;
        const std::uint32_t head = m_nHead.load(std::memory_order_relaxed);
        if (head - m_nTail.load(std::memory_order_acquire) >= RING_SIZE)
        {
            m_nDropped.fetch_add(1, std::memory_order_relaxed);
            return;
        }
        m_ring[head & (RING_SIZE - 1)] = SLOT{micros, unit, byte};
        m_nHead.store(head + 1, std::memory_order_release);
    }

    std::uint64_t BytesWritten() const { return m_nWritten.load(std::memory_order_relaxed); }
    std::uint64_t BytesRecorded() const { return m_nRecorded.load(std::memory_order_relaxed); }
    std::uint64_t BytesDropped() const { return m_nDropped.load(std::memory_order_relaxed); }
    RECORDING_END End() const { return m_end.load(); }
    const std::wstring& Path() const { return m_strPath; }

private:
    struct SLOT
    {
        std::uint64_t micros = 0;
        std::uint16_t unit = 0;
        std::uint8_t byte = 0;
    };
    static constexpr std::uint32_t RING_SIZE = 1u << 16;

    void WriterLoop();
    // Encodes and writes what the ring holds; false once the recording has ended.
    bool Drain();
    void Finish(RECORDING_END end);

    std::unique_ptr<SLOT[]> m_ring{new SLOT[RING_SIZE]};
    std::atomic<std::uint32_t> m_nHead{0};
    std::atomic<std::uint32_t> m_nTail{0};
    std::atomic<bool> m_bOn{false};
    std::atomic<std::uint64_t> m_nWritten{0};
    std::atomic<std::uint64_t> m_nRecorded{0};
    std::atomic<std::uint64_t> m_nDropped{0};
    std::atomic<RECORDING_END> m_end{RECORDING_END::STOPPED};

    // Writer thread only, once started.
    std::wstring m_strPath;
    std::uint64_t m_nLimit = 0;
    std::uint64_t m_nLastMicros = 0;
    bool m_bFirst = true;
    std::uint32_t m_nNotify = 0;
    std::vector<std::uint8_t> m_buffer;

    std::thread m_writer;
    std::mutex m_wakeLock;
    std::condition_variable m_wake;
    bool m_bStopWriter = false;
};

// The program's recorder, which the camera link feeds.
CStreamRecorder& StreamRecorder();

// What the reader does with every byte it has read: one flag test while nothing records.
inline void RecordReceivedByte(std::uint16_t unit, std::uint8_t byte)
{
    CStreamRecorder& recorder = StreamRecorder();
    if (recorder.IsRecording())
        recorder.Add(unit, byte, Platform().MonotonicMicros());
}
