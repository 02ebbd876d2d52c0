// The support files' part of the seam, over the standard library: the same code serves the
// Windows build and the native tests.

#include "platform/Platform.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace
{
bool WriteBytes(const std::wstring& path, const void* data, std::size_t size,
                std::ios::openmode mode)
{
    std::ofstream file(std::filesystem::path(path), std::ios::binary | mode);
    if (!file)
        return false;
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
    file.close();
    return !file.fail();
}
} // namespace

bool CPlatform::AppendFileBytes(const std::wstring& path, const void* data, std::size_t size)
{
    return WriteBytes(path, data, size, std::ios::app);
}

bool CPlatform::WriteNewFile(const std::wstring& path, const void* data, std::size_t size)
{
    return WriteBytes(path, data, size, std::ios::trunc);
}

std::int64_t CPlatform::FileByteSize(const std::wstring& path)
{
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

LOCAL_TIME CPlatform::LocalClock()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm parts{};
#if defined(_WIN32)
    // The Win32 platform reads the clock itself; this is only a fallback there.
    if (const std::tm* local = std::localtime(&seconds))
        parts = *local;
#else
    localtime_r(&seconds, &parts);
#endif
    LOCAL_TIME time;
    time.year = parts.tm_year + 1900;
    time.month = parts.tm_mon + 1;
    time.day = parts.tm_mday;
    time.hour = parts.tm_hour;
    time.minute = parts.tm_min;
    time.second = parts.tm_sec;
    time.millisecond = static_cast<int>(millis);
    return time;
}
