#pragma once
// The file a recording of the camera stream is kept in: a small header that says what the
// driver knew when the recording started, then every byte the units sent, each with its unit
// and the microseconds since the one before. Little-endian throughout.
//
//   "TVRC"  u16 format version  u16 header body length  header body  records...
//   header body: u8 units; per unit: f64 firmware, u32 location, i32 monitor left, top, right,
//                bottom; u8 model, u8 calibrated, u8 ceiling mount, u8 rear projection,
//                i32 screen width, height; per unit: u8 n, n x f64 calibration parameters.
//   record:      varint (delta << 2 | unit), u8 byte
//
// A reader skips header fields it does not know (the body length says where they end), and a
// recording cut short ends at its last whole record.

#include <cstdint>
#include <string>
#include <vector>

constexpr std::uint16_t RECORDING_VERSION = 1;
constexpr std::size_t RECORDING_MAX_UNITS = 4;
constexpr std::size_t RECORDING_MAX_PARAMS = 32;
constexpr std::size_t RECORDING_MAX_HEADER = 4096;
inline constexpr char RECORDING_MAGIC[4] = {'T', 'V', 'R', 'C'};

struct RECORDING_UNIT
{
    double firmwareVersion = 0.0;
    std::uint32_t location = 0;
    std::int32_t monitorRect[4] = {0, 0, 0, 0};
    // The model in force for this unit: the sixteen-point model's parameters or the nine-point
    // model's homography, empty when there is none.
    std::vector<double> calibration;
};

struct RECORDING_HEADER
{
    std::uint16_t version = RECORDING_VERSION;
    std::vector<RECORDING_UNIT> units;
    std::uint8_t calibModel = 0;
    std::uint8_t calibrated = 0;
    std::uint8_t ceilingMount = 0;
    std::uint8_t rearProjection = 0;
    std::int32_t screenWidth = 0;
    std::int32_t screenHeight = 0;
};

// One byte a unit sent, at microseconds since the recording started.
struct RECORDED_BYTE
{
    std::uint64_t micros = 0;
    std::uint16_t unit = 0;
    std::uint8_t byte = 0;
};

// The header as it starts the file.
std::vector<std::uint8_t> EncodeRecordingHeader(const RECORDING_HEADER& header);
// Appends one record; delta is the microseconds since the previous record.
void EncodeRecordedByte(std::vector<std::uint8_t>& out, std::uint64_t delta, std::uint16_t unit,
                        std::uint8_t byte);

// Reads a recording one byte at a time: the header first, then the records.
class CRecordingParser
{
public:
    enum class RESULT
    {
        // More bytes are needed.
        MORE,
        // Header() is complete.
        HEADER,
        // Byte() is the next recorded byte.
        RECORD,
        // The file is not a recording this parser reads; every further byte gives INVALID.
        INVALID,
    };

    RESULT Feed(std::uint8_t byte);
    const RECORDING_HEADER& Header() const { return m_header; }
    const RECORDED_BYTE& Byte() const { return m_byte; }
    // True between records: a file that ends here ends cleanly.
    bool AtRecordBoundary() const { return m_state == STATE::DELTA && m_nShift == 0; }

private:
    enum class STATE
    {
        MAGIC,
        VERSION,
        HEADER_LENGTH,
        HEADER_BODY,
        DELTA,
        DATA,
        FAILED,
    };

    RESULT Fail();
    bool DecodeHeaderBody();

    STATE m_state = STATE::MAGIC;
    std::size_t m_nPos = 0;
    std::uint32_t m_nField = 0;
    std::vector<std::uint8_t> m_body;
    std::size_t m_nBodyLength = 0;
    std::uint64_t m_nDelta = 0;
    unsigned m_nShift = 0;
    std::uint64_t m_nTime = 0;
    RECORDING_HEADER m_header;
    RECORDED_BYTE m_byte;
};

// Reads a whole recording; false when it is not one. A recording cut short gives what it
// holds, with truncated set.
bool ReadRecording(const std::vector<std::uint8_t>& file, RECORDING_HEADER& header,
                   std::vector<RECORDED_BYTE>& bytes, bool* truncated = nullptr);
