#pragma once
// Real profile files for tests: a private temporary folder, and a fake platform whose
// profile and file-exists functions reach that folder through one profile implementation
// (the portable store natively, the Win32 profile functions under Wine). Everything else
// the driver asks of the system (screen size, language, module folder) stays fake.

#include "tests/support/FakePlatform.h"

#include <functional>
#include <string>

// The three profile operations of the seam.
struct PROFILE_API
{
    std::function<std::wstring(const std::wstring&, const std::wstring&, const std::wstring&,
                               const std::wstring&, std::size_t)>
        read;
    std::function<bool(const std::wstring&, const std::wstring&, const std::wstring&,
                       const std::wstring&)>
        write;
    std::function<bool(const std::wstring&)> exists;
};

// The portable store's operations.
PROFILE_API PortableProfileApi();

// A folder that exists for the life of the object and is removed with everything in it.
class CTempFolder
{
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    // The folder, without a trailing separator, as the profile functions take it.
    const std::wstring& Path() const { return m_strPath; }
    // A path inside the folder; name may hold backslash-separated subfolders.
    std::wstring PathOf(const std::wstring& name) const;
    void WriteBytes(const std::wstring& name, const std::string& bytes) const;
    // The file's bytes, or an empty string when it does not exist.
    std::string ReadBytes(const std::wstring& name) const;
    bool Exists(const std::wstring& name) const;
    void MakeFolder(const std::wstring& name) const;

private:
    std::wstring m_strPath;
};

// A fake platform installed for the life of the object, with its profile functions
// connected to api over a fresh temporary folder, which is also the module folder.
class CProfileWorld
{
public:
    explicit CProfileWorld(const PROFILE_API& api);
    CProfileWorld(const CProfileWorld&) = delete;
    CProfileWorld& operator=(const CProfileWorld&) = delete;

    std::wstring ConfigPath() const { return m_folder.PathOf(L"Config.ini"); }

    CFakePlatform m_platform;
    CTempFolder m_folder;

private:
    CScopedPlatform m_scope;
};

// Text of a profile file as the portable store decodes it (any encoding), for checks of
// what a write left in the file.
std::wstring ProfileFileText(const std::string& bytes);
// UTF-16LE bytes with a byte-order mark for the text.
std::string Utf16FileBytes(const std::wstring& text);
