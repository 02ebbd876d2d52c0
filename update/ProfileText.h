#pragma once
// A downloaded update file read in memory, by the rules the profile functions read a file
// with: the text's encoding from its byte-order mark (UTF-16 either way round or UTF-8; none
// means one byte per character), lines ending in CR, LF or both, "[section]" headers and
// "key=value" lines, names matched without regard to case or surrounding blanks, the first
// section of a name and its first key winning, and a value without its surrounding blanks
// and without one pair of matching quotes around it. Nothing touches a file: the body never
// passes through a folder another process could change.

#include <cstddef>
#include <string>
#include <string_view>

class CProfileText
{
public:
    CProfileText() = default;
    explicit CProfileText(std::string_view bytes);

    // As the profile read of a file: at most bufferChars - 1 characters of the key's value, or
    // of the default when the section or the key is absent, and a terminating zero. Returns
    // the number of characters copied; a zero-sized buffer is left untouched.
    std::size_t ReadString(const wchar_t* section, const wchar_t* key, const wchar_t* defaultValue,
                           wchar_t* buffer, std::size_t bufferChars) const;

    const std::wstring& Text() const { return m_strText; }

private:
    std::wstring m_strText;
};

// The bytes as text, by their byte-order mark; a trailing odd byte of UTF-16 is dropped and an
// invalid UTF-8 sequence reads as U+FFFD.
std::wstring DecodeProfileBytes(std::string_view bytes);
