#include "platform/win32/Win32Platform.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace
{
// The profile functions take zero-terminated strings: text after an embedded zero is never
// seen, so it is dropped here rather than left to chance.
std::wstring CutAtZero(const std::wstring& text)
{
    return text.substr(0, text.find(L'\0'));
}

// The driver keeps profile paths in buffers of MAX_PATH characters, the last one for the
// terminating zero; a longer path is cut there, as those buffers cut it, before it reaches
// the system, which cannot resolve a longer one.
std::wstring ProfilePath(const std::wstring& path)
{
    std::wstring cut = CutAtZero(path);
    if (cut.size() > MAX_PATH - 1)
        cut.resize(MAX_PATH - 1);
    return cut;
}
} // namespace

std::wstring CWin32Platform::ReadProfileText(const std::wstring& path, const std::wstring& section,
                                             const std::wstring& key,
                                             const std::wstring& defaultValue,
                                             std::size_t bufferChars)
{
    if (bufferChars == 0)
        return std::wstring();
    const DWORD size = static_cast<DWORD>(std::min<std::size_t>(bufferChars, INT_MAX));
    std::vector<wchar_t> buffer(size, L'\0');
    const std::wstring file = ProfilePath(path);
    const std::wstring sectionText = CutAtZero(section);
    const std::wstring keyText = CutAtZero(key);
    const std::wstring defaultText = CutAtZero(defaultValue);
    const DWORD copied =
        GetPrivateProfileStringW(sectionText.c_str(), keyText.c_str(), defaultText.c_str(),
                                 buffer.data(), size, file.c_str());
    buffer[size - 1] = L'\0';
    const std::size_t length = std::min<std::size_t>(copied, size - 1);
    return std::wstring(buffer.data(), std::find(buffer.data(), buffer.data() + length, L'\0'));
}

bool CWin32Platform::WriteProfileText(const std::wstring& path, const std::wstring& section,
                                      const std::wstring& key, const std::wstring& value)
{
    const std::wstring file = ProfilePath(path);
    const std::wstring sectionText = CutAtZero(section);
    const std::wstring keyText = CutAtZero(key);
    const std::wstring valueText = CutAtZero(value);
    return WritePrivateProfileStringW(sectionText.c_str(), keyText.c_str(), valueText.c_str(),
                                      file.c_str()) != FALSE;
}

bool CWin32Platform::FileExists(const std::wstring& path)
{
    return GetFileAttributesW(CutAtZero(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}
