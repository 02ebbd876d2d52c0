#pragma once
// System libraries that are not among the ones Windows always takes from its own folder
// (version, winmm, wininet) are never imported by the executable: an elevated program would
// load a planted copy from its own folder first. They are bound here at run time, each from
// the system folder by its full path, with every entry point the driver uses declared once.
// The wrappers in namespace syscall take the real signatures and give 0, FALSE or null when
// the library or the entry point is missing, which every caller already treats as failure.

#include <windows.h>

#include <timeapi.h>
#include <wininet.h>
#include <winver.h>

#include <string>

// X(library file, entry point), in the order they are bound.
#define TAVELO_SYSTEM_ENTRY_POINTS(X)                                                              \
    X(L"version.dll", GetFileVersionInfoSizeW)                                                     \
    X(L"version.dll", GetFileVersionInfoW)                                                         \
    X(L"version.dll", VerQueryValueW)                                                              \
    X(L"winmm.dll", timeBeginPeriod)                                                               \
    X(L"wininet.dll", InternetOpenW)                                                               \
    X(L"wininet.dll", InternetConnectW)                                                            \
    X(L"wininet.dll", InternetCrackUrlW)                                                           \
    X(L"wininet.dll", InternetSetOptionW)                                                          \
    X(L"wininet.dll", InternetReadFile)                                                            \
    X(L"wininet.dll", InternetCloseHandle)                                                         \
    X(L"wininet.dll", HttpOpenRequestW)                                                            \
    X(L"wininet.dll", HttpSendRequestW)                                                            \
    X(L"wininet.dll", HttpQueryInfoW)

struct SYSTEM_CALLS
{
#define TAVELO_SYSTEM_FIELD(library, name) decltype(&::name) p##name = nullptr;
    TAVELO_SYSTEM_ENTRY_POINTS(TAVELO_SYSTEM_FIELD)
#undef TAVELO_SYSTEM_FIELD
};

// The table, bound on first use (from any thread) and kept for the life of the process.
const SYSTEM_CALLS& SystemCalls();

// "<system folder>\<name>", or "" when Windows cannot name its folder.
std::wstring SystemLibraryPath(const wchar_t* name);

namespace syscall
{
#define TAVELO_SYSTEM_WRAPPER(library, name)                                                       \
    template <typename... ARGS> auto name(ARGS... args)                                            \
    {                                                                                              \
        const auto function = SystemCalls().p##name;                                               \
        return function != nullptr ? function(args...) : decltype(function(args...)){};            \
    }
TAVELO_SYSTEM_ENTRY_POINTS(TAVELO_SYSTEM_WRAPPER)
#undef TAVELO_SYSTEM_WRAPPER
} // namespace syscall
