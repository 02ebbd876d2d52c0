#pragma once
// The simulated USB bus: the attached camera units, one clock, one lock, and the eleven
// D2XX entry points implemented over them. Native tests install a bus with a virtual
// clock (a read that would wait moves simulated time forward instead, up to the read
// time-out); the Ftd2xx.dll build and the benchmarks use the real clock.
//
// The entry points are free functions (SimFT_Open, SimFT_Read, ...) that act on the
// installed bus, so they can be bound exactly like the real library: through a
// D2XX_TABLE (SimD2xxTable) or through a platform's library symbols (SimD2xxSymbols).

#include "device/D2xxApi.h"
#include "sim/SimClock.h"
#include "sim/SimScenario.h"
#include "sim/SimUnit.h"

#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct SIM_BUS_OPTIONS
{
    bool virtualClock = true;
    int units = 1;
};

class CSimBus
{
public:
    // How often the hot entry points (read, queue status) look at the control file.
    static constexpr std::uint64_t CONTROL_POLL_MICROS = 20'000;
    // A call on an unplugged unit fails after this long, so a reader loop that ignores
    // the error still lets time pass.
    static constexpr std::uint64_t FAILED_CALL_MICROS = 1'000;

    explicit CSimBus(const SIM_BUS_OPTIONS& options = {});
    ~CSimBus();
    CSimBus(const CSimBus&) = delete;
    CSimBus& operator=(const CSimBus&) = delete;

    CSimClock& Clock() { return m_clock; }
    std::uint64_t NowMicros() const { return m_clock.NowMicros(); }
    // Virtual clock: moves time forward. Real clock: sleeps.
    void Advance(std::uint64_t micros) { m_clock.Advance(micros); }
    // For CFakePlatform::m_clock and m_sleeper, so the driver's time is the bus's time.
    std::function<std::uint64_t()> ClockFunction();
    std::function<void(std::uint32_t)> SleepFunction();

    // Commands of the scenario language, applied now. Relative paths are taken from
    // baseDir (the current folder when empty). Returns the bad lines, numbered from
    // firstLine.
    std::vector<SIM_SCENARIO_ERROR>
    Execute(std::string_view text, const std::filesystem::path& baseDir = {}, int firstLine = 1);
    void Apply(const SIM_COMMAND& command, const std::filesystem::path& baseDir = {});
    // False when the file cannot be read; bad lines are kept in Errors().
    bool LoadScenarioFile(const std::filesystem::path& path);
    // Lines appended to this file are executed as they arrive, including those already
    // in it. The hot entry points look at most every CONTROL_POLL_MICROS.
    void SetControlFile(const std::filesystem::path& path);
    void PollControlFile();
    // Every bad line seen by Execute, the scenario file and the control file.
    std::vector<SIM_SCENARIO_ERROR> Errors() const;

    // Inspection and direct changes, under the bus lock.
    int AttachedUnits() const;
    template <class F> auto WithUnit(int index, F&& f)
    {
        std::lock_guard lock(m_lock);
        CSimUnit& unit = UnitLocked(index);
        unit.Pump(m_clock.NowMicros());
        return f(unit);
    }
    std::vector<SIM_PACKET_RECORD> PacketLog(int unit);
    std::array<std::uint8_t, protocol::SETTING_STORE_SIZE> SettingStore(int unit);
    SIM_LINK_RECORD LinkRecord(int unit);
    SIM_UNIT_STATS Stats(int unit);

    // Fails every later call and wakes reads that wait.
    void Shutdown();

    // The entry points' work; the Sim* functions forward here.
    FT_STATUS Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                    std::uint32_t* written);
    FT_STATUS Read(FT_HANDLE handle, void* buffer, std::uint32_t count, std::uint32_t* returned);
    FT_STATUS Open(int index, FT_HANDLE* handle);
    FT_STATUS SetBaudRate(FT_HANDLE handle, std::uint32_t baud);
    FT_STATUS ListDevices(void* arg1, void* arg2, std::uint32_t flags);
    FT_STATUS Close(FT_HANDLE handle);
    FT_STATUS ResetDevice(FT_HANDLE handle);
    FT_STATUS Purge(FT_HANDLE handle, std::uint32_t mask);
    FT_STATUS SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t writeMs);
    FT_STATUS GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxBytes);
    FT_STATUS SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs);
    FT_STATUS SetChars(FT_HANDLE handle, std::uint8_t eventChar, std::uint8_t eventCharOn);

