// The recording reader on arbitrary bytes, and on recordings written from arbitrary content:
// a file it refuses stays refused, whatever follows; what the writer wrote reads back the
// same, header and every byte with its unit and time; and a recording cut anywhere gives the
// bytes before the cut and nothing else. A support tool that misreads a recording would turn a
// report into a false test.

#include "device/StreamRecording.h"
#include "tests/fuzz/FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace
{
void ParsesAnythingTotally(const std::uint8_t* data, std::size_t size)
{
    CRecordingParser parser;
    bool invalid = false;
    std::uint64_t lastMicros = 0;
    for (std::size_t n = 0; n < size; ++n)
    {
        const CRecordingParser::RESULT result = parser.Feed(data[n]);
        FuzzCheck(!invalid || result == CRecordingParser::RESULT::INVALID);
        invalid = result == CRecordingParser::RESULT::INVALID;
        if (result == CRecordingParser::RESULT::RECORD)
        {
            FuzzCheck(parser.Byte().unit < parser.Header().units.size());
            FuzzCheck(parser.Byte().micros >= lastMicros);
            lastMicros = parser.Byte().micros;
        }
    }
}

// Takes bytes from the input, zeros once it is used up.
class CTake
{
public:
    CTake(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::uint32_t Word()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | Byte();
        return value;
    }
    bool Left() const { return m_pos < m_size; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

void ReadsBackWhatWasWritten(const std::uint8_t* data, std::size_t size)
{
    CTake take(data, size);
    RECORDING_HEADER header;
    header.units.resize(1 + take.Byte() % RECORDING_MAX_UNITS);
    for (RECORDING_UNIT& unit : header.units)
    {
        unit.firmwareVersion = 1.0 + take.Byte() / 100.0;
        unit.location = take.Word();
        for (std::int32_t& edge : unit.monitorRect)
            edge = static_cast<std::int32_t>(take.Word());
        unit.calibration.resize(take.Byte() % (RECORDING_MAX_PARAMS + 1));
        for (double& param : unit.calibration)
            param = static_cast<std::int32_t>(take.Word()) / 1024.0;
    }
    header.calibModel = take.Byte();
    header.screenWidth = static_cast<std::int32_t>(take.Word());
    std::vector<std::uint8_t> file = EncodeRecordingHeader(header);
    const std::size_t headerSize = file.size();
    std::vector<RECORDED_BYTE> written;
    std::vector<std::size_t> ends;
    std::uint64_t micros = 0;
    while (take.Left())
    {
        // Mostly bytes a few microseconds apart, now and then a long gap.
        const std::uint8_t control = take.Byte();
        const std::uint64_t delta = control & 0x80 ? take.Word() : control & 0x3F;
        micros += delta;
        RECORDED_BYTE byte{micros, static_cast<std::uint16_t>(take.Byte() % header.units.size()),
                           take.Byte()};
        EncodeRecordedByte(file, delta, byte.unit, byte.byte);
        written.push_back(byte);
        ends.push_back(file.size());
    }

    RECORDING_HEADER readHeader;
    std::vector<RECORDED_BYTE> read;
    bool truncated = true;
    FuzzCheck(ReadRecording(file, readHeader, read, &truncated));
    FuzzCheck(!truncated);
    FuzzCheck(readHeader.units.size() == header.units.size());
    for (std::size_t i = 0; i < header.units.size(); ++i)
    {
        FuzzCheck(readHeader.units[i].location == header.units[i].location);
        FuzzCheck(readHeader.units[i].calibration == header.units[i].calibration);
        FuzzCheck(std::ranges::equal(readHeader.units[i].monitorRect, header.units[i].monitorRect));
    }
    FuzzCheck(readHeader.calibModel == header.calibModel);
    FuzzCheck(readHeader.screenWidth == header.screenWidth);
    FuzzCheck(read.size() == written.size());
    for (std::size_t i = 0; i < read.size(); ++i)
    {
        FuzzCheck(read[i].micros == written[i].micros && read[i].unit == written[i].unit &&
                  read[i].byte == written[i].byte);
    }

    // Cut where the first input byte says: only whole records before the cut come back.
    if (file.size() > headerSize && size > 0)
    {
        const std::size_t cut = headerSize + data[0] % (file.size() - headerSize);
        const std::vector<std::uint8_t> part(file.begin(), file.begin() + std::ptrdiff_t(cut));
        FuzzCheck(ReadRecording(part, readHeader, read, &truncated));
        std::size_t whole = 0;
        while (whole < ends.size() && ends[whole] <= cut)
            ++whole;
        FuzzCheck(read.size() == whole);
        FuzzCheck(truncated == (cut != headerSize && (whole == 0 || ends[whole - 1] != cut)));
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ParsesAnythingTotally(data, size);
    ReadsBackWhatWasWritten(data, size);
    return 0;
}
