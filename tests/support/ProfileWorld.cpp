#include "tests/support/ProfileWorld.h"

#include "core/Language.h"

#include <atomic>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace
{
std::atomic<unsigned> g_nFolderSerial{0};

#ifdef _WIN32
constexpr wchar_t SEPARATOR = L'\\';
#else
constexpr wchar_t SEPARATOR = L'/';
#endif

// Without blanks and line breaks around it.
std::wstring Trimmed(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t\r\n") - first + 1);
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(static_cast<std::wint_t>(c)));
    return text;
}

bool SameName(const std::wstring& a, const std::wstring& b)
{
    return Lower(Trimmed(a)) == Lower(Trimmed(b));
}

// Where a key is in profile text: the line [begin, end) of the first key of its name in the
// first section of its name; without one, where that section ends (npos when there is none).
struct KEY_PLACE
{
    std::size_t begin = std::wstring::npos;
    std::size_t end = std::wstring::npos; // past the line break
    std::size_t sectionEnd = std::wstring::npos;
};

KEY_PLACE FindKey(const std::wstring& text, const std::wstring& section, const std::wstring& key)
{
    KEY_PLACE place;
    bool inSection = false;
    for (std::size_t begin = 0; begin < text.size();)
    {
        const std::size_t lineFeed = text.find(L'\n', begin);
        const std::size_t end = lineFeed == std::wstring::npos ? text.size() : lineFeed + 1;
        const std::wstring line = Trimmed(text.substr(begin, end - begin));
        const std::size_t equals = line.find(L'=');
        if (!line.empty() && line.front() == L'[' && line.back() == L']')
        {
            if (inSection)
            {
                place.sectionEnd = begin;
                return place;
            }
            inSection = SameName(line.substr(1, line.size() - 2), section);
        }
        else if (inSection && equals != std::wstring::npos && SameName(line.substr(0, equals), key))
        {
            place.begin = begin;
            place.end = end;
            return place;
        }
        begin = end;
    }
    if (inSection)
        place.sectionEnd = text.size();
    return place;
}
} // namespace

CTempFolder::CTempFolder()
{
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        const std::filesystem::path candidate =
            base / ("tavelo-profile-" + std::to_string(stamp) + "-" +
                    std::to_string(g_nFolderSerial.fetch_add(1)));
        if (std::filesystem::create_directory(candidate))
        {
            m_strPath = candidate.wstring();
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be created");
}

CTempFolder::~CTempFolder()
{
    std::error_code error;
    std::filesystem::remove_all(std::filesystem::path(m_strPath), error);
}

std::wstring CTempFolder::PathOf(const std::wstring& name) const
{
    std::wstring joined = m_strPath + SEPARATOR + name;
    for (wchar_t& c : joined)
    {
        if (c == L'\\' || c == L'/')
            c = SEPARATOR;
    }
    return joined;
}

void CTempFolder::WriteBytes(const std::wstring& name, const std::string& bytes) const
{
    std::ofstream out(std::filesystem::path(PathOf(name)), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("test file could not be written");
}

void CTempFolder::MakeFolder(const std::wstring& name) const
{
    std::filesystem::create_directories(std::filesystem::path(PathOf(name)));
}

std::optional<std::wstring> FindProfileValue(const std::wstring& text, const std::wstring& section,
                                             const std::wstring& key)
{
    const KEY_PLACE place = FindKey(text, section, key);
    if (place.begin == std::wstring::npos)
        return std::nullopt;
    const std::wstring line = text.substr(place.begin, place.end - place.begin);
    return Trimmed(line.substr(line.find(L'=') + 1));
}

std::wstring LanguageFileText(const std::function<std::wstring(const std::wstring& key)>& text)
{
    std::wstring file;
    for (const LANGUAGE_SECTION& section : LANGUAGE_SECTIONS)
    {
        file += L"[" + std::wstring(section.name) + L"]\r\n";
        for (int n = 1; n <= section.keyCount; ++n)
        {
            const std::wstring key = section.keyPrefix + std::to_wstring(n);
            file += key + L"=" + text(key) + L"\r\n";
        }
    }
    return file;
}

CProfileWorld::CProfileWorld() : m_scope(m_platform)
{
    m_platform.m_strModuleDirectory = L"C:\\Tavelo";
    m_platform.m_profileReader = [this](const std::wstring& path, const std::wstring& section,
                                        const std::wstring& key, const std::wstring& defaultValue,
                                        std::size_t)
    { return Read(path, section, key, defaultValue); };
    m_platform.m_profileWriter = [this](const std::wstring& path, const std::wstring& section,
                                        const std::wstring& key, const std::wstring& value)
    { return Write(path, section, key, value); };
    m_platform.m_fileExists = [this](const std::wstring& path)
    {
        std::lock_guard guard(m_lock);
        return m_files.count(Lower(path)) != 0;
    };
    m_platform.m_fileCopier = [this](const std::wstring& from, const std::wstring& to)
    {
        std::lock_guard guard(m_lock);
        const auto found = m_files.find(Lower(from));
        if (found == m_files.end())
            return false;
        m_files[Lower(to)] = found->second;
        return true;
    };
    m_platform.m_fileMover = [this](const std::wstring& from, const std::wstring& to)
    {
        std::lock_guard guard(m_lock);
        auto moved = m_files.extract(Lower(from));
        if (!moved.empty())
            m_files[Lower(to)] = std::move(moved.mapped());
        return !moved.empty();
    };
    m_platform.m_fileRemover = [this](const std::wstring& path)
    {
        std::lock_guard guard(m_lock);
        return m_files.erase(Lower(path)) != 0;
    };
}

void CProfileWorld::PutFile(const std::wstring& name, const std::wstring& text)
{
    std::lock_guard guard(m_lock);
    m_files[Lower(PathOf(name))] = text;
}

std::optional<std::wstring> CProfileWorld::FileText(const std::wstring& name) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_files.find(Lower(PathOf(name)));
    if (found == m_files.end())
        return std::nullopt;
    return found->second;
}

std::wstring CProfileWorld::Read(const std::wstring& path, const std::wstring& section,
                                 const std::wstring& key, const std::wstring& defaultValue) const
{
    std::lock_guard guard(m_lock);
    const auto found = m_files.find(Lower(path));
    if (found == m_files.end())
        return defaultValue;
    return FindProfileValue(found->second, section, key).value_or(defaultValue);
}

bool CProfileWorld::Write(const std::wstring& path, const std::wstring& section,
                          const std::wstring& key, const std::wstring& value)
{
    std::lock_guard guard(m_lock);
    std::wstring& text = m_files[Lower(path)];
    const std::wstring line = Trimmed(key) + L"=" + Trimmed(value) + L"\r\n";
    const KEY_PLACE place = FindKey(text, section, key);
    if (place.begin != std::wstring::npos)
        text.replace(place.begin, place.end - place.begin, line);
    else if (place.sectionEnd == std::wstring::npos)
        text += L"[" + Trimmed(section) + L"]\r\n" + line;
    else if (place.sectionEnd < text.size())
        text.insert(place.sectionEnd, line);
    else
        text += (text.back() == L'\n' ? L"" : L"\r\n") + line;
    return true;
}
