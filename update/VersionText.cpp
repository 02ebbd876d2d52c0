#include "update/VersionText.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace
{
bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

std::uint32_t PartValue(std::wstring_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-'))
    {
        if (text[i] == L'-')
            return 0;
        ++i;
    }
    constexpr std::uint64_t largest = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i)
        value = std::min(largest, value * 10 + static_cast<std::uint64_t>(text[i] - L'0'));
    return static_cast<std::uint32_t>(value);
}
} // namespace

VERSION_NUMBER ParseVersionText(std::wstring_view text)
{
    VERSION_NUMBER version;
    for (std::uint32_t& part : version.part)
    {
        const std::size_t dot = text.find(L'.');
        part = PartValue(text.substr(0, dot));
        if (dot == std::wstring_view::npos)
            break;
        text.remove_prefix(dot + 1);
    }
    return version;
}

std::wstring FormatVersionText(const VERSION_NUMBER& version)
{
    wchar_t text[64];
    std::swprintf(text, sizeof text / sizeof text[0], L"%u.%u.%u.%u", version.part[0],
                  version.part[1], version.part[2], version.part[3]);
    return text;
}
