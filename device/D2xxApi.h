#pragma once
// The D2XX entry points the driver binds at run time, declared once. The list macro
// drives the function table, the loader and the simulator's exports alike.

#include "platform/CallingConvention.h"

#include <cstddef>
#include <cstdint>

using FT_HANDLE = void*;
using FT_STATUS = std::uint32_t;

enum : FT_STATUS
{
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INVALID_PARAMETER = 6,
    FT_OTHER_ERROR = 18,
};

enum : std::uint32_t
{
    FT_OPEN_BY_SERIAL_NUMBER = 1,
    FT_OPEN_BY_DESCRIPTION = 2,
    FT_OPEN_BY_LOCATION = 4,
    FT_LIST_NUMBER_ONLY = 0x80000000,
    FT_LIST_BY_INDEX = 0x40000000,
    FT_LIST_ALL = 0x20000000,
    FT_PURGE_RX = 1,
    FT_PURGE_TX = 2,
};

// Characters of a serial number or description the listing writes, terminating zero included.
constexpr std::size_t FT_LISTED_TEXT_CHARS = 64;

// X(name, return, parameter list), in the order the library is bound.
#define TAVELO_D2XX_ENTRY_POINTS(X)                                                                \
    X(FT_Write,                                                                                    \
      (FT_HANDLE handle, void* buffer, std::uint32_t bytesToWrite, std::uint32_t* bytesWritten))   \
    X(FT_Read,                                                                                     \
      (FT_HANDLE handle, void* buffer, std::uint32_t bytesToRead, std::uint32_t* bytesReturned))   \
    X(FT_Open, (int deviceNumber, FT_HANDLE* handle))                                              \
    X(FT_OpenEx, (void* arg1, std::uint32_t flags, FT_HANDLE* handle))                             \
    X(FT_SetBaudRate, (FT_HANDLE handle, std::uint32_t baudRate))                                  \
    X(FT_ListDevices, (void* arg1, void* arg2, std::uint32_t flags))                               \
    X(FT_Close, (FT_HANDLE handle))                                                                \
    X(FT_ResetDevice, (FT_HANDLE handle))                                                          \
    X(FT_Purge, (FT_HANDLE handle, std::uint32_t mask))                                            \
    X(FT_SetTimeouts, (FT_HANDLE handle, std::uint32_t readTimeout, std::uint32_t writeTimeout))   \
    X(FT_GetQueueStatus, (FT_HANDLE handle, std::uint32_t * rxBytes))

// Entry points the driver uses when the library has them and does without otherwise: the
// bridge's latency timer and its event character.
#define TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(X)                                                       \
    X(FT_SetLatencyTimer, (FT_HANDLE handle, std::uint8_t timerMs))                                \
    X(FT_SetChars, (FT_HANDLE handle, std::uint8_t eventChar, std::uint8_t eventCharOn,            \
                    std::uint8_t errorChar, std::uint8_t errorCharOn))

#define TAVELO_D2XX_TYPEDEF(name, params) using PFN_##name = FT_STATUS(TAVELO_STDCALL*) params;
TAVELO_D2XX_ENTRY_POINTS(TAVELO_D2XX_TYPEDEF)
TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(TAVELO_D2XX_TYPEDEF)
#undef TAVELO_D2XX_TYPEDEF

// One pointer per entry point; null until bound (an optional one stays null when the library
// lacks it).
struct D2XX_TABLE
{
#define TAVELO_D2XX_FIELD(name, params) PFN_##name p##name = nullptr;
    TAVELO_D2XX_ENTRY_POINTS(TAVELO_D2XX_FIELD)
    TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(TAVELO_D2XX_FIELD)
#undef TAVELO_D2XX_FIELD
};

// One tag type per entry point, naming its field and its symbol, so that a call through the
// table can name what is missing.
namespace d2xx
{
#define TAVELO_D2XX_TAG(name, params)                                                              \
    struct name                                                                                    \
    {                                                                                              \
        static constexpr auto FIELD = &D2XX_TABLE::p##name;                                        \
        static constexpr const char* NAME = #name;                                                 \
    };
TAVELO_D2XX_ENTRY_POINTS(TAVELO_D2XX_TAG)
#undef TAVELO_D2XX_TAG
} // namespace d2xx
