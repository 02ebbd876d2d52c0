#include "sim/SimBus.h"

#include "device/StreamRecording.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <thread>
#include <type_traits>

namespace
{
// Reading a folder as a file throws in the standard library: a path that names no regular file
// reads as nothing.
bool IsReadableFile(const std::filesystem::path& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

constexpr std::uint64_t NEVER = std::numeric_limits<std::uint64_t>::max();
// A waiting read on the real clock looks again at least this often.
constexpr std::uint64_t MAX_WAIT_SLICE_MICROS = 50'000;

std::mutex g_installLock;
std::shared_ptr<CSimBus> g_pBus;
std::atomic<std::uintptr_t> g_nNextHandle{0x5100};

std::filesystem::path Resolve(const std::string& utf8, const std::filesystem::path& baseDir)
{
    std::filesystem::path path(
        std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
    if (path.is_relative() && !baseDir.empty())
        return baseDir / path;
    return path;
}

} // namespace

CSimBus::CSimBus(const SIM_BUS_OPTIONS& options)
    : m_clock(options.virtualClock), m_units(SIM_MAX_UNITS)
{
    SIM_COMMAND units;
    units.verb = SIM_VERB::Units;
    units.value = static_cast<std::uint32_t>(std::clamp(options.units, 0, SIM_MAX_UNITS));
    Apply(units);
}

CSimBus::~CSimBus()
{
    Shutdown();
}

std::function<std::uint64_t()> CSimBus::ClockFunction()
{
    return [this] { return m_clock.NowMicros(); };
}

std::function<void(std::uint32_t)> CSimBus::SleepFunction()
{
    return [this](std::uint32_t ms) { m_clock.Advance(std::uint64_t(ms) * 1000); };
}

CSimUnit& CSimBus::UnitLocked(int index)
{
    if (index < 0 || index >= SIM_MAX_UNITS)
        throw std::out_of_range("simulated unit index");
    std::unique_ptr<CSimUnit>& unit = m_units[std::size_t(index)];
    if (!unit)
    {
        unit = std::make_unique<CSimUnit>(index);
        unit->SetFrameRate(m_dFps);
        if (m_bSeeded)
            unit->SetSeed(std::uint64_t(m_nSeed) + std::uint64_t(index));
    }
    return *unit;
}

int CSimBus::AttachedUnits() const
{
    std::lock_guard lock(m_lock);
    return m_nAttached;
}

int CSimBus::ListedCountLocked() const
{
    int count = 0;
    for (int i = 0; i < m_nAttached; ++i)
    {
        if (m_units[std::size_t(i)]->IsPlugged())
            ++count;
    }
    return count;
}

CSimUnit* CSimBus::ListedUnitLocked(int position)
{
    for (int i = 0; i < m_nAttached; ++i)
    {
        CSimUnit* unit = m_units[std::size_t(i)].get();
        if (unit->IsPlugged() && position-- == 0)
            return unit;
    }
    return nullptr;
}

std::vector<SIM_SCENARIO_ERROR>
CSimBus::Execute(std::string_view text, const std::filesystem::path& baseDir, int firstLine)
{
    SIM_SCENARIO scenario = ParseSimScenario(text);
    for (SIM_SCENARIO_ERROR& error : scenario.errors)
        error.line += firstLine - 1;
    {
        std::lock_guard lock(m_lock);
        for (const SIM_COMMAND& command : scenario.commands)
            ApplyLocked(command, baseDir);
        m_errors.insert(m_errors.end(), scenario.errors.begin(), scenario.errors.end());
        LogErrorsLocked(scenario.errors);
    }
    m_changed.notify_all();
    return scenario.errors;
}

void CSimBus::Apply(const SIM_COMMAND& command, const std::filesystem::path& baseDir)
{
    {
        std::lock_guard lock(m_lock);
        ApplyLocked(command, baseDir);
    }
    m_changed.notify_all();
}

void CSimBus::ApplyLocked(const SIM_COMMAND& c, const std::filesystem::path& baseDir)
{
    const std::uint64_t now = m_clock.NowMicros();
    switch (c.verb)
    {
    case SIM_VERB::Units:
        m_nAttached = std::min(int(c.value), SIM_MAX_UNITS);
        for (int i = 0; i < SIM_MAX_UNITS; ++i)
        {
            if (i < m_nAttached)
                UnitLocked(i).SetAttached(true, now);
            else if (m_units[std::size_t(i)])
                m_units[std::size_t(i)]->SetAttached(false, now);
        }
        return;
    case SIM_VERB::Fps:
        m_dFps = c.number;
        for (auto& unit : m_units)
        {
            if (unit)
            {
                unit->Pump(now);
                unit->SetFrameRate(c.number);
            }
        }
        return;
    case SIM_VERB::Seed:
        m_nSeed = c.value;
        m_bSeeded = true;
        for (auto& unit : m_units)
        {
            if (unit)
                unit->SetSeed(std::uint64_t(c.value) + std::uint64_t(unit->Index()));
        }
        return;
    case SIM_VERB::Replay:
        ReplayLocked(Resolve(c.path, baseDir), c.value != 0, now);
        return;
    case SIM_VERB::Log:
        m_logFile.close();
        m_logFile.clear();
        m_logFile.open(Resolve(c.path, baseDir), std::ios::app);
        for (auto& unit : m_units)
        {
            if (unit)
                unit->RecordSpots(m_logFile.is_open());
        }
        return;
    default:
        break;
    }

    CSimUnit& unit = UnitLocked(c.unit);
    unit.Pump(now);
    switch (c.verb)
    {
    case SIM_VERB::Minor:
        unit.SetFirmwareMinor(static_cast<std::uint8_t>(c.value));
        break;
    case SIM_VERB::PenDown:
        unit.SetPen(c.pen, c.x, c.y, c.weight);
        break;
    case SIM_VERB::PenUp:
        unit.LiftPen(c.pen);
        break;
    case SIM_VERB::PensUp:
        unit.LiftAllPens();
        break;
    case SIM_VERB::Fault:
        unit.SetFault(c.fault, c.on, now);
        break;
    case SIM_VERB::FaultNone:
        unit.ClearFaults(now);
        break;
    case SIM_VERB::Store:
        unit.SetStoreFile(Resolve(c.path, baseDir));
        break;
    case SIM_VERB::Set:
        unit.SetStoreByte(int(c.value), static_cast<std::uint8_t>(c.value2));
        break;
    case SIM_VERB::UnitFps:
        unit.SetFrameRate(c.number);
        break;
    case SIM_VERB::Screen:
        unit.SetScreenQuad(c.quad);
        break;
    case SIM_VERB::Send:
        unit.SendRaw(c.bytes.data(), c.bytes.size(), now);
        break;
    case SIM_VERB::Monitor:
        unit.SetMonitor(CALIB_RECT{
            static_cast<std::int32_t>(c.numbers[0]), static_cast<std::int32_t>(c.numbers[1]),
            static_cast<std::int32_t>(c.numbers[2]), static_cast<std::int32_t>(c.numbers[3])});
        break;
    case SIM_VERB::View:
        unit.AimView(c.numbers[0], c.numbers[1], c.numbers[2], c.numbers[3]);
        break;
    case SIM_VERB::Lens:
        unit.SetLens(c.numbers[0], c.numbers[1], c.numbers[2]);
        break;
    case SIM_VERB::Mount:
        unit.SetMount(static_cast<std::int32_t>(c.value), static_cast<std::int32_t>(c.value2));
        break;
    case SIM_VERB::Bridge:
        unit.ReadyBytes(now);
        if (c.value == HOST_BRIDGE)
            unit.Bridge().Unfix();
        else
            unit.Bridge().Fix({c.value, c.on, static_cast<std::uint8_t>(c.value2), c.refuse});
        break;
    case SIM_VERB::Units:
    case SIM_VERB::Fps:
    case SIM_VERB::Seed:
    case SIM_VERB::Log:
    case SIM_VERB::Replay:
        break;
    }
}

void CSimBus::ReplayLocked(const std::filesystem::path& path, bool fast, std::uint64_t now)
{
    std::ifstream in;
    if (IsReadableFile(path))
        in.open(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    RECORDING_HEADER header;
    std::vector<RECORDED_BYTE> bytes;
    if (!in.is_open() || !ReadRecording(file, header, bytes))
    {
        m_errors.push_back({0, "cannot read the recording " + path.string()});
        LogErrorsLocked({m_errors.back()});
        return;
    }
    // As many units as were recorded, each with the firmware it reported (1.23 is minor 0x23).
    SIM_COMMAND units;
    units.verb = SIM_VERB::Units;
    units.value = static_cast<std::uint32_t>(header.units.size());
    ApplyLocked(units, {});
    for (std::size_t i = 0; i < header.units.size(); ++i)
    {
        CSimUnit& unit = UnitLocked(int(i));
        const long hundredths = std::lround((header.units[i].firmwareVersion - 1.0) * 100.0);
        if (hundredths >= 0 && hundredths < 100)
            unit.SetFirmwareMinor(
                static_cast<std::uint8_t>((hundredths / 10) << 4 | hundredths % 10));
        std::vector<std::pair<std::uint64_t, std::uint8_t>> own;
        for (const RECORDED_BYTE& byte : bytes)
        {
            if (byte.unit == i)
                own.emplace_back(byte.micros, byte.byte);
        }
        unit.Pump(now);
        unit.SetReplay(std::move(own), fast);
    }
}

bool CSimBus::LoadScenarioFile(const std::filesystem::path& path)
{
    std::ifstream in;
    if (IsReadableFile(path))
        in.open(path, std::ios::binary);
    if (!in.is_open())
    {
        std::lock_guard lock(m_lock);
        m_errors.push_back({0, "cannot read the scenario file"});
        LogErrorsLocked({m_errors.back()});
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Execute(text, path.parent_path());
    return true;
}

void CSimBus::SetControlFile(const std::filesystem::path& path)
{
    {
        std::lock_guard control(m_controlLock);
        m_controlPath = path;
        m_nControlOffset = 0;
        m_nControlLines = 0;
        m_bHasControl = !path.empty();
    }
    PollControlFile();
}

void CSimBus::MaybePollControl(bool hot)
{
    if (!m_bHasControl)
        return;
    if (hot && m_clock.NowMicros() < m_nLastPollMicros + CONTROL_POLL_MICROS)
        return;
    PollControlFile();
}

void CSimBus::PollControlFile()
{
    std::lock_guard control(m_controlLock);
    if (m_controlPath.empty())
        return;
    m_nLastPollMicros = m_clock.NowMicros();
    if (!IsReadableFile(m_controlPath))
        return;
    std::ifstream in(m_controlPath, std::ios::binary);
    if (!in)
        return;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0)
        return;
    // A file that got shorter was started afresh.
    if (std::uint64_t(size) < m_nControlOffset)
    {
        m_nControlOffset = 0;
        m_nControlLines = 0;
    }
    if (std::uint64_t(size) == m_nControlOffset)
        return;
    in.seekg(std::streamoff(m_nControlOffset));
    std::string text(std::size_t(std::uint64_t(size) - m_nControlOffset), '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(std::size_t(in.gcount()));
    // A line still being written waits for its line break.
    const std::size_t lastBreak = text.rfind('\n');
    if (lastBreak == std::string::npos)
        return;
    text.resize(lastBreak + 1);
    m_nControlOffset += text.size();
    const int firstLine = m_nControlLines + 1;
    m_nControlLines += int(std::count(text.begin(), text.end(), '\n'));
    Execute(text, m_controlPath.parent_path(), firstLine);
}

std::vector<SIM_SCENARIO_ERROR> CSimBus::Errors() const
{
    std::lock_guard lock(m_lock);
    return m_errors;
}

void CSimBus::LogErrorsLocked(const std::vector<SIM_SCENARIO_ERROR>& errors)
{
    if (!m_logFile.is_open())
        return;
    for (const SIM_SCENARIO_ERROR& error : errors)
        m_logFile << "# line " << error.line << ": " << error.message << "\n";
    m_logFile.flush();
}

void CSimBus::LogPacketsLocked(const CSimUnit& unit, std::size_t from)
{
    if (!m_logFile.is_open())
        return;
    const auto& log = unit.PacketLog();
    for (std::size_t i = from; i < log.size(); ++i)
    {
        char line[96];
        const auto& b = log[i].bytes;
        std::snprintf(line, sizeof line, "%llu unit %d %02X %02X %02X %02X %02X %02X%s\n",
                      static_cast<unsigned long long>(log[i].micros), unit.Index(), b[0], b[1],
                      b[2], b[3], b[4], b[5], log[i].framed ? "" : " unframed");
        m_logFile << line;
    }
    m_logFile.flush();
}

void CSimBus::LogSpotsLocked(CSimUnit& unit)
{
    if (!m_logFile.is_open())
        return;
    for (const SIM_SPOT_SENT& sent : unit.TakeSpotsSent())
    {
        char line[96];
        if (sent.down)
            std::snprintf(line, sizeof line, "%llu unit %d spot %.2f %.2f\n",
                          static_cast<unsigned long long>(sent.micros), unit.Index(), sent.x,
                          sent.y);
        else
            std::snprintf(line, sizeof line, "%llu unit %d spot up\n",
                          static_cast<unsigned long long>(sent.micros), unit.Index());
        m_logFile << line;
    }
    for (const SIM_SPOT_READ& read : unit.TakeSpotsRead())
        m_logFile << read.readMicros << " unit " << unit.Index() << " read " << read.sentMicros
                  << "\n";
    m_logFile.flush();
}

std::vector<SIM_PACKET_RECORD> CSimBus::PacketLog(int unit)
{
    std::lock_guard lock(m_lock);
    return UnitLocked(unit).PacketLog();
}

std::array<std::uint8_t, protocol::SETTING_STORE_SIZE> CSimBus::SettingStore(int unit)
{
    std::lock_guard lock(m_lock);
    return UnitLocked(unit).Store();
}

SIM_LINK_RECORD CSimBus::LinkRecord(int unit)
{
    std::lock_guard lock(m_lock);
    return UnitLocked(unit).Link();
}

SIM_UNIT_STATS CSimBus::Stats(int unit)
{
    std::lock_guard lock(m_lock);
    CSimUnit& u = UnitLocked(unit);
    u.Pump(m_clock.NowMicros());
    return u.Stats();
}

void CSimBus::Shutdown()
{
    {
        std::lock_guard lock(m_lock);
        m_bShutdown = true;
    }
    m_changed.notify_all();
}

CSimBus::SIM_HANDLE* CSimBus::FindHandleLocked(FT_HANDLE handle, FT_STATUS& status)
{
    status = FT_INVALID_HANDLE;
    if (m_bShutdown)
        return nullptr;
    const auto id = reinterpret_cast<std::uintptr_t>(handle);
    for (SIM_HANDLE& h : m_handles)
    {
        if (h.id != id)
            continue;
        if (!h.unit->IsPlugged() || h.unit->PlugGeneration() != h.generation)
        {
            status = FT_IO_ERROR;
            return nullptr;
        }
        status = FT_OK;
        return &h;
    }
    return nullptr;
}

FT_STATUS CSimBus::FailedCall(std::unique_lock<std::mutex>& lock, FT_STATUS status)
{
    if (status != FT_IO_ERROR)
        return status;
    if (m_clock.IsVirtual())
    {
        m_clock.Advance(FAILED_CALL_MICROS);
        return status;
    }
    lock.unlock();
    m_clock.Advance(FAILED_CALL_MICROS);
    return status;
}

FT_STATUS CSimBus::Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                         std::uint32_t* written)
{
    if (written == nullptr || (buffer == nullptr && count > 0))
        return FT_INVALID_PARAMETER;
    *written = 0;
    MaybePollControl(false);
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    CSimUnit& unit = *h->unit;
    const std::size_t logged = unit.PacketLog().size();
    unit.Receive(static_cast<const std::uint8_t*>(buffer), count, m_clock.NowMicros());
    LogPacketsLocked(unit, logged);
    *written = count;
    lock.unlock();
    m_changed.notify_all();
    return FT_OK;
}

FT_STATUS CSimBus::Read(FT_HANDLE handle, void* buffer, std::uint32_t count,
                        std::uint32_t* returned)
{
    if (returned == nullptr || (buffer == nullptr && count > 0))
        return FT_INVALID_PARAMETER;
    *returned = 0;
    MaybePollControl(true);
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    CSimUnit* unit = h->unit;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::uint64_t now = m_clock.NowMicros();
    const std::uint64_t deadline =
        h->readTimeoutMs == 0 ? NEVER : now + std::uint64_t(h->readTimeoutMs) * 1000;
    std::size_t got = 0;
    for (;;)
    {
        unit->Pump(now);
        LogSpotsLocked(*unit);
        got += unit->Read(out + got, count - got, now);
        if (got == count || now >= deadline)
            break;
        std::uint64_t next = 0;
        const bool coming = unit->NextByteMicros(next);
        if (m_clock.IsVirtual())
        {
            // Nothing will ever come and the caller would wait for ever: give up now.
            if (!coming && deadline == NEVER)
                break;
            m_clock.AdvanceTo(coming ? std::min(next, deadline) : deadline);
            now = m_clock.NowMicros();
            continue;
        }
        const std::uint64_t until = std::max(
            now + 1, std::min({coming ? next : deadline, deadline, now + MAX_WAIT_SLICE_MICROS}));
        m_changed.wait_for(lock, std::chrono::microseconds(until - now));
        h = FindHandleLocked(handle, status);
        if (h == nullptr)
        {
            *returned = static_cast<std::uint32_t>(got);
            return status;
        }
        now = m_clock.NowMicros();
    }
    *returned = static_cast<std::uint32_t>(got);
    return FT_OK;
}

FT_STATUS CSimBus::OpenUnitLocked(CSimUnit* unit, FT_HANDLE* handle)
{
    if (unit == nullptr)
        return FT_DEVICE_NOT_FOUND;
    if (unit->IsOpen())
        return FT_DEVICE_NOT_OPENED;
    SIM_HANDLE h;
    h.id = g_nNextHandle.fetch_add(1);
    h.unit = unit;
    h.generation = unit->PlugGeneration();
    m_handles.push_back(h);
    unit->SetOpen(true);
    unit->Bridge().Open();
    ++unit->Link().opens;
    unit->Link().readTimeoutMs = h.readTimeoutMs;
    unit->Link().writeTimeoutMs = h.writeTimeoutMs;
    *handle = reinterpret_cast<FT_HANDLE>(h.id);
    return FT_OK;
}

FT_STATUS CSimBus::Open(int index, FT_HANDLE* handle)
{
    if (handle == nullptr)
        return FT_INVALID_PARAMETER;
    MaybePollControl(false);
    std::lock_guard lock(m_lock);
    if (m_bShutdown || index < 0 || index >= ListedCountLocked())
        return FT_DEVICE_NOT_FOUND;
    return OpenUnitLocked(ListedUnitLocked(index), handle);
}

FT_STATUS CSimBus::ListDevices(void* arg1, void* arg2, std::uint32_t flags)
{
    MaybePollControl(false);
    std::lock_guard lock(m_lock);
    if (m_bShutdown)
        return FT_DEVICE_NOT_FOUND;
    const int count = ListedCountLocked();
    if ((flags & FT_LIST_NUMBER_ONLY) != 0)
    {
        if (arg1 == nullptr)
            return FT_INVALID_PARAMETER;
        *static_cast<std::uint32_t*>(arg1) = static_cast<std::uint32_t>(count);
        return FT_OK;
    }
    // The serial number or description of one unit, by its position in the listing.
    if (flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER) ||
        flags == (FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION))
    {
        const auto index = static_cast<int>(reinterpret_cast<std::uintptr_t>(arg1));
        if (arg2 == nullptr || index < 0 || index >= count)
            return FT_DEVICE_NOT_FOUND;
        const CSimUnit* unit = ListedUnitLocked(index);
        const std::string text = (flags & FT_OPEN_BY_SERIAL_NUMBER) != 0
                                     ? unit->SerialNumber()
                                     : std::string(CSimUnit::DESCRIPTION);
        const std::size_t length = std::min(text.size(), FT_LISTED_TEXT_CHARS - 1);
        std::memcpy(arg2, text.data(), length);
        static_cast<char*>(arg2)[length] = '\0';
        return FT_OK;
    }
    // Location ids of all units.
    if (flags != (FT_LIST_ALL | FT_OPEN_BY_LOCATION) || arg1 == nullptr || arg2 == nullptr)
        return FT_INVALID_PARAMETER;
    // Like the library: one entry per unit, however small the caller's array is.
    for (int i = 0; i < count; ++i)
        static_cast<std::uint32_t*>(arg1)[i] = ListedUnitLocked(i)->Location();
    *static_cast<std::uint32_t*>(arg2) = static_cast<std::uint32_t>(count);
    return FT_OK;
}

FT_STATUS CSimBus::Close(FT_HANDLE handle)
{
    std::lock_guard lock(m_lock);
    const auto id = reinterpret_cast<std::uintptr_t>(handle);
    auto it = std::find_if(m_handles.begin(), m_handles.end(),
                           [id](const SIM_HANDLE& h) { return h.id == id; });
    if (it == m_handles.end() || m_bShutdown)
        return FT_INVALID_HANDLE;
    CSimUnit* unit = it->unit;
    if (unit->PlugGeneration() == it->generation)
        unit->SetOpen(false);
    ++unit->Link().closes;
    m_handles.erase(it);
    return FT_OK;
}

FT_STATUS CSimBus::ResetDevice(FT_HANDLE handle)
{
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    ++h->unit->Link().resets;
    return FT_OK;
}

FT_STATUS CSimBus::Purge(FT_HANDLE handle, std::uint32_t mask)
{
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    if ((mask & FT_PURGE_RX) != 0)
    {
        h->unit->Pump(m_clock.NowMicros());
        h->unit->PurgeReceiveBuffer();
        ++h->unit->Link().purgesRx;
    }
    if ((mask & FT_PURGE_TX) != 0)
        ++h->unit->Link().purgesTx;
    return FT_OK;
}

FT_STATUS CSimBus::SetBaudRate(FT_HANDLE handle, std::uint32_t baud)
{
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    if (baud == 0)
        return FT_INVALID_PARAMETER;
    h->unit->Link().baudRate = baud;
    return FT_OK;
}

FT_STATUS CSimBus::SetTimeouts(FT_HANDLE handle, std::uint32_t readMs, std::uint32_t writeMs)
{
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    h->readTimeoutMs = readMs;
    h->writeTimeoutMs = writeMs;
    h->unit->Link().readTimeoutMs = readMs;
    h->unit->Link().writeTimeoutMs = writeMs;
    return FT_OK;
}

FT_STATUS CSimBus::GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxBytes)
{
    if (rxBytes == nullptr)
        return FT_INVALID_PARAMETER;
    MaybePollControl(true);
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    const std::uint64_t now = m_clock.NowMicros();
    h->unit->Pump(now);
    *rxBytes = static_cast<std::uint32_t>(h->unit->ReadyBytes(now));
    return FT_OK;
}

FT_STATUS CSimBus::SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs)
{
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    // Bytes already due go on the old timer.
    h->unit->Pump(m_clock.NowMicros());
    h->unit->ReadyBytes(m_clock.NowMicros());
    if (h->unit->Bridge().RefusesHost())
        return FT_OTHER_ERROR;
    return h->unit->Bridge().SetLatencyTimer(timerMs) ? FT_OK : FT_INVALID_PARAMETER;
}

