#include "settings/PortableProfile.h"

#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace
{
constexpr bool WIDE_IS_UTF16 = sizeof(wchar_t) == 2;
constexpr char32_t REPLACEMENT_CHAR = 0xFFFD;

// Code page 1252 from 0x80 to 0x9F; the five unassigned bytes map to the C1 controls, as
// the Windows conversion does.
constexpr char16_t CP1252_HIGH[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendCodePoint(std::wstring& out, char32_t c)
{
    if (c > 0x10FFFF)
        c = REPLACEMENT_CHAR;
    if (WIDE_IS_UTF16 && c > 0xFFFF)
    {
        c -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
        return;
    }
    out.push_back(static_cast<wchar_t>(c));
}

// Code points of a wide string: on 16-bit wchar_t a surrogate pair is joined; an unpaired
// surrogate stays as it is.
std::vector<char32_t> CodePoints(const std::wstring& text)
{
    std::vector<char32_t> points;
    points.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        char32_t c = static_cast<char32_t>(text[i]) & (WIDE_IS_UTF16 ? 0xFFFF : 0xFFFFFFFF);
        if (WIDE_IS_UTF16 && c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size())
        {
            const char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF)
            {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        points.push_back(c);
    }
    return points;
}

std::wstring DecodeUtf16(const std::string& bytes, std::size_t start, bool bigEndian)
{
    std::wstring out;
    out.reserve((bytes.size() - start) / 2);
    std::vector<char16_t> units;
    units.reserve((bytes.size() - start) / 2);
    for (std::size_t i = start; i + 1 < bytes.size(); i += 2)
    {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        units.push_back(
            static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    for (std::size_t i = 0; i < units.size(); ++i)
    {
        const char16_t unit = units[i];
        if (!WIDE_IS_UTF16 && unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() &&
            units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF)
        {
            out.push_back(
                static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
            continue;
        }
        out.push_back(static_cast<wchar_t>(unit));
    }
    return out;
}

std::wstring DecodeUtf8(const std::string& bytes, std::size_t start)
{
    std::wstring out;
    out.reserve(bytes.size() - start);
    std::size_t i = start;
    while (i < bytes.size())
    {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        int extra = 0;
        char32_t c = 0;
        char32_t minimum = 0;
        if (lead < 0x80)
        {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        if (lead >= 0xC2 && lead <= 0xDF)
        {
            extra = 1;
            c = lead & 0x1F;
            minimum = 0x80;
        }
        else if (lead >= 0xE0 && lead <= 0xEF)
        {
            extra = 2;
            c = lead & 0x0F;
            minimum = 0x800;
        }
        else if (lead >= 0xF0 && lead <= 0xF4)
        {
            extra = 3;
            c = lead & 0x07;
            minimum = 0x10000;
        }
        else
        {
            AppendCodePoint(out, REPLACEMENT_CHAR);
            ++i;
            continue;
        }
        std::size_t next = i + 1;
        bool valid = true;
        for (int k = 0; k < extra; ++k, ++next)
        {
            if (next >= bytes.size() || (static_cast<unsigned char>(bytes[next]) & 0xC0) != 0x80)
            {
                valid = false;
                break;
            }
            c = (c << 6) | (static_cast<unsigned char>(bytes[next]) & 0x3F);
        }
        if (!valid || c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        {
            // One replacement for the lead byte and the continuation bytes that fitted.
            AppendCodePoint(out, REPLACEMENT_CHAR);
            i = next;
            continue;
        }
        AppendCodePoint(out, c);
        i = next;
    }
    return out;
}

std::wstring DecodeAnsi(const std::string& bytes)
{
    std::wstring out;
    out.reserve(bytes.size());
    for (const char byte : bytes)
    {
        const auto b = static_cast<unsigned char>(byte);
        if (b >= 0x80 && b <= 0x9F)
            out.push_back(static_cast<wchar_t>(CP1252_HIGH[b - 0x80]));
        else
            out.push_back(static_cast<wchar_t>(b));
    }
    return out;
}

char EncodeAnsiChar(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (unsigned i = 0; i < 32; ++i)
    {
        if (CP1252_HIGH[i] == c)
            return static_cast<char>(0x80 + i);
    }
    return '?';
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        c = REPLACEMENT_CHAR;
    if (c < 0x80)
    {
        out.push_back(static_cast<char>(c));
    }
    else if (c < 0x800)
    {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    else if (c < 0x10000)
    {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    else
    {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

void AppendUtf16(std::string& out, char32_t c, bool bigEndian)
{
    auto unit = [&](char32_t u)
    {
        const char high = static_cast<char>((u >> 8) & 0xFF);
        const char low = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? high : low);
        out.push_back(bigEndian ? low : high);
    };
    if (c > 0x10FFFF)
        c = REPLACEMENT_CHAR;
    if (c > 0xFFFF)
    {
        c -= 0x10000;
        unit(0xD800 + (c >> 10));
        unit(0xDC00 + (c & 0x3FF));
        return;
    }
    unit(c);
}

// Blanks as the profile functions see them: white space, and ^Z, the old end-of-file mark.
bool IsProfileBlank(wchar_t c)
{
    switch (static_cast<char32_t>(c))
    {
    case 0x09:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x1A:
    case 0x20:
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
        return true;
    default:
        return c >= 0x2000 && c <= 0x200A;
    }
}

std::wstring CutAtZero(const std::wstring& text)
{
    return text.substr(0, text.find(L'\0'));
}

std::wstring TrimBlanks(const std::wstring& text)
{
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsProfileBlank(text[begin]))
        ++begin;
    while (end > begin && IsProfileBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

wchar_t FoldCase(wchar_t c)
{
    if (c >= L'A' && c <= L'Z')
        return static_cast<wchar_t>(c + (L'a' - L'A'));
    if (c < 0x80)
        return c;
    return static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
}

bool EqualNoCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (FoldCase(a[i]) != FoldCase(b[i]))
            return false;
    }
    return true;
}

enum class LINE_KIND
{
    BLANK,
    SECTION,
    ENTRY,
};

struct PROFILE_LINE
{
    std::size_t begin = 0;      // first character of the line
    std::size_t contentEnd = 0; // end of the line without its "\r\n" or "\n"
    std::size_t end = 0;        // after the line's '\n', or the end of the text
    LINE_KIND kind = LINE_KIND::BLANK;
    std::wstring name;
    bool hasValue = false;
    std::wstring value;
};

// A line is cut at '\n' and loses its surrounding blanks. "[" starts a section header when
// a "]" follows anywhere on the line (the last one ends the name); every other non-blank
// line is an entry, whose name ends at the first '=' and whose value follows it. Names and
// values end at an embedded zero, as the C strings of the system's reader do.
PROFILE_LINE ParseLine(const std::wstring& text, std::size_t begin, std::size_t end)
{
    PROFILE_LINE line;
    line.begin = begin;
    line.end = end;
    std::size_t contentEnd = end;
    if (contentEnd > begin && text[contentEnd - 1] == L'\n')
    {
        --contentEnd;
        if (contentEnd > begin && text[contentEnd - 1] == L'\r')
            --contentEnd;
    }
    line.contentEnd = contentEnd;

    std::size_t first = begin;
    std::size_t last = contentEnd;
    while (first < last && IsProfileBlank(text[first]))
        ++first;
    while (last > first && IsProfileBlank(text[last - 1]))
        --last;
    if (first >= last)
        return line;

    if (text[first] == L'[')
    {
        std::size_t close = last;
        while (close > first + 1 && text[close - 1] != L']')
            --close;
        if (close > first + 1)
        {
            --close;
            line.kind = LINE_KIND::SECTION;
            line.name = CutAtZero(text.substr(first + 1, close - first - 1));
            return line;
        }
    }

    line.kind = LINE_KIND::ENTRY;
    std::size_t nameEnd = last;
    std::size_t equals = first;
    while (equals < last && text[equals] != L'=')
        ++equals;
    if (equals < last)
    {
        nameEnd = equals;
        std::size_t valueStart = equals + 1;
        while (valueStart < last && IsProfileBlank(text[valueStart]))
            ++valueStart;
        line.hasValue = true;
        line.value = CutAtZero(text.substr(valueStart, last - valueStart));
    }
    while (nameEnd > first && IsProfileBlank(text[nameEnd - 1]))
        --nameEnd;
    line.name = CutAtZero(text.substr(first, nameEnd - first));
    return line;
}

std::vector<PROFILE_LINE> SplitLines(const std::wstring& text)
{
    std::vector<PROFILE_LINE> lines;
    std::size_t begin = 0;
    while (begin < text.size())
    {
        std::size_t newline = text.find(L'\n', begin);
        const std::size_t end = newline == std::wstring::npos ? text.size() : newline + 1;
        lines.push_back(ParseLine(text, begin, end));
        begin = end;
    }
    return lines;
}

constexpr std::size_t NOT_FOUND = static_cast<std::size_t>(-1);

struct PROFILE_MATCH
{
    std::size_t section = NOT_FOUND; // header line of the first section of the name
    std::size_t entry = NOT_FOUND;   // first entry of the key in that section
    std::size_t lastEntry = NOT_FOUND;
};

// Only the first section of the name is searched: its key is found there or nowhere.
PROFILE_MATCH FindEntry(const std::vector<PROFILE_LINE>& lines, const std::wstring& section,
                        const std::wstring& key)
{
    PROFILE_MATCH match;
    const std::wstring sectionName = TrimBlanks(CutAtZero(section));
    const std::wstring keyName = TrimBlanks(CutAtZero(key));
    for (std::size_t i = 0; i < lines.size(); ++i)
    {
        const PROFILE_LINE& line = lines[i];
        if (line.kind == LINE_KIND::SECTION)
        {
            if (match.section != NOT_FOUND)
                break;
            if (!line.name.empty() && EqualNoCase(line.name, sectionName))
                match.section = i;
        }
        else if (line.kind == LINE_KIND::ENTRY && match.section != NOT_FOUND)
        {
            match.lastEntry = i;
            if (match.entry == NOT_FOUND && EqualNoCase(line.name, keyName))
                match.entry = i;
        }
    }
    return match;
}

// Copies a value as the system's reader hands it over: one pair of matching quotes
// (double or single) is removed, then the text is cut to fit the buffer.
std::wstring CopyEntry(const std::wstring& value, std::size_t bufferChars)
{
    std::wstring text = value;
    if (text.size() >= 2 && (text.front() == L'"' || text.front() == L'\'') &&
        text.back() == text.front())
    {
        text = text.substr(1, text.size() - 2);
    }
    if (text.size() > bufferChars - 1)
        text.resize(bufferChars - 1);
    return text;
}

std::optional<std::string> ReadFileBytes(const std::wstring& path)
{
    std::ifstream in(ProfileNativePath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return bytes;
}
} // namespace

std::filesystem::path ProfileNativePath(const std::wstring& path)
{
    const std::wstring cut = CutAtZero(path);
#ifdef _WIN32
    return std::filesystem::path(cut);
#else
    std::string utf8;
    for (const char32_t c : CodePoints(cut))
        AppendUtf8(utf8, c == U'\\' ? U'/' : c);
    return std::filesystem::path(utf8);
#endif
}

PROFILE_TEXT DecodeProfileBytes(const std::string& bytes)
{
    PROFILE_TEXT result;
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 3 && byteAt(0) == 0xEF && byteAt(1) == 0xBB && byteAt(2) == 0xBF)
    {
        result.encoding = PROFILE_ENCODING::UTF8;
        result.text = DecodeUtf8(bytes, 3);
    }
    else if (bytes.size() >= 2 && byteAt(0) == 0xFF && byteAt(1) == 0xFE)
    {
        result.encoding = PROFILE_ENCODING::UTF16_LE;
        result.text = DecodeUtf16(bytes, 2, false);
    }
    else if (bytes.size() >= 2 && byteAt(0) == 0xFE && byteAt(1) == 0xFF)
    {
        result.encoding = PROFILE_ENCODING::UTF16_BE;
        result.text = DecodeUtf16(bytes, 2, true);
    }
    else
    {
        result.text = DecodeAnsi(bytes);
    }
    return result;
}

std::string EncodeProfileBytes(const PROFILE_TEXT& text)
{
    std::string out;
    switch (text.encoding)
    {
    case PROFILE_ENCODING::ANSI:
        for (const char32_t c : CodePoints(text.text))
            out.push_back(EncodeAnsiChar(c));
        break;
    case PROFILE_ENCODING::UTF8:
        out = "\xEF\xBB\xBF";
        for (const char32_t c : CodePoints(text.text))
            AppendUtf8(out, c);
        break;
    case PROFILE_ENCODING::UTF16_LE:
    case PROFILE_ENCODING::UTF16_BE:
    {
        const bool bigEndian = text.encoding == PROFILE_ENCODING::UTF16_BE;
        out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (const char32_t c : CodePoints(text.text))
            AppendUtf16(out, c, bigEndian);
        break;
    }
    }
    return out;
}

std::optional<std::wstring> FindProfileValue(const std::wstring& text, const std::wstring& section,
                                             const std::wstring& key)
{
    const std::vector<PROFILE_LINE> lines = SplitLines(text);
    const PROFILE_MATCH match = FindEntry(lines, section, key);
    if (match.entry == NOT_FOUND || !lines[match.entry].hasValue)
        return std::nullopt;
    return lines[match.entry].value;
}

std::wstring ReadProfileText(const std::wstring& text, const std::wstring& section,
                             const std::wstring& key, const std::wstring& defaultValue,
                             std::size_t bufferChars)
{
    // An empty key name reads nothing at all, not even the default.
    if (bufferChars == 0 || key.empty() || key[0] == L'\0')
        return std::wstring();
    std::wstring fallback = CutAtZero(defaultValue);
    while (!fallback.empty() && fallback.back() == L' ')
        fallback.pop_back();
    const std::optional<std::wstring> value = FindProfileValue(text, section, key);
    return CopyEntry(value ? *value : fallback, bufferChars);
}

bool SetProfileValue(std::wstring& text, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value)
{
    const std::wstring sectionName = TrimBlanks(CutAtZero(section));
    const std::wstring keyName = TrimBlanks(CutAtZero(key));
    if (sectionName.empty() || keyName.empty())
        return false;
    std::wstring newValue = CutAtZero(value);
    std::size_t blanks = 0;
    while (blanks < newValue.size() && IsProfileBlank(newValue[blanks]))
        ++blanks;
    newValue.erase(0, blanks);

    const std::vector<PROFILE_LINE> lines = SplitLines(text);
    const PROFILE_MATCH match = FindEntry(lines, sectionName, keyName);
    if (match.entry != NOT_FOUND)
    {
        const PROFILE_LINE& line = lines[match.entry];
        if (line.hasValue && line.value == newValue)
            return true;
        text.replace(line.begin, line.contentEnd - line.begin, line.name + L"=" + newValue);
        return true;
    }
    const std::wstring newLine = keyName + L"=" + newValue;
    if (match.section != NOT_FOUND)
    {
        const PROFILE_LINE& after =
            lines[match.lastEntry != NOT_FOUND ? match.lastEntry : match.section];
        if (after.contentEnd == after.end)
            text.insert(after.end, L"\r\n" + newLine);
        else
            text.insert(after.end, newLine + L"\r\n");
        return true;
    }
    if (!text.empty() && text.back() != L'\n')
        text += L"\r\n";
    if (!text.empty())
        text += L"\r\n";
    text += L"[" + sectionName + L"]\r\n" + newLine + L"\r\n";
    return true;
}

std::wstring CPortableProfile::ReadString(const std::wstring& path, const std::wstring& section,
                                          const std::wstring& key, const std::wstring& defaultValue,
                                          std::size_t bufferChars) const
{
    const std::optional<std::string> bytes = ReadFileBytes(path);
    const PROFILE_TEXT text = bytes ? DecodeProfileBytes(*bytes) : PROFILE_TEXT{};
    return ReadProfileText(text.text, section, key, defaultValue, bufferChars);
}

bool CPortableProfile::WriteString(const std::wstring& path, const std::wstring& section,
                                   const std::wstring& key, const std::wstring& value) const
{
    const std::optional<std::string> bytes = ReadFileBytes(path);
    PROFILE_TEXT text = bytes ? DecodeProfileBytes(*bytes) : PROFILE_TEXT{};
    const std::wstring before = text.text;
    if (!SetProfileValue(text.text, section, key, value))
        return false;
    if (bytes && text.text == before)
        return true;
    std::ofstream out(ProfileNativePath(path), std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const std::string encoded = EncodeProfileBytes(text);
    out.write(encoded.data(), static_cast<std::streamsize>(encoded.size()));
    out.close();
    return static_cast<bool>(out);
}

bool CPortableProfile::FileExists(const std::wstring& path) const
{
    std::error_code error;
    return std::filesystem::exists(ProfileNativePath(path), error);
}
