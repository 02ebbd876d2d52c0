#include "update/ProfileText.h"

#include <algorithm>
#include <cwctype>
#include <optional>

namespace
{
// The blanks the profile functions trim: white space and the old end-of-file mark.
bool IsBlank(wchar_t c)
{
    return c == L' ' || (c >= L'\t' && c <= L'\r') || c == L'\x1A';
}

std::wstring_view Trimmed(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameName(std::wstring_view a, std::wstring_view b)
{
    a = Trimmed(a);
    b = Trimmed(b);
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (std::towlower(static_cast<std::wint_t>(a[i])) !=
            std::towlower(static_cast<std::wint_t>(b[i])))
            return false;
    }
    return true;
}

std::wstring_view Unquoted(std::wstring_view value)
{
    if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
        value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The value of the key in the first section of that name; nothing when the section, the key or
// the key's '=' is missing (the default is read then).
std::optional<std::wstring_view> FindValue(std::wstring_view text, std::wstring_view section,
                                           std::wstring_view key)
{
    // Keys before the first header belong to the section without a name.
    bool inSection = Trimmed(section).empty();
    while (!text.empty())
    {
        const std::size_t end = std::min(text.find_first_of(L"\r\n"), text.size());
        const std::wstring_view line = Trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.front() == L'[')
        {
            // A header runs to the line's last ']'; a line with none is skipped.
            const std::size_t close = line.rfind(L']');
            if (close == std::wstring_view::npos)
                continue;
            if (inSection)
                return std::nullopt;
            inSection = SameName(line.substr(1, close - 1), section);
            continue;
        }
        if (!inSection || line.empty())
            continue;
        const std::size_t equals = line.find(L'=');
        if (!SameName(line.substr(0, equals), key))
            continue;
        if (equals == std::wstring_view::npos)
            return std::nullopt;
        return Unquoted(Trimmed(line.substr(equals + 1)));
    }
    return std::nullopt;
}

void AppendUtf16(std::wstring& text, char32_t c)
{
    if constexpr (sizeof(wchar_t) == 2)
    {
        if (c >= 0x10000)
        {
            c -= 0x10000;
            text += static_cast<wchar_t>(0xD800 + (c >> 10));
            text += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
            return;
        }
    }
    text += static_cast<wchar_t>(c);
}

// UTF-8 decoded one byte at a time: the number of continuation bytes still due and the
// code point so far; a byte that does not fit the sequence ends it as U+FFFD.
std::wstring DecodeUtf8(std::string_view bytes)
{
    std::wstring text;
    char32_t code = 0;
    int due = 0;
    char32_t least = 0;
    for (const char byte : bytes)
    {
        const auto b = static_cast<unsigned char>(byte);
        if (due > 0 && (b & 0xC0) == 0x80)
        {
            code = (code << 6) | (b & 0x3F);
            if (--due == 0)
            {
                const bool valid =
                    code >= least && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
                AppendUtf16(text, valid ? code : 0xFFFD);
            }
            continue;
        }
        if (due > 0)
        {
            text += L'\uFFFD';
            due = 0;
        }
        if (b < 0x80)
        {
            text += static_cast<wchar_t>(b);
        }
        else if ((b & 0xE0) == 0xC0)
        {
            code = b & 0x1F;
            due = 1;
            least = 0x80;
        }
        else if ((b & 0xF0) == 0xE0)
        {
            code = b & 0x0F;
            due = 2;
            least = 0x800;
        }
        else if ((b & 0xF8) == 0xF0)
        {
            code = b & 0x07;
            due = 3;
            least = 0x10000;
        }
        else
        {
            text += L'\uFFFD';
        }
    }
    if (due > 0)
        text += L'\uFFFD';
    return text;
}

std::wstring DecodeUtf16(std::string_view bytes, bool bigEndian)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
    {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        text += static_cast<wchar_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    return text;
}
} // namespace

std::wstring DecodeProfileBytes(std::string_view bytes)
{
    if (bytes.substr(0, 2) == "\xFF\xFE")
        return DecodeUtf16(bytes.substr(2), false);
    if (bytes.substr(0, 2) == "\xFE\xFF")
        return DecodeUtf16(bytes.substr(2), true);
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        return DecodeUtf8(bytes.substr(3));
    std::wstring text;
    text.reserve(bytes.size());
    for (const char byte : bytes)
        text += static_cast<wchar_t>(static_cast<unsigned char>(byte));
    return text;
}

CProfileText::CProfileText(std::string_view bytes) : m_strText(DecodeProfileBytes(bytes)) {}

std::size_t CProfileText::ReadString(const wchar_t* section, const wchar_t* key,
                                     const wchar_t* defaultValue, wchar_t* buffer,
                                     std::size_t bufferChars) const
{
    if (buffer == nullptr || bufferChars == 0)
        return 0;
    const std::optional<std::wstring_view> found =
        FindValue(m_strText, section == nullptr ? L"" : section, key == nullptr ? L"" : key);
    const std::wstring_view value =
        found ? *found : std::wstring_view(defaultValue == nullptr ? L"" : defaultValue);
    std::size_t count = 0;
    while (count < bufferChars - 1 && count < value.size() && value[count] != L'\0')
    {
        buffer[count] = value[count];
        ++count;
    }
    buffer[count] = L'\0';
    return count;
}
