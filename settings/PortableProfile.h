#pragma once
// Profile (INI) files with the reading and writing rules of the Windows profile functions,
// for systems without them and for tests off Windows. Reading: section and key names match
// without regard to case and with surrounding blanks ignored; the first section of a name
// is the only one searched and its first matching key wins; a value loses its surrounding
// blanks and one pair of surrounding quotes; a missing file, section or key gives the
// default. Writing replaces or adds one line and keeps every other byte of the file, in the
// file's own encoding. Any bytes at all, binary ones included, read without harm.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

enum class PROFILE_ENCODING
{
    ANSI, // 8-bit text in code page 1252, no byte-order mark; new files are written so
    UTF8,
    UTF16_LE,
    UTF16_BE,
};

struct PROFILE_TEXT
{
    std::wstring text;
    PROFILE_ENCODING encoding = PROFILE_ENCODING::ANSI;
};

// A byte-order mark selects UTF-16 in either byte order or UTF-8 and is dropped; anything
// else is 8-bit text. A trailing odd byte of UTF-16 is dropped; invalid UTF-8 reads as
// U+FFFD.
PROFILE_TEXT DecodeProfileBytes(const std::string& bytes);
// The file bytes for the text, with the byte-order mark of its encoding. In an 8-bit file a
// character that code page 1252 lacks becomes '?'.
std::string EncodeProfileBytes(const PROFILE_TEXT& text);

// The value of a key, or nothing when the section, the key or its '=' is absent.
std::optional<std::wstring> FindProfileValue(const std::wstring& text, const std::wstring& section,
                                             const std::wstring& key);
// What the profile read hands back for a buffer of bufferChars characters (terminating
// zero included): the value or the default (which loses trailing spaces), without one pair
// of surrounding quotes, cut to bufferChars - 1 characters.
std::wstring ReadProfileText(const std::wstring& text, const std::wstring& section,
                             const std::wstring& key, const std::wstring& defaultValue,
                             std::size_t bufferChars);
// Sets key = value (leading blanks of the value dropped), changing only the key's line, or
// adding a line at the end of the section, or adding the section at the end of the text.
// Returns false, with the text unchanged, when the section or key name is blank.
bool SetProfileValue(std::wstring& text, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value);

// The file-system path for a profile path: off Windows a backslash is a folder separator and
// the name is stored in UTF-8. Text after an embedded zero is dropped.
std::filesystem::path ProfileNativePath(const std::wstring& path);

// The same rules over real files. Off Windows a backslash in a path is a folder separator.
class CPortableProfile
{
public:
    std::wstring ReadString(const std::wstring& path, const std::wstring& section,
                            const std::wstring& key, const std::wstring& defaultValue,
                            std::size_t bufferChars) const;
    bool WriteString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                     const std::wstring& value) const;
    bool FileExists(const std::wstring& path) const;
};
