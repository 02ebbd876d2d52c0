#pragma once
// Stand-ins for the programs the driver starts: record_launch.exe (beside the test program)
// copied under a program's path records how it was started; and the machine's command for
// ".htm" pages, pointed at such a copy for a scope.

#include <windows.h>

#include <string>
#include <vector>

// A copy of the stand-in under a program's path; its record ("<path>.launch.txt") and the copy
// go when the scope ends. Folders on the way are made.
class CStandIn
{
public:
    explicit CStandIn(const std::wstring& path);
    ~CStandIn();
    CStandIn(const CStandIn&) = delete;
    CStandIn& operator=(const CStandIn&) = delete;

    bool IsCopied() const { return m_bCopied; }
    // The record, once the stand-in has written it whole, or "" after the time-out.
    std::string WaitForRecord(DWORD milliseconds) const;
    // The arguments of the recorded start, once the record is whole (none after the time-out).
    std::vector<std::string> WaitForArguments(DWORD milliseconds) const;

private:
    std::wstring m_strPath;
    bool m_bCopied = false;
};

// Makes ".htm" pages open with a command for the whole machine (HKLM\Software\Classes) while
// the scope lasts; the test prefix has no browser registered for them otherwise.
class CHtmlOpenCommand
{
public:
    explicit CHtmlOpenCommand(const std::wstring& command);
    ~CHtmlOpenCommand();
    CHtmlOpenCommand(const CHtmlOpenCommand&) = delete;
    CHtmlOpenCommand& operator=(const CHtmlOpenCommand&) = delete;

private:
    std::wstring m_strOldType;
};