FT_STATUS CSimBus::SetChars(FT_HANDLE handle, std::uint8_t eventChar, std::uint8_t eventCharOn)
{
    std::unique_lock lock(m_lock);
    FT_STATUS status = FT_OK;
    SIM_HANDLE* h = FindHandleLocked(handle, status);
    if (h == nullptr)
        return FailedCall(lock, status);
    h->unit->Pump(m_clock.NowMicros());
    h->unit->ReadyBytes(m_clock.NowMicros());
    if (h->unit->Bridge().RefusesHost())
        return FT_OTHER_ERROR;
    h->unit->Bridge().SetEventChar(eventChar, eventCharOn != 0);
    return FT_OK;
}

std::shared_ptr<CSimBus> InstallSimBus(std::shared_ptr<CSimBus> bus)
{
    std::lock_guard lock(g_installLock);
    std::swap(g_pBus, bus);
    return bus;
}

std::shared_ptr<CSimBus> CurrentSimBus()
{
    std::lock_guard lock(g_installLock);
    return g_pBus;
}

CScopedSimBus::CScopedSimBus(const SIM_BUS_OPTIONS& options)
    : m_pBus(std::make_shared<CSimBus>(options))
{
    m_pPrevious = InstallSimBus(m_pBus);
}

CScopedSimBus::~CScopedSimBus()
{
    m_pBus->Shutdown();
    InstallSimBus(m_pPrevious);
}

