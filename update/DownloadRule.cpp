#include "update/DownloadRule.h"

#include <algorithm>
#include <limits>

namespace
{
bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}
} // namespace

std::optional<std::uint64_t> ParseContentLength(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const wchar_t c : text)
    {
        if (c < L'0' || c > L'9')
            return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - L'0');
        if (value > (std::numeric_limits<std::uint64_t>::max() - digit) / 10)
            return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

CDownloadProgress::CDownloadProgress(std::optional<std::uint64_t> announced, std::uint64_t cap)
    : m_announced(announced), m_nCap(cap)
{
    if (m_announced && *m_announced > m_nCap)
        m_state = STATE_FAILED;
    else if (m_announced && *m_announced == 0)
        m_state = STATE_COMPLETE;
}

std::size_t CDownloadProgress::NextReadSize() const
{
    if (m_state != STATE_READING)
        return 0;
    // Without an announced length one byte beyond the cap is asked for, to tell a body of
    // exactly the cap from a longer one.
    const std::uint64_t limit = m_announced ? *m_announced : m_nCap + 1;
    return static_cast<std::size_t>(
        std::min<std::uint64_t>(DOWNLOAD_CHUNK_BYTES, limit - m_nReceived));
}

void CDownloadProgress::OnData(std::size_t bytes)
{
    if (m_state != STATE_READING)
        return;
    if (bytes == 0)
    {
        OnEndOfData();
        return;
    }
    m_nReceived += bytes;
    if (m_announced)
    {
        if (m_nReceived == *m_announced)
            m_state = STATE_COMPLETE;
        else if (m_nReceived > *m_announced)
            m_state = STATE_FAILED;
    }
    else if (m_nReceived > m_nCap)
    {
        m_state = STATE_FAILED;
    }
}

void CDownloadProgress::OnReadError()
{
    m_state = STATE_FAILED;
}

void CDownloadProgress::OnEndOfData()
{
    m_state = (!m_announced || m_nReceived == *m_announced) ? STATE_COMPLETE : STATE_FAILED;
}
