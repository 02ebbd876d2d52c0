#pragma once
// Profile files for tests. Natively they live in memory (CProfileWorld); the Win32 tests reach
// real files in a private temporary folder (CTempFolder).

#include "tests/support/FakePlatform.h"

#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

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
    void MakeFolder(const std::wstring& name) const;

private:
    std::wstring m_strPath;
};

// The value of a key in profile text, or nothing when the section or the key is absent. Names
// match without regard to case or surrounding blanks; the first section of a name and its
// first matching key win; the value loses its surrounding blanks.
std::optional<std::wstring> FindProfileValue(const std::wstring& text, const std::wstring& section,
                                             const std::wstring& key);

// A language file with every section and key in order, each key's text as text(key) gives it.
std::wstring LanguageFileText(const std::function<std::wstring(const std::wstring& key)>& text);

// A fake platform installed for the life of the object whose profile, file-exists and
// whole-file functions reach files held in memory, under the module folder "C:\Tavelo". A read
// gives the default for a missing file, section or key, whatever the buffer size: cutting to the
// buffer is left to the driver's own guard. A write replaces the key's line, or adds it at the end
// of its section, or adds the section at the end of the file.
class CProfileWorld
{
public:
    CProfileWorld();

    std::wstring PathOf(const std::wstring& name) const { return L"C:\\Tavelo\\" + name; }
    std::wstring ConfigPath() const { return PathOf(L"Config.ini"); }
    // Lines "[section]" and "key=value", each ending in "\r\n".
    void PutFile(const std::wstring& name, const std::wstring& text);
    // The file's text, or nothing when it does not exist.
    std::optional<std::wstring> FileText(const std::wstring& name) const;

    CFakePlatform m_platform;

private:
    std::wstring Read(const std::wstring& path, const std::wstring& section,
                      const std::wstring& key, const std::wstring& defaultValue) const;
    bool Write(const std::wstring& path, const std::wstring& section, const std::wstring& key,
               const std::wstring& value);

    // A test may reach the files from the driver's threads as well as its own.
    mutable std::mutex m_lock;
    std::map<std::wstring, std::wstring> m_files;
    CScopedPlatform m_scope;
};
