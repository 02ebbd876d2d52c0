#include "platform/win32/SystemLibraries.h"

#include <string>
#include <vector>

std::wstring SystemLibraryPath(const wchar_t* name)
{
    std::vector<wchar_t> folder(MAX_PATH);
    UINT length = GetSystemDirectoryW(folder.data(), UINT(folder.size()));
    if (length >= folder.size())
    {
        folder.resize(length + 1);
        length = GetSystemDirectoryW(folder.data(), UINT(folder.size()));
    }
    if (length == 0 || length >= folder.size())
        return std::wstring();
    return std::wstring(folder.data(), length) + L"\\" + name;
}

namespace
{
// Each library once, by its full path; its own imports are then looked for beside it.
HMODULE LoadByFullPath(const wchar_t* name)
{
    const std::wstring path = SystemLibraryPath(name);
    return path.empty() ? nullptr
                        : LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

SYSTEM_CALLS BindSystemCalls()
{
    SYSTEM_CALLS calls;
    const wchar_t* loadedName = nullptr;
    HMODULE library = nullptr;
#define TAVELO_SYSTEM_BIND(file, name)                                                             \
    if (loadedName == nullptr || lstrcmpW(loadedName, file) != 0)                                  \
    {                                                                                              \
        loadedName = file;                                                                         \
        library = LoadByFullPath(file);                                                            \
    }                                                                                              \
    if (library != nullptr)                                                                        \
        calls.p##name = reinterpret_cast<decltype(calls.p##name)>(                                 \
            reinterpret_cast<void*>(GetProcAddress(library, #name)));
    TAVELO_SYSTEM_ENTRY_POINTS(TAVELO_SYSTEM_BIND)
#undef TAVELO_SYSTEM_BIND
    return calls;
}
} // namespace

const SYSTEM_CALLS& SystemCalls()
{
    static const SYSTEM_CALLS calls = BindSystemCalls();
    return calls;
}