namespace
{
// Calls a bus operation on the installed bus; without one every call fails.
template <class F> FT_STATUS OnBus(F&& f)
{
    const std::shared_ptr<CSimBus> bus = CurrentSimBus();
    return bus ? f(*bus) : FT_OTHER_ERROR;
}
} // namespace

FT_STATUS TAVELO_STDCALL SimFT_Write(FT_HANDLE handle, void* buffer, std::uint32_t bytesToWrite,
                                     std::uint32_t* bytesWritten)
{
    return OnBus([&](CSimBus& bus)
                 { return bus.Write(handle, buffer, bytesToWrite, bytesWritten); });
}

FT_STATUS TAVELO_STDCALL SimFT_Read(FT_HANDLE handle, void* buffer, std::uint32_t bytesToRead,
                                    std::uint32_t* bytesReturned)
{
    return OnBus([&](CSimBus& bus)
                 { return bus.Read(handle, buffer, bytesToRead, bytesReturned); });
}

FT_STATUS TAVELO_STDCALL SimFT_Open(int deviceNumber, FT_HANDLE* handle)
{
    return OnBus([&](CSimBus& bus) { return bus.Open(deviceNumber, handle); });
}

// The driver binds this entry point but opens by index only, so no unit is ever found here.
FT_STATUS TAVELO_STDCALL SimFT_OpenEx(void*, std::uint32_t, FT_HANDLE*)
{
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS TAVELO_STDCALL SimFT_SetBaudRate(FT_HANDLE handle, std::uint32_t baudRate)
{
    return OnBus([&](CSimBus& bus) { return bus.SetBaudRate(handle, baudRate); });
}

FT_STATUS TAVELO_STDCALL SimFT_ListDevices(void* arg1, void* arg2, std::uint32_t flags)
{
    return OnBus([&](CSimBus& bus) { return bus.ListDevices(arg1, arg2, flags); });
}

FT_STATUS TAVELO_STDCALL SimFT_Close(FT_HANDLE handle)
{
    return OnBus([&](CSimBus& bus) { return bus.Close(handle); });
}

FT_STATUS TAVELO_STDCALL SimFT_ResetDevice(FT_HANDLE handle)
{
    return OnBus([&](CSimBus& bus) { return bus.ResetDevice(handle); });
}

FT_STATUS TAVELO_STDCALL SimFT_Purge(FT_HANDLE handle, std::uint32_t mask)
{
    return OnBus([&](CSimBus& bus) { return bus.Purge(handle, mask); });
}

FT_STATUS TAVELO_STDCALL SimFT_SetTimeouts(FT_HANDLE handle, std::uint32_t readTimeout,
                                           std::uint32_t writeTimeout)
{
    return OnBus([&](CSimBus& bus) { return bus.SetTimeouts(handle, readTimeout, writeTimeout); });
}

FT_STATUS TAVELO_STDCALL SimFT_GetQueueStatus(FT_HANDLE handle, std::uint32_t* rxBytes)
{
    return OnBus([&](CSimBus& bus) { return bus.GetQueueStatus(handle, rxBytes); });
}

FT_STATUS TAVELO_STDCALL SimFT_SetLatencyTimer(FT_HANDLE handle, std::uint8_t timerMs)
{
    return OnBus([&](CSimBus& bus) { return bus.SetLatencyTimer(handle, timerMs); });
}

// The error character is not modelled: the link has no parity or framing errors.
FT_STATUS TAVELO_STDCALL SimFT_SetChars(FT_HANDLE handle, std::uint8_t eventChar,
                                        std::uint8_t eventCharOn, std::uint8_t, std::uint8_t)
{
    return OnBus([&](CSimBus& bus) { return bus.SetChars(handle, eventChar, eventCharOn); });
}

#define TAVELO_SIM_CHECK(name, params)                                                             \
    static_assert(std::is_same_v<decltype(&Sim##name), PFN_##name>,                                \
                  "the simulator's " #name " must have the library's signature");
TAVELO_D2XX_ENTRY_POINTS(TAVELO_SIM_CHECK)
TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(TAVELO_SIM_CHECK)
#undef TAVELO_SIM_CHECK

D2XX_TABLE SimD2xxTable()
{
    D2XX_TABLE table;
#define TAVELO_SIM_BIND(name, params) table.p##name = &Sim##name;
    TAVELO_D2XX_ENTRY_POINTS(TAVELO_SIM_BIND)
    TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(TAVELO_SIM_BIND)
#undef TAVELO_SIM_BIND
    return table;
}

std::map<std::string, void*> SimD2xxSymbols()
{
    std::map<std::string, void*> symbols;
#define TAVELO_SIM_SYMBOL(name, params) symbols[#name] = reinterpret_cast<void*>(&Sim##name);
    TAVELO_D2XX_ENTRY_POINTS(TAVELO_SIM_SYMBOL)
    TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(TAVELO_SIM_SYMBOL)
#undef TAVELO_SIM_SYMBOL
    return symbols;
}