private:
    struct SIM_HANDLE
    {
        std::uintptr_t id = 0;
        CSimUnit* unit = nullptr;
        std::uint32_t generation = 0;
        std::uint32_t readTimeoutMs = protocol::READ_TIMEOUT_MS;
        std::uint32_t writeTimeoutMs = protocol::WRITE_TIMEOUT_MS;
    };

    CSimUnit& UnitLocked(int index);
    // The plugged units in listing order.
    int ListedCountLocked() const;
    CSimUnit* ListedUnitLocked(int position);
    // A usable handle, or null with the status to return.
    SIM_HANDLE* FindHandleLocked(FT_HANDLE handle, FT_STATUS& status);
    FT_STATUS OpenUnitLocked(CSimUnit* unit, FT_HANDLE* handle);
    FT_STATUS FailedCall(std::unique_lock<std::mutex>& lock, FT_STATUS status);
    void ApplyLocked(const SIM_COMMAND& command, const std::filesystem::path& baseDir);
    // Every unit of a recording replays its bytes; an unreadable file is a scenario error.
    void ReplayLocked(const std::filesystem::path& path, bool fast, std::uint64_t now);
    void LogErrorsLocked(const std::vector<SIM_SCENARIO_ERROR>& errors);
    void LogPacketsLocked(const CSimUnit& unit, std::size_t from);
    void LogSpotsLocked(CSimUnit& unit);
    void MaybePollControl(bool hot);

    CSimClock m_clock;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_bShutdown = false;
    std::vector<std::unique_ptr<CSimUnit>> m_units;
    int m_nAttached = 0;
    double m_dFps = CSimUnit::DEFAULT_FPS;
    std::uint32_t m_nSeed = 0;
    bool m_bSeeded = false;
    std::vector<SIM_HANDLE> m_handles;
    std::vector<SIM_SCENARIO_ERROR> m_errors;
    std::ofstream m_logFile;

    std::mutex m_controlLock;
    std::atomic<bool> m_bHasControl{false};
    std::atomic<std::uint64_t> m_nLastPollMicros{0};
    std::filesystem::path m_controlPath;
    std::uint64_t m_nControlOffset = 0;
    int m_nControlLines = 0;
};

// The bus the entry points act on. Installing returns the previous one; a call that is
// still running on the previous bus finishes on it.
std::shared_ptr<CSimBus> InstallSimBus(std::shared_ptr<CSimBus> bus);
std::shared_ptr<CSimBus> CurrentSimBus();

// A fresh bus for the life of a scope (one test), shut down and replaced by the previous
// one afterwards.
class CScopedSimBus
{
public:
    explicit CScopedSimBus(const SIM_BUS_OPTIONS& options = {});
    ~CScopedSimBus();
    CScopedSimBus(const CScopedSimBus&) = delete;
    CScopedSimBus& operator=(const CScopedSimBus&) = delete;

    CSimBus& Bus() { return *m_pBus; }
    CSimBus* operator->() { return m_pBus.get(); }

private:
    std::shared_ptr<CSimBus> m_pBus;
    std::shared_ptr<CSimBus> m_pPrevious;
};

// The entry points, with the library's signatures.
#define TAVELO_SIM_DECLARE(name, params) FT_STATUS TAVELO_STDCALL Sim##name params;
TAVELO_D2XX_ENTRY_POINTS(TAVELO_SIM_DECLARE)
TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(TAVELO_SIM_DECLARE)
#undef TAVELO_SIM_DECLARE

// The entry points as a bound table, the optional ones included.
D2XX_TABLE SimD2xxTable();
// Library symbol name -> entry point, for a fake platform's library map.
std::map<std::string, void*> SimD2xxSymbols();
