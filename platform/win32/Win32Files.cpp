#include "platform/win32/Win32Platform.h"

#include <vector>

bool CWin32Platform::CopyFileOver(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), FALSE) != FALSE;
}

bool CWin32Platform::MoveFileOver(const std::wstring& from, const std::wstring& to)
{
    // Write-through: the move is on the disk, not only in the cache, when it returns.
    return MoveFileExW(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool CWin32Platform::RemoveFile(const std::wstring& path)
{
    return DeleteFileW(path.c_str()) != FALSE;
}
