// The two reply readers on arbitrary bytes: whatever came before, seven '&' bring each back
// to waiting for a packet start, and a well-formed reply is then read with its value. A
// reader that a hostile byte sequence could wedge would lose every later setting.

#include "device/Protocol.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>

namespace
{
template <typename READER>
void ReadsAReplyAfter(const std::uint8_t* data, std::size_t size, std::uint8_t value)
{
    READER reader;
    for (std::size_t n = 0; n < size; ++n)
        reader.Feed(data[n]);
    for (std::size_t n = 0; n < protocol::REPLY_LENGTH; ++n)
        reader.Feed(protocol::PACKET_END);
    const auto reply = protocol::MakeReply(value);
    std::size_t endedAt = reply.size();
    for (std::size_t n = 0; n < reply.size(); ++n)
    {
        if (reader.Feed(reply[n]) && endedAt == reply.size())
            endedAt = n;
    }
    // A value of '&' in byte 5 ends the setting reply one byte early, as the firmware does.
    FuzzCheck(endedAt == reply.size() - 1 || (value == protocol::PACKET_END && endedAt == 5));
    FuzzCheck(reader.Value() == value);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::uint8_t value = size > 0 ? data[0] : 0;
    ReadsAReplyAfter<protocol::CSettingReplyReader>(data, size, value);
    ReadsAReplyAfter<protocol::CVersionReplyReader>(data, size, value);
    return 0;
}
