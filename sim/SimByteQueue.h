#pragma once
// The bytes a unit has sent and the host has not read yet, each with the instant it has
// fully crossed the link. A fixed ring allocated once: the read path never allocates.
// When the ring is full a whole chunk is lost, as when a bridge's receive buffer overflows.

#include <cstddef>
#include <cstdint>
#include <memory>

class CSimByteQueue
{
public:
    explicit CSimByteQueue(std::size_t capacity)
        : m_pBytes(new std::uint8_t[capacity]), m_pReadyAt(new std::uint64_t[capacity]),
          m_nCapacity(capacity)
    {
    }

    std::size_t Size() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }
    std::size_t Capacity() const { return m_nCapacity; }

    // Appends all of a chunk or nothing; false when it does not fit.
    bool PushChunk(const std::uint8_t* bytes, const std::uint64_t* readyAt, std::size_t count)
    {
        if (count > m_nCapacity - m_nCount)
            return false;
        for (std::size_t i = 0; i < count; ++i)
        {
            const std::size_t slot = (m_nHead + m_nCount) % m_nCapacity;
            m_pBytes[slot] = bytes[i];
            m_pReadyAt[slot] = readyAt[i];
            ++m_nCount;
        }
        return true;
    }

    // The i-th oldest byte and when it is readable; i below Size().
    std::uint8_t ByteOf(std::size_t i) const { return m_pBytes[(m_nHead + i) % m_nCapacity]; }
    std::uint64_t ReadyAtOf(std::size_t i) const { return m_pReadyAt[(m_nHead + i) % m_nCapacity]; }

    // Moves up to `max` bytes that are readable at `now` into `out`; `lastReadyAt`, if given,
    // gets when the last of them became readable.
    std::size_t PopReady(std::uint8_t* out, std::size_t max, std::uint64_t now,
                         std::uint64_t* lastReadyAt = nullptr)
    {
        std::size_t taken = 0;
        while (taken < max && m_nCount > 0 && m_pReadyAt[m_nHead] <= now)
        {
            if (lastReadyAt != nullptr)
                *lastReadyAt = m_pReadyAt[m_nHead];
            out[taken++] = m_pBytes[m_nHead];
            m_nHead = (m_nHead + 1) % m_nCapacity;
            --m_nCount;
        }
        return taken;
    }

    void Clear()
    {
        m_nHead = 0;
        m_nCount = 0;
    }

private:
    std::unique_ptr<std::uint8_t[]> m_pBytes;
    std::unique_ptr<std::uint64_t[]> m_pReadyAt;
    std::size_t m_nCapacity;
    std::size_t m_nHead = 0;
    std::size_t m_nCount = 0;
};
