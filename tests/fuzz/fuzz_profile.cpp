// The portable profile store on arbitrary file bytes: decoding and encoding agree, a read
// never hands back more than its buffer holds, and a write makes the key read back as
// written while leaving other keys as they were.

#include "settings/PortableProfile.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace
{
void FuzzCheck(bool condition)
{
    if (!condition)
        std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const PROFILE_TEXT decoded = DecodeProfileBytes(bytes);

    // What is decoded encodes to bytes that decode to the same text.
    const PROFILE_TEXT again = DecodeProfileBytes(EncodeProfileBytes(decoded));
    FuzzCheck(again.encoding == decoded.encoding);
    FuzzCheck(again.text == decoded.text);

    for (const std::size_t bufferChars : {std::size_t{1}, std::size_t{5}, std::size_t{30}})
    {
        const std::wstring read =
            ReadProfileText(decoded.text, L"State", L"Save", L"default value", bufferChars);
        FuzzCheck(read.size() <= bufferChars - 1);
    }

    std::wstring text = decoded.text;
    const auto otherKey = FindProfileValue(text, L"State", L"Select Server");
    const auto otherSection = FindProfileValue(text, L"1024_768_Vector0", L"v0");
    FuzzCheck(SetProfileValue(text, L"State", L"Save", L"42"));
    FuzzCheck(FindProfileValue(text, L"State", L"Save") == std::wstring(L"42"));
    FuzzCheck(FindProfileValue(text, L"State", L"Select Server") == otherKey);
    FuzzCheck(FindProfileValue(text, L"1024_768_Vector0", L"v0") == otherSection);
    return 0;
}
