#include "tests/support/ProfileWorld.h"

#include "core/Language.h"

#include <atomic>
#include <chrono>
#include <cwctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace
{
std::atomic<unsigned> g_nFolderSerial{0};

#ifdef _WIN32
constexpr wchar_t SEPARATOR = L'\\';
#else
constexpr wchar_t SEPARATOR = L'/';
#endif

std::wstring Trimmed(const std::wstring& text)
{
    const std::size_t first = text.find_first_not_of(L" \t");
    if (first == std::wstring::npos)
        return std::wstring();
    return text.substr(first, text.find_last_not_of(L" \t") - first + 1);
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

struct PROFILE_LINE
{
    std::size_t begin;
    std::size_t end; // past the line break
    std::wstring line;
};

std::vector<PROFILE_LINE> Lines(const std::wstring& text)
{
    std::vector<PROFILE_LINE> lines;
    for (std::size_t begin = 0; begin < text.size();)
    {
        const std::size_t lineFeed = text.find(L'\n', begin);
        const std::size_t end = lineFeed == std::wstring::npos ? text.size() : lineFeed + 1;
        std::wstring line = text.substr(begin, end - begin);
        while (!line.empty() && (line.back() == L'\n' || line.back() == L'\r'))
            line.pop_back();
        lines.push_back({begin, end, Trimmed(line)});
        begin = end;
    }
    return lines;
}

bool IsSection(const std::wstring& line)
{
    return !line.empty() && line.front() == L'[' && line.back() == L']';
}

// The lines of the first section of the name: [first, last) into lines, or nothing.
std::optional<std::pair<std::size_t, std::size_t>>
SectionLines(const std::vector<PROFILE_LINE>& lines, const std::wstring& section)
{
    for (std::size_t n = 0; n < lines.size(); ++n)
    {
        if (!IsSection(lines[n].line) ||
            !SameName(lines[n].line.substr(1, lines[n].line.size() - 2), section))
            continue;
        std::size_t last = n + 1;
        while (last < lines.size() && !IsSection(lines[last].line))
            ++last;
        return std::make_pair(n + 1, last);
    }
    return std::nullopt;
}

bool IsKeyLine(const std::wstring& line, const std::wstring& key)
{
    const std::size_t equals = line.find(L'=');
    return equals != std::wstring::npos && SameName(line.substr(0, equals), key);
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

std::string CTempFolder::ReadBytes(const std::wstring& name) const
{
    std::ifstream in(std::filesystem::path(PathOf(name)), std::ios::binary);
    if (!in)
        return std::string();
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void CTempFolder::MakeFolder(const std::wstring& name) const
{
    std::filesystem::create_directories(std::filesystem::path(PathOf(name)));
}

std::optional<std::wstring> FindProfileValue(const std::wstring& text, const std::wstring& section,
                                             const std::wstring& key)
{
    const std::vector<PROFILE_LINE> lines = Lines(text);
    const auto range = SectionLines(lines, section);
    if (!range)
        return std::nullopt;
    for (std::size_t n = range->first; n < range->second; ++n)
    {
        if (IsKeyLine(lines[n].line, key))
            return Trimmed(lines[n].line.substr(lines[n].line.find(L'=') + 1));
    }
    return std::nullopt;
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
    const std::vector<PROFILE_LINE> lines = Lines(text);
    const auto range = SectionLines(lines, section);
    if (!range)
    {
        text += L"[" + Trimmed(section) + L"]\r\n" + line;
        return true;
    }
    for (std::size_t n = range->first; n < range->second; ++n)
    {
        if (IsKeyLine(lines[n].line, key))
        {
            text.replace(lines[n].begin, lines[n].end - lines[n].begin, line);
            return true;
        }
    }
    if (range->second < lines.size())
    {
        text.insert(lines[range->second].begin, line);
        return true;
    }
    if (!text.empty() && text.back() != L'\n')
        text += L"\r\n";
    text += line;
    return true;
}
