// The two setting-reply readers on arbitrary bytes, each checked against its rules written
// out over the whole packet seen so far.

#include "device/Protocol.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
void FuzzCheck(bool condition)
{
    if (!condition)
        std::abort();
}

// The setting reply: '$', type '2', then it ends at a seventh byte '&', early at an '&' in
// byte 2, 3 or 4 (value 0) or byte 5 (value '&'); anything else at byte 6 drops the packet.
struct REFERENCE_SETTING
{
    std::vector<std::uint8_t> packet;
    bool Feed(std::uint8_t b, int& value)
    {
        if (packet.empty())
        {
            if (b == 0x24)
                packet.push_back(b);
            return false;
        }
        if (packet.size() == 1)
        {
            if (b == 0x32)
                packet.push_back(b);
            else
                packet.clear();
            return false;
        }
        packet.push_back(b);
        const std::size_t index = packet.size() - 1;
        if (index >= 2 && index <= 4 && b == 0x26)
        {
            value = 0;
            packet.clear();
            return true;
        }
        if (index == 5 && b == 0x26)
        {
            value = 0x26;
            packet.clear();
            return true;
        }
        if (index == 6)
        {
            value = packet[5];
            packet.clear();
            return b == 0x26;
        }
        return false;
    }
};

// The version reply: '$', type '2', and byte 5 is the value when the seventh byte arrives.
struct REFERENCE_VERSION
{
    std::vector<std::uint8_t> packet;
    bool Feed(std::uint8_t b, int& value)
    {
        if (packet.empty())
        {
            if (b == 0x24)
                packet.push_back(b);
            return false;
        }
        if (packet.size() == 1)
        {
            if (b == 0x32)
                packet.push_back(b);
            else
                packet.clear();
            return false;
        }
        packet.push_back(b);
        if (packet.size() < 7)
            return false;
        value = packet[5];
        packet.clear();
        return true;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    protocol::CSettingReplyReader setting;
    protocol::CVersionReplyReader version;
    REFERENCE_SETTING settingRule;
    REFERENCE_VERSION versionRule;
    for (std::size_t n = 0; n < size; ++n)
    {
        int expected = -1;
        const bool settingEnded = setting.Feed(data[n]);
        FuzzCheck(settingEnded == settingRule.Feed(data[n], expected));
        if (settingEnded)
            FuzzCheck(setting.Value() == expected);
        const bool versionEnded = version.Feed(data[n]);
        FuzzCheck(versionEnded == versionRule.Feed(data[n], expected));
        if (versionEnded)
            FuzzCheck(version.Value() == expected);
    }
    return 0;
}
