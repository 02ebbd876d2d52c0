#pragma once
// One INI file path with read and write of string values. The driver keeps one for
// Config.ini and one for the language file; the update checker binds one to each file it
// downloads. Every access goes through the profile functions of the platform seam.

#include <cstddef>

// Characters of the stored path, terminating zero included.
constexpr std::size_t INI_PATH_CHARS = 260;

class CIniFile
{
public:
    CIniFile();
    virtual ~CIniFile() = default;
    CIniFile(const CIniFile&) = default;
    CIniFile& operator=(const CIniFile&) = default;

    // Copies the path and returns the stored copy. A path of INI_PATH_CHARS characters or
    // more keeps its first INI_PATH_CHARS - 1; a null path clears the stored one.
    const wchar_t* SetPath(const wchar_t* path);
    const wchar_t* GetPath() const { return m_szPath; }

    // Writes key = value into the section, creating the file, section or key as needed.
    // A null section, key or value writes nothing and fails.
    bool WriteString(const wchar_t* section, const wchar_t* key, const wchar_t* value);

    // Copies the key's value, or the default when the key is absent, into the buffer: at most
    // bufferChars - 1 characters and a terminating zero. Returns the number of characters
    // copied. A null default reads as empty; a zero-sized buffer is left untouched.
    std::size_t ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                           wchar_t* buffer, std::size_t bufferChars) const;

private:
    wchar_t m_szPath[INI_PATH_CHARS];
};
