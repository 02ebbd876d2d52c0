// The exports of the simulated Ftd2xx.dll, the bridge's latency timer and event character
// included. The bus starts on the first call: real clock, one unit unless the scenario file
// says otherwise, and the control file polled for live commands. Both files are found
// through an environment variable or beside the DLL.

#include "sim/SimBus.h"

#include <windows.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <type_traits>

namespace
{
std::once_flag g_busStarted;

std::filesystem::path ModuleDirectory()
{
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ModuleDirectory), &module))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;)
    {
        const DWORD length = GetModuleFileNameW(module, path.data(), DWORD(path.size()));
        if (length == 0)
            return {};
        if (length < path.size())
        {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
}

std::filesystem::path FromEnvironment(const wchar_t* name, const std::filesystem::path& fallback)
{
    DWORD length = GetEnvironmentVariableW(name, nullptr, 0);
    if (length == 0)
        return fallback;
    std::wstring value(length, L'\0');
    length = GetEnvironmentVariableW(name, value.data(), length);
    value.resize(length);
    return value.empty() ? fallback : std::filesystem::path(value);
}

void StartBus()
{
    auto bus = std::make_shared<CSimBus>(SIM_BUS_OPTIONS{false, 1});
    const std::filesystem::path folder = ModuleDirectory();
    const std::filesystem::path scenario =
        FromEnvironment(L"TAVELO_SIM_SCENARIO", folder / L"SimScenario.txt");
    std::error_code error;
    if (std::filesystem::exists(scenario, error))
        bus->LoadScenarioFile(scenario);
    bus->SetControlFile(FromEnvironment(L"TAVELO_SIM_CONTROL", folder / L"SimControl.txt"));
    InstallSimBus(bus);
}

void EnsureBus()
{
    std::call_once(g_busStarted, StartBus);
}
} // namespace

extern "C"
{
    FT_STATUS TAVELO_STDCALL FT_Write(FT_HANDLE handle, void* buffer, std::uint32_t bytesToWrite,
                                      std::uint32_t* bytesWritten)
    {
        EnsureBus();
        return SimFT_Write(handle, buffer, bytesToWrite, bytesWritten);
    }

    FT_STATUS TAVELO_STDCALL FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t bytesToRead,
                                     std::uint32_t* bytesReturned)
    {
        EnsureBus();
        return SimFT_Read(handle, buffer, bytesToRead, bytesReturned);
    }

    FT_STATUS TAVELO_STDCALL FT_Open(int deviceNumber, FT_HANDLE* handle)
    {
        EnsureBus();
        return SimFT_Open(deviceNumber, handle);
    }

    FT_STATUS TAVELO_STDCALL FT_OpenEx(void* arg1, std::uint32_t flags, FT_HANDLE* handle)
    {
        EnsureBus();
        return SimFT_OpenEx(arg1, flags, handle);
    }

    FT_STATUS TAVELO_STDCALL FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baudRate)
    {
        EnsureBus();
        return SimFT_SetBaudRate(handle, baudRate);
    }

    FT_STATUS TAVELO_STDCALL FT_ListDevices(void* arg1, void* arg2, std::uint32_t flags)
    {
        EnsureBus();
        return SimFT_ListDevices(arg1, arg2, flags);
    }

    FT_STATUS TAVELO_STDCALL FT_Close(FT_HANDLE handle)
    {
        EnsureBus();
        return SimFT_Close(handle);
    }

    FT_STATUS TAVELO_STDCALL FT_ResetDevice(FT_HANDLE handle)
    {
        EnsureBus();
        return SimFT_ResetDevice(handle);
    }

    FT_STATUS TAVELO_STDCALL FT_Purge(FT_HANDLE handle, std::uint32_t mask)
    {
        EnsureBus();
        return SimFT_Purge(handle, mask);
    }

    FT_STATUS TAVELO_STDCALL FT_SetTimeouts(FT_HANDLE handle, std::uint32_t readTimeout,
                                            std::uint32_t writeTimeout)
    {
        EnsureBus();
        return SimFT_SetTimeouts(handle, readTimeout, writeTimeout);
    }

    FT_STATUS TAVELO_STDCALL FT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxBytes)
    {
        EnsureBus();
        return SimFT_GetQueueStatus(handle, rxBytes);
    }

    FT_STATUS TAVELO_STDCALL FT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs)
    {
        EnsureBus();
        return SimFT_SetLatencyTimer(handle, timerMs);
    }

    FT_STATUS TAVELO_STDCALL FT_SetChars(FT_HANDLE handle, std::uint8_t eventChar,
                                         std::uint8_t eventCharOn, std::uint8_t errorChar,
                                         std::uint8_t errorCharOn)
    {
        EnsureBus();
        return SimFT_SetChars(handle, eventChar, eventCharOn, errorChar, errorCharOn);
    }
}

// The exports keep the library's signatures.
#define TAVELO_SIM_EXPORT_CHECK(name, params)                                                      \
    static_assert(std::is_same_v<decltype(&name), PFN_##name>, #name " has the wrong signature");
TAVELO_D2XX_ENTRY_POINTS(TAVELO_SIM_EXPORT_CHECK)
TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(TAVELO_SIM_EXPORT_CHECK)
#undef TAVELO_SIM_EXPORT_CHECK
