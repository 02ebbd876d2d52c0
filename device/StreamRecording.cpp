#include "device/StreamRecording.h"

#include <algorithm>
#include <bit>
#include <type_traits>

namespace
{
// Fields are little-endian whatever the machine; a double travels as its 64 bits.
template <class T> std::uint64_t BitsOf(T value)
{
    if constexpr (std::is_same_v<T, double>)
        return std::bit_cast<std::uint64_t>(value);
    else
        return static_cast<std::make_unsigned_t<T>>(value);
}

template <class T> void Put(std::vector<std::uint8_t>& out, T value)
{
    const std::uint64_t bits = BitsOf(value);
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

// Reads fields from the header body; every read past its end fails.
class CFieldReader
{
public:
    explicit CFieldReader(const std::vector<std::uint8_t>& body) : m_body(body) {}
    template <class T> bool Get(T& value)
    {
        if (m_body.size() - m_nPos < sizeof(T))
            return false;
        std::uint64_t bits = 0;
        for (std::size_t i = 0; i < sizeof(T); ++i)
            bits |= std::uint64_t{m_body[m_nPos + i]} << (8 * i);
        m_nPos += sizeof(T);
        if constexpr (std::is_same_v<T, double>)
            value = std::bit_cast<double>(bits);
        else
            value = static_cast<T>(static_cast<std::make_unsigned_t<T>>(bits));
        return true;
    }

private:
    const std::vector<std::uint8_t>& m_body;
    std::size_t m_nPos = 0;
};
} // namespace

std::vector<std::uint8_t> EncodeRecordingHeader(const RECORDING_HEADER& header)
{
    std::vector<std::uint8_t> body;
    const std::size_t units = std::min(header.units.size(), RECORDING_MAX_UNITS);
    Put<std::uint8_t>(body, static_cast<std::uint8_t>(units));
    for (std::size_t i = 0; i < units; ++i)
    {
        const RECORDING_UNIT& unit = header.units[i];
        Put<double>(body, unit.firmwareVersion);
        Put<std::uint32_t>(body, unit.location);
        for (std::int32_t edge : unit.monitorRect)
            Put<std::int32_t>(body, edge);
    }
    Put<std::uint8_t>(body, header.calibModel);
    Put<std::uint8_t>(body, header.calibrated);
    Put<std::uint8_t>(body, header.ceilingMount);
    Put<std::uint8_t>(body, header.rearProjection);
    Put<std::int32_t>(body, header.screenWidth);
    Put<std::int32_t>(body, header.screenHeight);
    for (std::size_t i = 0; i < units; ++i)
    {
        const std::vector<double>& params = header.units[i].calibration;
        const std::size_t count = std::min(params.size(), RECORDING_MAX_PARAMS);
        Put<std::uint8_t>(body, static_cast<std::uint8_t>(count));
        for (std::size_t p = 0; p < count; ++p)
            Put<double>(body, params[p]);
    }
    std::vector<std::uint8_t> out;
    for (char c : RECORDING_MAGIC)
        out.push_back(static_cast<std::uint8_t>(c));
    Put<std::uint16_t>(out, RECORDING_VERSION);
    Put<std::uint16_t>(out, static_cast<std::uint16_t>(body.size()));
    for (std::uint8_t byte : body)
        out.push_back(byte);
    return out;
}

void EncodeRecordedByte(std::vector<std::uint8_t>& out, std::uint64_t delta, std::uint16_t unit,
                        std::uint8_t byte)
{
    // Deltas beyond 2^62 microseconds (146 000 years) do not occur.
    std::uint64_t value = (delta << 2) | (unit & 3u);
    while (value >= 0x80)
    {
        out.push_back(static_cast<std::uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(byte);
}

CRecordingParser::RESULT CRecordingParser::Fail()
{
    m_state = STATE::FAILED;
    return RESULT::INVALID;
}

CRecordingParser::RESULT CRecordingParser::Feed(std::uint8_t byte)
{
    switch (m_state)
    {
    case STATE::MAGIC:
        if (byte != static_cast<std::uint8_t>(RECORDING_MAGIC[m_nPos]))
            return Fail();
        if (++m_nPos == sizeof RECORDING_MAGIC)
        {
            m_state = STATE::VERSION;
            m_nPos = 0;
            m_nField = 0;
        }
        return RESULT::MORE;
    case STATE::VERSION:
        m_nField |= std::uint32_t{byte} << (8 * m_nPos);
        if (++m_nPos < 2)
            return RESULT::MORE;
        // A later format may add header fields, never change the records.
        if (m_nField == 0)
            return Fail();
        m_header.version = static_cast<std::uint16_t>(m_nField);
        m_state = STATE::HEADER_LENGTH;
        m_nPos = 0;
        m_nField = 0;
        return RESULT::MORE;
    case STATE::HEADER_LENGTH:
        m_nField |= std::uint32_t{byte} << (8 * m_nPos);
        if (++m_nPos < 2)
            return RESULT::MORE;
        if (m_nField > RECORDING_MAX_HEADER)
            return Fail();
        m_nBodyLength = m_nField;
        m_body.clear();
        m_state = STATE::HEADER_BODY;
        if (m_nBodyLength == 0)
            return Fail();
        return RESULT::MORE;
    case STATE::HEADER_BODY:
        m_body.push_back(byte);
        if (m_body.size() < m_nBodyLength)
            return RESULT::MORE;
        if (!DecodeHeaderBody())
            return Fail();
        m_state = STATE::DELTA;
        m_nDelta = 0;
        m_nShift = 0;
        return RESULT::HEADER;
    case STATE::DELTA:
        if (m_nShift >= 63)
            return Fail();
        m_nDelta |= std::uint64_t{byte & 0x7Fu} << m_nShift;
        if ((byte & 0x80) != 0)
        {
            m_nShift += 7;
            return RESULT::MORE;
        }
        m_state = STATE::DATA;
        return RESULT::MORE;
    case STATE::DATA:
        // Time never runs backwards, not even by overflowing.
        if (m_nTime + (m_nDelta >> 2) < m_nTime)
            return Fail();
        m_nTime += m_nDelta >> 2;
        m_byte.micros = m_nTime;
        m_byte.unit = static_cast<std::uint16_t>(m_nDelta & 3u);
        m_byte.byte = byte;
        m_state = STATE::DELTA;
        m_nDelta = 0;
        m_nShift = 0;
        if (m_byte.unit >= m_header.units.size())
            return Fail();
        return RESULT::RECORD;
    case STATE::FAILED:
        return RESULT::INVALID;
    }
    return Fail();
}

bool CRecordingParser::DecodeHeaderBody()
{
    CFieldReader reader(m_body);
    std::uint8_t units = 0;
    if (!reader.Get(units) || units == 0 || units > RECORDING_MAX_UNITS)
        return false;
    m_header.units.assign(units, RECORDING_UNIT{});
    for (RECORDING_UNIT& unit : m_header.units)
    {
        if (!reader.Get(unit.firmwareVersion) || !reader.Get(unit.location))
            return false;
        for (std::int32_t& edge : unit.monitorRect)
        {
            if (!reader.Get(edge))
                return false;
        }
    }
    if (!reader.Get(m_header.calibModel) || !reader.Get(m_header.calibrated) ||
        !reader.Get(m_header.ceilingMount) || !reader.Get(m_header.rearProjection) ||
        !reader.Get(m_header.screenWidth) || !reader.Get(m_header.screenHeight))
        return false;
    for (RECORDING_UNIT& unit : m_header.units)
    {
        std::uint8_t count = 0;
        if (!reader.Get(count) || count > RECORDING_MAX_PARAMS)
            return false;
        unit.calibration.assign(count, 0.0);
        for (double& param : unit.calibration)
        {
            if (!reader.Get(param))
                return false;
        }
    }
    return true;
}

bool ReadRecording(const std::vector<std::uint8_t>& file, RECORDING_HEADER& header,
                   std::vector<RECORDED_BYTE>& bytes, bool* truncated)
{
    CRecordingParser parser;
    bool haveHeader = false;
    bytes.clear();
    for (std::uint8_t byte : file)
    {
        switch (parser.Feed(byte))
        {
        case CRecordingParser::RESULT::MORE:
            break;
        case CRecordingParser::RESULT::HEADER:
            haveHeader = true;
            header = parser.Header();
            break;
        case CRecordingParser::RESULT::RECORD:
            bytes.push_back(parser.Byte());
            break;
        case CRecordingParser::RESULT::INVALID:
            return false;
        }
    }
    if (truncated != nullptr)
        *truncated = !parser.AtRecordBoundary();
    return haveHeader;
}
