// A recording of the camera stream at a desk: what it holds and a piece of it.
//
//   rectool info FILE                 the header and a summary per unit: duration, bytes,
//                                     frames, spots, gaps, garbage bytes
//   rectool cut FILE OUT FROM_MS TO_MS  the bytes recorded from FROM_MS up to TO_MS (ms from
//                                     the recording's start) into OUT, with the same header
//
// Exit status 0, or 1 with a line on standard error.

#include "device/PacketFramer.h"
#include "device/Protocol.h"
#include "device/StreamRecording.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
// A silence this long in the middle of a stream is a gap: ten frames at the usual rate.
constexpr std::uint64_t GAP_MICROS = 100'000;

bool IsSpotType(std::uint8_t type)
{
    return type == protocol::TYPE_FIRST_SPOT || type == protocol::TYPE_SECOND_SPOT ||
           type == protocol::TYPE_THIRD_SPOT || type == protocol::TYPE_FOURTH_SPOT;
}

bool IsMultiType(std::uint8_t type)
{
    return type == protocol::TYPE_NO_SPOT || IsSpotType(type);
}

bool IsSingleType(std::uint8_t type)
{
    return type == protocol::TYPE_SPOT_A || type == protocol::TYPE_REPLY;
}

struct UNIT_SUMMARY
{
    std::uint64_t bytes = 0;
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t frames = 0;
    std::uint64_t spots = 0;
    std::uint64_t gaps = 0;
    std::uint64_t longestGap = 0;
    std::uint64_t packetBytes = 0;
    // Framing state.
    std::uint8_t buffer[protocol::MULTI_SPOT_LENGTH] = {};
    std::uint16_t pos = 0;
};

bool Load(const char* path, RECORDING_HEADER& header, std::vector<RECORDED_BYTE>& bytes,
          bool& truncated)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    if (!in && !in.eof())
        return false;
    return ReadRecording(file, header, bytes, &truncated);
}

void Summarise(const RECORDING_HEADER& header, const std::vector<RECORDED_BYTE>& bytes)
{
    std::vector<UNIT_SUMMARY> units(header.units.size());
    for (const RECORDED_BYTE& byte : bytes)
    {
        UNIT_SUMMARY& unit = units[byte.unit];
        if (unit.bytes == 0)
            unit.first = byte.micros;
        else if (byte.micros - unit.last >= GAP_MICROS)
        {
            ++unit.gaps;
            unit.longestGap = std::max(unit.longestGap, byte.micros - unit.last);
        }
        unit.last = byte.micros;
        ++unit.bytes;
        const bool multi = header.units[byte.unit].firmwareVersion >= protocol::MULTI_SPOT_VERSION;
        const FRAME_RULES rules = multi ? FRAME_RULES{protocol::MULTI_SPOT_LENGTH, &IsMultiType}
                                        : FRAME_RULES{protocol::SINGLE_SPOT_LENGTH, &IsSingleType};
        if (FrameByte(unit.buffer, unit.pos, byte.byte, rules) != FRAME_RESULT::Complete)
            continue;
        unit.packetBytes += rules.length;
        const std::uint8_t type = unit.buffer[1];
        if (!multi || type == protocol::TYPE_FIRST_SPOT || type == protocol::TYPE_NO_SPOT)
            ++unit.frames;
        if (!multi || IsSpotType(type))
            ++unit.spots;
    }
    const std::uint64_t duration = bytes.empty() ? 0 : bytes.back().micros - bytes.front().micros;
    std::printf("duration: %.3f s, %zu bytes\n", double(duration) / 1e6, bytes.size());
    for (std::size_t i = 0; i < units.size(); ++i)
    {
        const UNIT_SUMMARY& unit = units[i];
        std::printf("unit %zu: bytes=%llu frames=%llu spots=%llu gaps=%llu longest_gap_ms=%.1f "
                    "garbage_bytes=%llu\n",
                    i, static_cast<unsigned long long>(unit.bytes),
                    static_cast<unsigned long long>(unit.frames),
                    static_cast<unsigned long long>(unit.spots),
                    static_cast<unsigned long long>(unit.gaps), double(unit.longestGap) / 1e3,
                    static_cast<unsigned long long>(unit.bytes - unit.packetBytes - unit.pos));
    }
}

int Info(const char* path)
{
    RECORDING_HEADER header;
    std::vector<RECORDED_BYTE> bytes;
    bool truncated = false;
    if (!Load(path, header, bytes, truncated))
    {
        std::fprintf(stderr, "rectool: %s is not a recording\n", path);
        return 1;
    }
    std::printf("format: %u%s\n", unsigned{header.version},
                truncated ? " (cut short inside a record)" : "");
    std::printf("screen: %d x %d, model %u, calibrated %u, ceiling mount %u, rear projection %u\n",
                header.screenWidth, header.screenHeight, unsigned{header.calibModel},
                unsigned{header.calibrated}, unsigned{header.ceilingMount},
                unsigned{header.rearProjection});
    for (std::size_t i = 0; i < header.units.size(); ++i)
    {
        const RECORDING_UNIT& unit = header.units[i];
        std::printf("unit %zu: firmware %.2f, location 0x%08X, monitor (%d, %d) to (%d, %d), %zu "
                    "calibration values\n",
                    i, unit.firmwareVersion, unit.location, unit.monitorRect[0],
                    unit.monitorRect[1], unit.monitorRect[2], unit.monitorRect[3],
                    unit.calibration.size());
    }
    Summarise(header, bytes);
    return 0;
}

int Cut(const char* path, const char* outPath, double fromMs, double toMs)
{
    RECORDING_HEADER header;
    std::vector<RECORDED_BYTE> bytes;
    bool truncated = false;
    if (!Load(path, header, bytes, truncated))
    {
        std::fprintf(stderr, "rectool: %s is not a recording\n", path);
        return 1;
    }
    std::vector<std::uint8_t> out = EncodeRecordingHeader(header);
    const std::uint64_t start = bytes.empty() ? 0 : bytes.front().micros;
    const auto from = start + static_cast<std::uint64_t>(std::max(0.0, fromMs) * 1000.0);
    const auto to = start + static_cast<std::uint64_t>(std::max(0.0, toMs) * 1000.0);
    bool first = true;
    std::uint64_t last = 0;
    std::size_t kept = 0;
    for (const RECORDED_BYTE& byte : bytes)
    {
        if (byte.micros < from || byte.micros >= to)
            continue;
        EncodeRecordedByte(out, first ? 0 : byte.micros - last, byte.unit, byte.byte);
        first = false;
        last = byte.micros;
        ++kept;
    }
    std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    file.close();
    if (!file)
    {
        std::fprintf(stderr, "rectool: cannot write %s\n", outPath);
        return 1;
    }
    std::printf("kept %zu of %zu bytes\n", kept, bytes.size());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "info" && argc == 3)
        return Info(argv[2]);
    if (command == "cut" && argc == 6)
        return Cut(argv[2], argv[3], std::atof(argv[4]), std::atof(argv[5]));
    std::fprintf(stderr, "usage: rectool info FILE\n       rectool cut FILE OUT FROM_MS TO_MS\n");
    return 1;
}
