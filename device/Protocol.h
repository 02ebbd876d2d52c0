#pragma once
// Every byte the driver puts on the camera link and every packet it reads back.
// All multi-byte values are big-endian; every packet starts with '$' and ends with '&'.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace protocol
{
constexpr std::uint8_t PACKET_START = 0x24; // '$'
constexpr std::uint8_t PACKET_END = 0x26;   // '&'

constexpr std::size_t COMMAND_LENGTH = 6;
constexpr std::size_t REPLY_LENGTH = 7;
constexpr std::size_t SINGLE_SPOT_LENGTH = 7;
constexpr std::size_t MULTI_SPOT_LENGTH = 12;

// Link settings applied at open and at every reconfiguration.
constexpr std::uint32_t BAUD_RATE = 460800;
constexpr std::uint32_t READ_TIMEOUT_MS = 300;
constexpr std::uint32_t WRITE_TIMEOUT_MS = 300;

// Command codes (byte 1 of a command packet).
constexpr std::uint8_t CMD_STREAM = 0x01;
constexpr std::uint8_t CMD_SETUP = 0x02;
constexpr std::uint8_t CMD_PARAMETER = 0x03;
constexpr std::uint8_t CMD_IMAGE_MODE = 0x06;
constexpr std::uint8_t CMD_IMAGE_STREAM = 0x07;
constexpr std::uint8_t CMD_SETTING_WRITE = 0x0B;
constexpr std::uint8_t CMD_SETTING_READ = 0x0C;

// Image mode operands.
constexpr std::uint8_t IMAGE_OFF = 0x00;
constexpr std::uint8_t IMAGE_640x480 = 0x01;
constexpr std::uint8_t IMAGE_320x240 = 0x03;
constexpr std::uint8_t IMAGE_160x120 = 0x05;

// Packet types (byte 1 of what the camera sends).
constexpr std::uint8_t TYPE_SPOT_A = 0x31;      // '1', single-spot form
constexpr std::uint8_t TYPE_REPLY = 0x32;       // '2', setting reply; also a single-spot type
constexpr std::uint8_t TYPE_NO_SPOT = 0x36;     // '6'
constexpr std::uint8_t TYPE_FIRST_SPOT = 0x37;  // '7', first spot, closes the previous frame
constexpr std::uint8_t TYPE_SECOND_SPOT = 0x38; // '8'
constexpr std::uint8_t TYPE_THIRD_SPOT = 0x39;  // '9'
constexpr std::uint8_t TYPE_FOURTH_SPOT = 0x3A; // ':'

using COMMAND_PACKET = std::array<std::uint8_t, COMMAND_LENGTH>;

constexpr COMMAND_PACKET MakeCommand(std::uint8_t code, std::uint8_t a, std::uint8_t b,
                                     std::uint8_t c)
{
    return {PACKET_START, code, a, b, c, PACKET_END};
}

constexpr COMMAND_PACKET STREAM_ON = MakeCommand(CMD_STREAM, 0, 0, 1);
constexpr COMMAND_PACKET STREAM_OFF = MakeCommand(CMD_STREAM, 0, 0, 0);
constexpr COMMAND_PACKET IMAGE_MODE_OFF = MakeCommand(CMD_IMAGE_MODE, 0, 0, IMAGE_OFF);

// Sent to each camera, in this order, before pen tracking starts.
constexpr std::array<COMMAND_PACKET, 12> TRACKING_SETUP = {
    MakeCommand(CMD_STREAM, 0x00, 0x00, 0x01),    MakeCommand(CMD_SETUP, 0x00, 0x00, 0x80),
    MakeCommand(CMD_PARAMETER, 0x00, 0xA6, 0x24), MakeCommand(CMD_PARAMETER, 0x00, 0x9B, 0x00),
    MakeCommand(CMD_PARAMETER, 0x00, 0x9C, 0xFF), MakeCommand(CMD_PARAMETER, 0x00, 0x13, 0x88),
    MakeCommand(CMD_PARAMETER, 0x00, 0x01, 0x04), MakeCommand(CMD_PARAMETER, 0x00, 0x03, 0x04),
    MakeCommand(CMD_PARAMETER, 0x00, 0x02, 0x04), MakeCommand(CMD_PARAMETER, 0x00, 0x10, 0x50),
    MakeCommand(CMD_PARAMETER, 0x00, 0x08, 0x00), MakeCommand(CMD_PARAMETER, 0x00, 0x00, 0x14),
};

constexpr COMMAND_PACKET SettingWrite(std::uint8_t address, std::uint8_t value)
{
    return MakeCommand(CMD_SETTING_WRITE, 0, address, value);
}

constexpr COMMAND_PACKET SettingRead(std::uint8_t address)
{
    return MakeCommand(CMD_SETTING_READ, 0, address, 0);
}

// Numbered commands of the camera link: codes 2 to 9. Code 2 is image stream on, 3 off,
// 4 stream on, 5 off, 6 to 9 image modes.
struct NUMBERED_COMMAND
{
    COMMAND_PACKET packet;
    std::int32_t imageWidth; // -1: the command does not change the recorded image size
    std::int32_t imageHeight;
};

constexpr int FIRST_NUMBERED_COMMAND = 2;
constexpr int LAST_NUMBERED_COMMAND = 9;
constexpr int CMD_NUM_IMAGE_STREAM_ON = 2;
constexpr int CMD_NUM_IMAGE_STREAM_OFF = 3;
constexpr int CMD_NUM_STREAM_ON = 4;
constexpr int CMD_NUM_STREAM_OFF = 5;
constexpr int CMD_NUM_IMAGE_OFF = 6;
constexpr int CMD_NUM_IMAGE_640 = 7;
constexpr int CMD_NUM_IMAGE_320 = 8;
constexpr int CMD_NUM_IMAGE_160 = 9;

constexpr std::array<NUMBERED_COMMAND, 8> NUMBERED_COMMANDS = {{
    {MakeCommand(CMD_IMAGE_STREAM, 0, 0, 1), -1, -1},
    {MakeCommand(CMD_IMAGE_STREAM, 0, 0, 0), -1, -1},
    {MakeCommand(CMD_STREAM, 0, 0, 1), -1, -1},
    {MakeCommand(CMD_STREAM, 0, 0, 0), -1, -1},
    {MakeCommand(CMD_IMAGE_MODE, 0, 0, IMAGE_OFF), 0, 0},
    {MakeCommand(CMD_IMAGE_MODE, 0, 0, IMAGE_640x480), 640, 480},
    {MakeCommand(CMD_IMAGE_MODE, 0, 0, IMAGE_320x240), 320, 240},
    {MakeCommand(CMD_IMAGE_MODE, 0, 0, IMAGE_160x120), 160, 120},
}};

// The numbered command for a code, or null for an unknown code.
constexpr const NUMBERED_COMMAND* FindNumberedCommand(int code)
{
    if (code < FIRST_NUMBERED_COMMAND || code > LAST_NUMBERED_COMMAND)
        return nullptr;
    return &NUMBERED_COMMANDS[static_cast<std::size_t>(code - FIRST_NUMBERED_COMMAND)];
}

// Setting store addresses (one byte each).
constexpr std::uint8_t ADDR_VERSION_PROBE = 0;
constexpr std::uint8_t ADDR_FIRMWARE_MINOR = 1;
constexpr std::uint8_t ADDR_DEVICE_SETTING2 = 2;
constexpr std::uint8_t ADDR_DEVICE_SETTING3 = 3;
constexpr std::uint8_t ADDR_CALIBRATED = 4;
constexpr std::uint8_t ADDR_CEILING = 5;
constexpr std::uint8_t ADDR_DEVICE_SETTING6 = 6;
constexpr std::uint8_t ADDR_CALIB_MODEL = 7;
constexpr std::uint8_t ADDR_INKORA = 8;
constexpr std::uint8_t ADDR_REAR = 11;
constexpr std::uint8_t ADDR_CALIB_HIGH = 13;
constexpr std::uint8_t ADDR_CALIB_LOW = 45;
constexpr int CALIB_WORD_COUNT = 32;
constexpr int SETTING_STORE_SIZE = 256;

// Word k of the calibration store: high byte at 13 + k, low byte at 45 + k.
constexpr std::uint8_t CalibWordHigh(int word)
{
    return static_cast<std::uint8_t>(ADDR_CALIB_HIGH + word);
}
constexpr std::uint8_t CalibWordLow(int word)
{
    return static_cast<std::uint8_t>(ADDR_CALIB_LOW + word);
}

// Multi-spot firmware starts at this version.
constexpr double MULTI_SPOT_VERSION = 1.23;
// Multi-spot firmware reports up to four spots per frame; older firmware one spot.
constexpr bool IsMultiSpotVersion(double version)
{
    return version >= MULTI_SPOT_VERSION;
}

// Firmware minor bytes outside 0x10..0xFE do not name a real version.
constexpr bool IsValidFirmwareMinor(int minor)
{
    return minor >= 0x10 && minor != 0xFF;
}

// The version text's leading part: the digit 1 and a period.
std::string FirmwareVersionPrefix();
// The minor byte as the version text's tail: lower-case hex, no leading zeros; 0 when invalid.
std::string FirmwareMinorText(int minor);
// Whether a version text counts as a failed detection (a letter in it).
int CountLetters(const std::string& text);
// Parses the version text as a decimal number the way "%lf" does; 0 when nothing parses.
double ParseVersionText(const std::string& text);

// Reads a setting reply: type '2' only. Ends at the seventh byte when it is '&', and early
// when '&' arrives as byte 2, 3 or 4 (value 0) or as byte 5 (value 0x26).
class CSettingReplyReader
{
public:
    // Feeds one byte; returns true when a reply has ended, with its value in Value().
    bool Feed(std::uint8_t byte);
    std::uint8_t Value() const { return m_nValue; }

private:
    std::size_t m_nPos = 0;
    std::uint8_t m_nByte5 = 0;
    std::uint8_t m_nValue = 0;
};

// Reads firmware-version replies: type '2' only; takes byte 5 when the seventh byte
// arrives, whatever that byte is.
class CVersionReplyReader
{
public:
    bool Feed(std::uint8_t byte);
    std::uint8_t Value() const { return m_nValue; }

private:
    std::size_t m_nPos = 0;
    std::uint8_t m_nByte5 = 0;
    std::uint8_t m_nValue = 0;
};

// Packet builders for what a camera sends (the simulator and tests use them).
std::array<std::uint8_t, REPLY_LENGTH> MakeReply(std::uint8_t value);
std::array<std::uint8_t, SINGLE_SPOT_LENGTH> MakeSingleSpot(int x, int y,
                                                            std::uint8_t type = TYPE_SPOT_A);
std::array<std::uint8_t, MULTI_SPOT_LENGTH> MakeMultiSpot(std::uint8_t type, std::uint32_t a,
                                                          std::uint32_t b, std::uint32_t c);
} // namespace protocol
