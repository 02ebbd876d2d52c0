#pragma once
// One record per camera: handle, last byte read and the monitor it serves.

#include "device/D2xxApi.h"

#include <cstdint>

// What the reader's last pass brought for a camera.
enum : std::uint8_t
{
    // rxByte was just read.
    RX_NEW_BYTE = 0,
    // No byte for a whole read time-out, or the read failed: rxByte is the previous byte,
    // handed on again (the stall watch counts these).
    RX_QUIET = 1,
    // Another camera's byte made this pass: rxByte was handed on before and is not new.
    RX_NOTHING_NEW = 2,
    // Nothing came for the quiet gap right after a packet's last byte: the unit has sent the
    // frame it was sending. rxByte is that last byte again, not new.
    RX_LINK_IDLE = 3,
};

struct CAMERA_RECORD
{
    // Cameras in the table when it was filled; all bits set when this camera's firmware
    // version could not be read.
    std::uint32_t count = 0;
    std::uint16_t index = 0;
    std::uint32_t bytesRead = 0;
    FT_HANDLE handle = nullptr;
    std::int32_t imageWidth = 0;
    std::int32_t imageHeight = 0;
    // The byte of the last read in the low 8 bits.
    std::uint32_t rxByte = 0;
    std::uint32_t location = 0;
    double firmwareVersion = 0.0;
    std::int32_t monitorRect[4] = {0, 0, 0, 0};
    std::uint16_t monitorIndex = 0xFFFF;
    std::uint8_t rxState = RX_NEW_BYTE;
};

constexpr std::uint32_t CAMERA_RECORD_UNREADABLE = 0xFFFFFFFFu;

// The byte a camera record carries for this pass.
inline std::uint8_t ByteOf(const CAMERA_RECORD& record)
{
    return static_cast<std::uint8_t>(record.rxByte & 0xFF);
}
