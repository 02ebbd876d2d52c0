#pragma once
// The diagnostic log: one line per event of the driver's life, in plain English with local
// time and milliseconds, for whoever supports a board. It stays small (one file of at most
// DIAG_LOG_LIMIT bytes and the one before it) and never grows with use. Only the
// user-interface thread writes it; a line that cannot be written is dropped and nothing else
// happens.

#include <cstdarg>
#include <cstdint>
#include <string>

constexpr std::int64_t DIAG_LOG_LIMIT = 1 << 20;
inline constexpr wchar_t DIAG_LOG_NAME[] = L"Tavelo.log";
// The file the log rotates into when it is full; the one before is dropped.
inline constexpr wchar_t DIAG_LOG_OLD_SUFFIX[] = L".1";

class CDiagLog
{
public:
    // Lines go to folder\Tavelo.log from now on; before, they go nowhere.
    void Open(const std::wstring& folder);
    void Close();
    bool IsOpen() const { return !m_strPath.empty(); }
    const std::wstring& Path() const { return m_strPath; }

    void Write(const std::string& text);
#if defined(__MINGW32__)
    // The C++ runtime formats the GNU way there, whatever the Microsoft library would do.
    __attribute__((format(gnu_printf, 2, 3)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    void
    Printf(const char* format, ...);

private:
    std::wstring m_strPath;
    // What the current file holds, as far as this log knows.
    std::int64_t m_nSize = 0;
};

// The program's log.
CDiagLog& DiagLog();

// UTF-8 of a UTF-16 text, for the log's lines.
std::string Utf8Of(const std::wstring& text);
