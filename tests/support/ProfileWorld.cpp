#include "tests/support/ProfileWorld.h"

#include "settings/PortableProfile.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace
{
std::atomic<unsigned> g_nFolderSerial{0};

#ifdef _WIN32
constexpr wchar_t SEPARATOR = L'\\';
#else
constexpr wchar_t SEPARATOR = L'/';
#endif
} // namespace

PROFILE_API PortableProfileApi()
{
    PROFILE_API api;
    api.read = [](const std::wstring& path, const std::wstring& section, const std::wstring& key,
                  const std::wstring& defaultValue, std::size_t bufferChars)
    { return CPortableProfile().ReadString(path, section, key, defaultValue, bufferChars); };
    api.write = [](const std::wstring& path, const std::wstring& section, const std::wstring& key,
                   const std::wstring& value)
    { return CPortableProfile().WriteString(path, section, key, value); };
    api.exists = [](const std::wstring& path) { return CPortableProfile().FileExists(path); };
    return api;
}

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
    std::filesystem::remove_all(ProfileNativePath(m_strPath), error);
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
    std::ofstream out(ProfileNativePath(PathOf(name)), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("test file could not be written");
}

std::string CTempFolder::ReadBytes(const std::wstring& name) const
{
    std::ifstream in(ProfileNativePath(PathOf(name)), std::ios::binary);
    if (!in)
        return std::string();
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool CTempFolder::Exists(const std::wstring& name) const
{
    std::error_code error;
    return std::filesystem::exists(ProfileNativePath(PathOf(name)), error);
}

void CTempFolder::MakeFolder(const std::wstring& name) const
{
    std::filesystem::create_directories(ProfileNativePath(PathOf(name)));
}

CProfileWorld::CProfileWorld(const PROFILE_API& api) : m_scope(m_platform)
{
    m_platform.m_profileReader = api.read;
    m_platform.m_profileWriter = api.write;
    m_platform.m_fileExists = api.exists;
    m_platform.m_strModuleDirectory = m_folder.Path();
}

std::wstring ProfileFileText(const std::string& bytes)
{
    return DecodeProfileBytes(bytes).text;
}

std::string Utf16FileBytes(const std::wstring& text)
{
    return EncodeProfileBytes({text, PROFILE_ENCODING::UTF16_LE});
}
