#include "core/DiagLog.h"

#include "platform/Platform.h"

#include <cstdio>
#include <vector>

void CDiagLog::Open(const std::wstring& folder)
{
    m_strPath = folder;
    if (!m_strPath.empty() && m_strPath.back() != L'\\' && m_strPath.back() != L'/')
        m_strPath += L'\\';
    m_strPath += DIAG_LOG_NAME;
    const std::int64_t size = Platform().FileByteSize(m_strPath);
    m_nSize = size < 0 ? 0 : size;
}

void CDiagLog::Close()
{
    m_strPath.clear();
    m_nSize = 0;
}

void CDiagLog::Write(const std::string& text)
{
    if (m_strPath.empty())
        return;
    CPlatform& platform = Platform();
    const LOCAL_TIME now = platform.LocalClock();
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", now.year % 10000,
                  now.month % 100, now.day % 100, now.hour % 100, now.minute % 100,
                  now.second % 100, now.millisecond % 1000);
    std::string line = stamp;
    // One event, one line, whatever the text holds.
    for (char c : text)
        line += c == '\r' || c == '\n' ? ' ' : c;
    line += "\r\n";
    const auto length = static_cast<std::int64_t>(line.size());
    if (m_nSize > 0 && m_nSize + length > DIAG_LOG_LIMIT)
    {
        (void)platform.MoveFileOver(m_strPath, m_strPath + DIAG_LOG_OLD_SUFFIX);
        // Whether or not the old file could be moved aside, the current one must not grow
        // beyond the limit: start it again.
        if (!platform.WriteNewFile(m_strPath, line.data(), line.size()))
            return;
        m_nSize = length;
        return;
    }
    if (platform.AppendFileBytes(m_strPath, line.data(), line.size()))
        m_nSize += length;
}

void CDiagLog::Printf(const char* format, ...)
{
    if (m_strPath.empty())
        return;
    std::va_list args;
    va_start(args, format);
    std::va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    if (length > 0)
    {
        std::vector<char> text(static_cast<std::size_t>(length) + 1);
        std::vsnprintf(text.data(), text.size(), format, again);
        Write(std::string(text.data(), static_cast<std::size_t>(length)));
    }
    va_end(again);
}

CDiagLog& DiagLog()
{
    static CDiagLog log;
    return log;
}

std::string Utf8Of(const std::wstring& text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i)
    {
        std::uint32_t code = static_cast<std::uint32_t>(text[i]);
        // Surrogate pairs where wchar_t is 16 bits; a lone half becomes U+FFFD.
        if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() &&
            static_cast<std::uint32_t>(text[i + 1]) >= 0xDC00 &&
            static_cast<std::uint32_t>(text[i + 1]) <= 0xDFFF)
        {
            code = 0x10000 + ((code - 0xD800) << 10) +
                   (static_cast<std::uint32_t>(text[++i]) - 0xDC00);
        }
        else if ((code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
        {
            code = 0xFFFD;
        }
        if (code < 0x80)
        {
            out += static_cast<char>(code);
        }
        else if (code < 0x800)
        {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        else if (code < 0x10000)
        {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
        else
        {
            out += static_cast<char>(0xF0 | (code >> 18));
            out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}
