#include "core/IniFile.h"

#include "platform/Platform.h"

#include <algorithm>
#include <string>

namespace
{
std::wstring TextOrEmpty(const wchar_t* text)
{
    return text == nullptr ? std::wstring() : std::wstring(text);
}
} // namespace

CIniFile::CIniFile()
{
    std::fill(std::begin(m_szPath), std::end(m_szPath), L'\0');
}

const wchar_t* CIniFile::SetPath(const wchar_t* path)
{
    std::size_t length = 0;
    if (path != nullptr)
    {
        while (length < INI_PATH_CHARS - 1 && path[length] != L'\0')
        {
            m_szPath[length] = path[length];
            ++length;
        }
    }
    m_szPath[length] = L'\0';
    return m_szPath;
}

bool CIniFile::WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value)
{
    if (section == nullptr || key == nullptr || value == nullptr)
        return false;
    return Platform().WriteProfileText(m_szPath, section, key, value);
}

std::size_t CIniFile::ReadString(const wchar_t* section, const wchar_t* key,
                                 const wchar_t* defaultValue, wchar_t* buffer,
                                 std::size_t bufferChars) const
{
    if (buffer == nullptr || bufferChars == 0)
        return 0;
    const std::wstring text = Platform().ReadProfileText(
        m_szPath, TextOrEmpty(section), TextOrEmpty(key), TextOrEmpty(defaultValue), bufferChars);
    // The seam promises at most bufferChars - 1 characters; the buffer is guarded even if a
    // platform breaks that promise or hands back an embedded zero.
    std::size_t count = 0;
    while (count < bufferChars - 1 && count < text.size() && text[count] != L'\0')
    {
        buffer[count] = text[count];
        ++count;
    }
    buffer[count] = L'\0';
    return count;
}
