#pragma once
// Helpers for the simulator's tests: a port opened through the D2XX entry points the way
// the driver opens a camera, and packet framing written from the wire layout.

#include "device/Protocol.h"
#include "sim/SimBus.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace simtest
{
inline std::string Utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// One listed unit, opened and configured through the bound entry points. Its bridge hands
// on every byte as it crosses the link, so the link itself is what a test sees.
class CPort
{
public:
    explicit CPort(CSimBus& bus, int index = 0) : m_bus(bus), m_d2xx(SimD2xxTable())
    {
        bus.Execute("unit " + std::to_string(index) + " bridge 0");
        m_status = m_d2xx.pFT_Open(index, &m_handle);
        if (m_status == FT_OK)
        {
            m_d2xx.pFT_ResetDevice(m_handle);
            m_d2xx.pFT_SetBaudRate(m_handle, protocol::BAUD_RATE);
            m_d2xx.pFT_Purge(m_handle, FT_PURGE_RX);
            m_d2xx.pFT_SetTimeouts(m_handle, protocol::READ_TIMEOUT_MS, protocol::WRITE_TIMEOUT_MS);
        }
    }
    ~CPort()
    {
        if (m_status == FT_OK)
            m_d2xx.pFT_Close(m_handle);
    }
    CPort(const CPort&) = delete;
    CPort& operator=(const CPort&) = delete;

    FT_HANDLE Handle() const { return m_handle; }
    const D2XX_TABLE& D2xx() const { return m_d2xx; }

    FT_STATUS Send(const protocol::COMMAND_PACKET& packet)
    {
        std::uint32_t written = 0;
        protocol::COMMAND_PACKET copy = packet;
        return m_d2xx.pFT_Write(m_handle, copy.data(), std::uint32_t(copy.size()), &written);
    }

    // One byte, or -1 when the read time-out passed without one.
    int ReadByte()
    {
        std::uint8_t byte = 0;
        std::uint32_t got = 0;
        m_d2xx.pFT_Read(m_handle, &byte, 1, &got);
        return got == 1 ? byte : -1;
    }

    // Lets `micros` of bus time pass, then takes every byte that has arrived by then.
    std::vector<std::uint8_t> ReadFor(std::uint64_t micros)
    {
        m_bus.Advance(micros);
        std::uint32_t ready = 0;
        m_d2xx.pFT_GetQueueStatus(m_handle, &ready);
        std::vector<std::uint8_t> bytes(ready);
        std::uint32_t got = 0;
        if (ready > 0)
            m_d2xx.pFT_Read(m_handle, bytes.data(), ready, &got);
        bytes.resize(got);
        return bytes;
    }

    // The value of the next complete setting reply, or -1 when a read times out first.
    int ReadReply()
    {
        protocol::CSettingReplyReader reader;
        for (int b = ReadByte(); b >= 0; b = ReadByte())
        {
            if (reader.Feed(std::uint8_t(b)))
                return reader.Value();
        }
        return -1;
    }

private:
    CSimBus& m_bus;
    D2XX_TABLE m_d2xx;
    FT_HANDLE m_handle = nullptr;
    FT_STATUS m_status = FT_OTHER_ERROR;
};

// Frames a byte stream into packets of the given length that start with '$', have an
// accepted type and end with '&'; anything else is skipped byte by byte.
inline std::vector<std::vector<std::uint8_t>> Packets(const std::vector<std::uint8_t>& stream,
                                                      std::size_t length, const std::string& types)
{
    std::vector<std::vector<std::uint8_t>> packets;
    std::size_t i = 0;
    while (i + length <= stream.size())
    {
        if (stream[i] == '$' && types.find(char(stream[i + 1])) != std::string::npos &&
            stream[i + length - 1] == '&')
        {
            packets.emplace_back(stream.begin() + long(i), stream.begin() + long(i + length));
            i += length;
        }
        else
        {
            ++i;
        }
    }
    return packets;
}
} // namespace simtest
