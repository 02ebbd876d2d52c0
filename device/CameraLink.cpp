#include "device/CameraLink.h"

#include "core/Messages.h"
#include "device/DeviceGlobals.h"
#include "device/Protocol.h"
#include "device/StageTiming.h"
#include "device/StreamRecorder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

namespace
{
std::wstring Widen(const char* text)
{
    std::wstring wide;
    for (; *text != '\0'; ++text)
        wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*text)));
    return wide;
}

// Message box style when an entry point is missing: two of them get a plain box, deliberately.
std::uint32_t MissingSymbolStyle(const char* name)
{
    if (std::strcmp(name, "FT_Open") == 0 || std::strcmp(name, "FT_OpenEx") == 0)
        return BOX_OK;
    return BOX_ICONERROR;
}
} // namespace

CAMERA_RECORD SnapshotRecord(CAMERA_RECORD& record)
{
    CAMERA_RECORD copy;
    copy.count = record.count;
    copy.index = record.index;
    copy.bytesRead = record.bytesRead;
    copy.handle = record.handle;
    copy.imageWidth =
        std::atomic_ref<std::int32_t>(record.imageWidth).load(std::memory_order_relaxed);
    copy.imageHeight =
        std::atomic_ref<std::int32_t>(record.imageHeight).load(std::memory_order_relaxed);
    copy.rxByte = record.rxByte;
    copy.location = record.location;
    copy.firmwareVersion = record.firmwareVersion;
    std::memcpy(copy.monitorRect, record.monitorRect, sizeof copy.monitorRect);
    copy.monitorIndex = record.monitorIndex;
    copy.rxState = record.rxState;
    return copy;
}

CCameraLink::CCameraLink() = default;

void ShowInvalidEntry(const char* name)
{
    Platform().ShowMessageBox(Widen(name) + L" is not valid!", BOX_ICONERROR);
}

template <class ENTRY, class... ARGS> FT_STATUS CCameraLink::Call(ARGS... args)
{
    const auto entry = m_d2xx.*ENTRY::FIELD;
    if (entry == nullptr)
    {
        // The reader thread never shows a box: the user-interface thread may be joining it.
        if (std::this_thread::get_id() == m_readerThread.get_id())
            Platform().PostMainMessage(WM_D2XX_ENTRY_INVALID, 0,
                                       reinterpret_cast<std::uintptr_t>(ENTRY::NAME));
        else
            ShowInvalidEntry(ENTRY::NAME);
        return 1;
    }
    return entry(args...);
}

CCameraLink::~CCameraLink()
{
    StopReaderThread();
}

bool CCameraLink::BindLibrary()
{
    m_hLibrary = Platform().LoadAppLibrary(L"Ftd2xx.dll");
    if (m_hLibrary == nullptr)
    {
        // Deliberate: the text is kept as users know it, though it names another file.
        Platform().ShowMessageBox(L"Error: Can't Load ft8u232.dll", BOX_ICONERROR);
        return false;
    }
#define TAVELO_BIND(name, params)                                                                  \
    {                                                                                              \
        void* symbol = Platform().GetLibrarySymbol(m_hLibrary, #name);                             \
        if (symbol == nullptr)                                                                     \
        {                                                                                          \
            Platform().ShowMessageBox(L"Error: Can't Find " + Widen(#name),                        \
                                      MissingSymbolStyle(#name));                                  \
            return false;                                                                          \
        }                                                                                          \
        m_d2xx.p##name = reinterpret_cast<PFN_##name>(symbol);                                     \
    }
    TAVELO_D2XX_ENTRY_POINTS(TAVELO_BIND)
#undef TAVELO_BIND
#define TAVELO_BIND_OPTIONAL(name, params)                                                         \
    m_d2xx.p##name = reinterpret_cast<PFN_##name>(Platform().GetLibrarySymbol(m_hLibrary, #name));
    TAVELO_D2XX_OPTIONAL_ENTRY_POINTS(TAVELO_BIND_OPTIONAL)
#undef TAVELO_BIND_OPTIONAL
    return true;
}

void CCameraLink::SetLowLatency()
{
    m_bEndsPackets = false;
    if (m_d2xx.pFT_SetChars == nullptr || m_nCount == 0)
        return;
    bool all = true;
    for (std::uint16_t i = 0; i < m_nCount; ++i)
    {
        const FT_HANDLE handle = m_pRecords[i].handle;
        if (handle == nullptr)
            continue;
        all = m_d2xx.pFT_SetChars(handle, protocol::PACKET_END, 1, 0, 0) == FT_OK && all;
    }
    m_bEndsPackets = all;
}

FT_STATUS CCameraLink::ListDevices(std::uint32_t* locations, std::uint16_t* count)
{
    *count = 0;
    // Ask for the number first: listing all devices writes one id per device, and the
    // caller's array holds only LOCATION_SLOTS of them.
    std::uint32_t devices = 0;
    FT_STATUS status = Call<d2xx::FT_ListDevices>(&devices, nullptr, FT_LIST_NUMBER_ONLY);
    if (status != FT_OK)
        return status;
    if (devices > LOCATION_SLOTS)
    {
        *count = static_cast<std::uint16_t>(devices > 0xFFFF ? 0xFFFF : devices);
        return FT_OK;
    }
    // A device plugged in between the two calls still lands inside this scratch array.
    std::uint32_t scratch[4 * LOCATION_SLOTS] = {};
    std::uint32_t listed = 0;
    status = Call<d2xx::FT_ListDevices>(scratch, &listed, FT_LIST_ALL | FT_OPEN_BY_LOCATION);
    if (status != FT_OK)
        return status;
    if (listed > LOCATION_SLOTS)
    {
        *count = static_cast<std::uint16_t>(listed);
        return FT_OK;
    }
    std::memcpy(locations, scratch, listed * sizeof(std::uint32_t));
    *count = static_cast<std::uint16_t>(listed);
    return FT_OK;
}

void CCameraLink::ConfigureHandle(FT_HANDLE handle)
{
    Call<d2xx::FT_ResetDevice>(handle);
    Call<d2xx::FT_SetBaudRate>(handle, protocol::BAUD_RATE);
    Call<d2xx::FT_Purge>(handle, FT_PURGE_RX);
    Call<d2xx::FT_ResetDevice>(handle);
    Call<d2xx::FT_SetTimeouts>(handle, protocol::READ_TIMEOUT_MS, protocol::WRITE_TIMEOUT_MS);
}

bool CCameraLink::OpenAll(const std::uint32_t* locations, std::uint16_t count)
{
    m_nCount = count;
    if (!m_pRecords || m_nAllocated < count)
    {
        m_pRecords = std::make_unique<CAMERA_RECORD[]>(count);
        m_nAllocated = count;
    }
    ResetAll();
    for (std::uint16_t i = 0; i < count; ++i)
    {
        CAMERA_RECORD& record = m_pRecords[i];
        record = CAMERA_RECORD{};
        record.count = m_nCount;
        record.index = i;
        record.location = locations[i];
        FT_HANDLE handle = nullptr;
        if (Call<d2xx::FT_Open>(i, &handle) != FT_OK)
        {
            m_bFailed = 1;
            return false;
        }
        record.handle = handle;
        ConfigureHandle(handle);
    }
    return true;
}

void CCameraLink::ResetAll()
{
    // Deliberate: every camera is reset and told to stop streaming twice.
    for (int pass = 0; pass < 2; ++pass)
    {
        for (std::uint16_t i = 0; i < m_nCount; ++i)
        {
            FT_HANDLE handle = nullptr;
            if (Call<d2xx::FT_Open>(i, &handle) != FT_OK)
                continue;
            Call<d2xx::FT_ResetDevice>(handle);
            std::uint32_t written = 0;
            Call<d2xx::FT_Write>(handle, const_cast<std::uint8_t*>(protocol::STREAM_OFF.data()),
                                 protocol::COMMAND_LENGTH, &written);
            Call<d2xx::FT_Close>(handle);
        }
    }
}

void CCameraLink::Reconfigure()
{
    for (std::uint16_t i = 0; i < m_nCount; ++i)
        ConfigureHandle(m_pRecords[i].handle);
}

bool CCameraLink::WritePacket(std::uint16_t camera, const std::uint8_t* buffer,
                              std::uint32_t length, std::uint32_t* written)
{
    if (buffer == nullptr || m_nCount == 0 || camera >= m_nCount || !m_pRecords)
        return false;
    // A closed camera's handle is gone; the library must never see it again.
    if (m_pRecords[camera].handle == nullptr)
        return false;
    std::uint32_t ignored = 0;
    return Call<d2xx::FT_Write>(m_pRecords[camera].handle, const_cast<std::uint8_t*>(buffer),
                                length, written != nullptr ? written : &ignored) == FT_OK;
}

bool CCameraLink::SendCommand(std::uint16_t camera, int code)
{
    const protocol::NUMBERED_COMMAND* command = protocol::FindNumberedCommand(code);
    if (command == nullptr)
        return false;
    if (command->imageWidth >= 0 && camera < m_nCount && m_pRecords)
    {
        // The reader thread may be copying this record right now.
        std::atomic_ref<std::int32_t>(m_pRecords[camera].imageWidth)
            .store(command->imageWidth, std::memory_order_relaxed);
        std::atomic_ref<std::int32_t>(m_pRecords[camera].imageHeight)
            .store(command->imageHeight, std::memory_order_relaxed);
    }
    std::uint32_t written = 0;
    WritePacket(camera, command->packet.data(), protocol::COMMAND_LENGTH, &written);
    return true;
}

bool CCameraLink::ReadByteBy(FT_HANDLE handle, std::uint64_t deadline, std::uint8_t& byte,
                             std::uint32_t& got, FT_STATUS& status)
{
    const std::uint64_t now = Platform().MonotonicMicros();
    if (now >= deadline)
        return false;
    const std::uint64_t left = deadline - now;
    const bool shortened = left < std::uint64_t{protocol::READ_TIMEOUT_MS} * 1000;
    // A time-out of 0 would mean no time-out at all.
    if (shortened)
        Call<d2xx::FT_SetTimeouts>(handle, std::max<std::uint32_t>(1, std::uint32_t(left / 1000)),
                                   protocol::WRITE_TIMEOUT_MS);
    got = 0;
    status = Call<d2xx::FT_Read>(handle, &byte, 1, &got);
    if (shortened)
        Call<d2xx::FT_SetTimeouts>(handle, protocol::READ_TIMEOUT_MS, protocol::WRITE_TIMEOUT_MS);
    return true;
}

std::uint8_t CCameraLink::ReadReply(std::uint16_t camera)
{
    if (camera >= m_nCount || !m_pRecords)
        return 0;
    FT_HANDLE handle = m_pRecords[camera].handle;
    protocol::CSettingReplyReader reader;
    // Deliberate: a read that brings no byte leaves the previous byte, which is fed again.
    std::uint8_t byte = 1;
    const std::uint64_t deadline =
        Platform().MonotonicMicros() + std::uint64_t{SETTING_REPLY_WAIT_MS} * 1000;
    int emptyReads = 0;
    const int emptyReadLimit =
        static_cast<int>(SETTING_REPLY_WAIT_MS / protocol::READ_TIMEOUT_MS) + 1;
    std::uint32_t got = 0;
    FT_STATUS status = FT_OK;
    while (ReadByteBy(handle, deadline, byte, got, status))
    {
        if (reader.Feed(byte))
            return reader.Value();
        // Empty reads count too, so a camera whose reads fail at once is given up quickly.
        if ((status != FT_OK || got == 0) && ++emptyReads > emptyReadLimit)
            return 0;
    }
    return 0;
}

void CCameraLink::SetMonitor(std::uint16_t camera, std::int32_t left, std::int32_t top,
                             std::int32_t right, std::int32_t bottom)
{
    if (camera >= m_nCount || !m_pRecords)
        return;
    CAMERA_RECORD& record = m_pRecords[camera];
    record.monitorIndex = camera;
    record.monitorRect[0] = left;
    record.monitorRect[1] = top;
    record.monitorRect[2] = right;
    record.monitorRect[3] = bottom;
}

int CCameraLink::WaitForVersionReply(std::uint16_t camera)
{
    FT_HANDLE handle = m_pRecords[camera].handle;
    protocol::CVersionReplyReader reader;
    const std::uint64_t deadline =
        Platform().MonotonicMicros() + std::uint64_t{VERSION_REPLY_WAIT_MS} * 1000;
    std::uint8_t byte = 0;
    std::uint32_t got = 0;
    FT_STATUS status = FT_OK;
    while (ReadByteBy(handle, deadline, byte, got, status))
    {
        if (status == FT_OK && got == 1 && reader.Feed(byte))
            return reader.Value();
        if (status != FT_OK)
            Platform().Sleep(1);
    }
    return -1;
}

std::string CCameraLink::ReadFirmwareVersion(std::uint16_t camera)
{
    std::string text;
    if (!m_pRecords || camera >= m_nCount)
        return text;
    const auto probe = protocol::SettingRead(protocol::ADDR_VERSION_PROBE);
    WritePacket(camera, probe.data(), protocol::COMMAND_LENGTH, nullptr);
    if (WaitForVersionReply(camera) < 0)
        return text;
    text = protocol::FirmwareVersionPrefix();
    const auto minorRead = protocol::SettingRead(protocol::ADDR_FIRMWARE_MINOR);
    WritePacket(camera, minorRead.data(), protocol::COMMAND_LENGTH, nullptr);
    const int minor = WaitForVersionReply(camera);
    if (minor < 0)
    {
        // The minor byte never came, so the version was not confirmed.
        m_bVersionValid = 0;
        return text;
    }
    m_bVersionValid = protocol::IsValidFirmwareMinor(minor) ? 1 : 0;
    text += protocol::FirmwareMinorText(minor);
    return text;
}

bool CCameraLink::DetectFirmware()
{
    int badCount = 0;
    int invalidCount = 0;
    for (std::uint16_t i = 0; i < m_nCount; ++i)
    {
        const std::string text = ReadFirmwareVersion(i);
        if (m_bVersionValid == 0)
            ++invalidCount;
        badCount += protocol::CountLetters(text);
        if (text.empty())
        {
            ++badCount;
            m_pRecords[i].count = CAMERA_RECORD_UNREADABLE;
        }
        else
        {
            m_pRecords[i].firmwareVersion = protocol::ParseVersionText(text);
        }
    }
    if (badCount >= 1)
    {
        m_bFailed = 1;
        return false;
    }
    g_bSettingsInDevice = invalidCount == 0 ? 1 : 0;
    return true;
}

bool CCameraLink::SetCallback(int mode, READER_CALLBACK callback)
{
    if (mode == 0)
    {
        if (callback.pfnTable != nullptr)
            return false;
        m_nMode = 0;
        if (callback.pfnRecord == nullptr && m_pfnRecordCallback.load() == nullptr)
            return false;
        m_pfnRecordCallback = callback.pfnRecord;
        return true;
    }
    if (mode == 1)
    {
        if (callback.pfnRecord != nullptr)
            return false;
        m_nMode = 1;
        if (callback.pfnTable == nullptr && m_pfnTableCallback.load() == nullptr)
            return false;
        m_pfnTableCallback = callback.pfnTable;
        return true;
    }
    return false;
}

bool CCameraLink::StartReader()
{
    if (m_nMode != 0 && m_nMode != 1)
        return false;
    for (std::uint16_t i = 0; i < m_nCount; ++i)
        SendCommand(i, protocol::CMD_NUM_STREAM_ON);
    // Only one reader may run: a start without a stop replaces the running thread.
    StopReaderThread();
    if (m_nCount == 0 || !m_pRecords)
        return true;
    m_bStopReader = false;
    m_nGoneMask = 0;
    m_readerThread = std::thread(&CCameraLink::ReaderLoop, this);
    return true;
}

bool CCameraLink::EndedPacket(const CAMERA_RECORD& record) const
{
    return m_bEndsPackets && record.rxState == RX_NEW_BYTE &&
           ByteOf(record) == protocol::PACKET_END;
}

bool CCameraLink::ReadInto(CAMERA_RECORD& record, std::uint32_t gapMs)
{
    std::uint8_t byte = 0;
    std::uint32_t got = 0;
    const bool quietGap = gapMs != 0;
    if (quietGap)
        Call<d2xx::FT_SetTimeouts>(record.handle, gapMs, protocol::WRITE_TIMEOUT_MS);
    const FT_STATUS status = Call<d2xx::FT_Read>(record.handle, &byte, 1, &got);
    if (quietGap)
        Call<d2xx::FT_SetTimeouts>(record.handle, protocol::READ_TIMEOUT_MS,
                                   protocol::WRITE_TIMEOUT_MS);
    record.bytesRead = got;
    if (status == FT_OK && got == 1)
    {
        record.rxByte = (record.rxByte & ~0xFFu) | byte;
        record.rxState = RX_NEW_BYTE;
        RecordReceivedByte(record.index, byte);
        StageTiming().MarkRead();
    }
    else
    {
        record.rxState = quietGap && status == FT_OK ? RX_LINK_IDLE : RX_QUIET;
    }
    return status == FT_OK;
}

bool CCameraLink::ReportGone(std::uint16_t camera)
{
    const std::uint32_t bit = 1u << (camera % 32);
    if ((m_nGoneMask & bit) != 0)
        return false;
    m_nGoneMask |= bit;
    Platform().PostMainMessage(WM_UNIT_GONE, camera, 0);
    return true;
}

std::string CCameraLink::ListedText(std::uint32_t index, std::uint32_t what)
{
    char text[FT_LISTED_TEXT_CHARS] = {};
    void* position = reinterpret_cast<void*>(static_cast<std::uintptr_t>(index));
    if (Call<d2xx::FT_ListDevices>(position, text, FT_LIST_BY_INDEX | what) != FT_OK)
        return {};
    text[FT_LISTED_TEXT_CHARS - 1] = '\0';
    return text;
}

// The pen callback injects input from the reader thread. Under Wine every injection leaves
// something in the injecting thread's own message queue, which nothing else reads: a reader
// that never looks at its queue grows by about 100 bytes per injection for as long as
// tracking runs. So the reader empties its queue once every this many passes (a few dozen
// times a second while a camera streams). Emptying it takes a while under Wine, so once due it
// waits for a pass that followed the link going idle, when a frame has just been reported and
// the next is most of a frame away; half as many passes again at the latest.
constexpr std::uint32_t DRAIN_QUEUE_PASSES = 1024;

namespace
{
void DrainWhenDue(std::uint32_t& passes, bool linkIdle)
{
    if (++passes < DRAIN_QUEUE_PASSES || (!linkIdle && passes < DRAIN_QUEUE_PASSES * 3 / 2))
        return;
    Platform().DrainThreadMessages();
    passes = 0;
}
} // namespace

// Every read waits for one byte or the read time-out, and the callback runs after it; a read
// that brings nothing hands the previous byte on again, marked quiet, for the stall watch to
// count and the pen driver to release what the camera held. For the pen callback a read right
// after a packet's end, with nothing more waiting, waits only the quiet gap, and a read that
// brings nothing then is marked idle: the pen driver reports the frame on it rather than on the
// next frame's first packet. That is the whole loop for one camera. Several cameras in one pass
// would hold a camera that sends more to the pace of the other, so they are read as they send
// instead (ReadCamerasAsTheySend).
void CCameraLink::ReaderLoop()
{
    const int mode = m_nMode;
    if (mode == 1 && m_nCount > 1)
    {
        ReadCamerasAsTheySend();
        return;
    }
    std::uint32_t passes = 0;
    while (!m_bStopReader)
    {
        DrainWhenDue(passes, mode == 1 && m_pRecords[0].rxState == RX_LINK_IDLE);
        bool failed = false;
        if (mode == 0)
        {
            const std::uint16_t camera = g_nCurrentDevice;
            if (camera >= m_nCount)
                return;
            failed = !ReadInto(m_pRecords[camera]);
            if (m_bStopReader)
                return;
            if (PFN_RECORD_CALLBACK callback = m_pfnRecordCallback;
                callback && (!failed || ReportGone(camera)))
                callback(SnapshotRecord(m_pRecords[camera]));
        }
        else
        {
            // After a packet's last byte with nothing behind it, the link going quiet for the
            // gap ends the frame.
            CAMERA_RECORD& record = m_pRecords[0];
            std::uint32_t waiting = 0;
            const bool quietGap = EndedPacket(record) &&
                                  Call<d2xx::FT_GetQueueStatus>(record.handle, &waiting) == FT_OK &&
                                  waiting == 0;
            failed = !ReadInto(record, quietGap ? QUIET_GAP_MS : 0);
            if (m_bStopReader)
                return;
            if (PFN_TABLE_CALLBACK callback = m_pfnTableCallback;
                callback && (!failed || ReportGone(0)))
                callback(m_pRecords.get());
        }
        // A failing read returns at once; wait as long as a read time-out would so an
        // unplugged camera does not spin this thread.
        if (failed)
            Platform().Sleep(protocol::READ_TIMEOUT_MS);
    }
}

// Each pass reads one byte of every camera that has one waiting, so a camera that sends more
// is never held to the other's pace; a camera with nothing in the pass is marked as bringing
// nothing new, and its old byte is not handed on again. With nothing waiting anywhere, the
// reader blocks on the camera heard last, whose next byte is at most a frame away. A camera
// silent for a whole read time-out, or whose call failed, is marked quiet once per read
// time-out, as its own timed-out read would be. Worst delay for a byte: one read time-out,
// blocked on a camera that has just gone silent; the next wait goes to another camera. With
// nothing waiting, a camera whose last byte ended a packet is waited for first, until the quiet
// gap after that byte has passed, and marked idle if nothing came, as in the loop for one
// camera; the camera whose gap ends first goes first.
void CCameraLink::ReadCamerasAsTheySend()
{
    const std::uint16_t count = m_nCount;
    const std::uint64_t timeout = std::uint64_t{protocol::READ_TIMEOUT_MS} * 1000;
    CPlatform& platform = Platform();
    std::vector<std::uint64_t> lastHeard(count, platform.MonotonicMicros());
    // A camera whose calls fail is asked again only after a read time-out.
    std::vector<std::uint64_t> failedUntil(count, 0);
    // Bytes the last queue status reported that the reader has not read yet.
    std::vector<std::uint32_t> waiting(count, 0);
    // Cameras whose last byte ended a packet and that have sent nothing since, and when each
    // camera's last byte came.
    std::vector<bool> endedPacket(count, false);
    std::vector<std::uint64_t> lastByte(count, 0);
    const std::uint64_t quietGap = std::uint64_t{QUIET_GAP_MS} * 1000;
    std::uint16_t heardLast = 0;
    std::uint32_t passes = 0;

    auto usable = [&](std::uint16_t i) { return platform.MonotonicMicros() >= failedUntil[i]; };
    auto gone = [&](std::uint16_t i) { return (m_nGoneMask & (1u << (i % 32))) != 0; };
    auto fail = [&](std::uint16_t i)
    {
        waiting[i] = 0;
        failedUntil[i] = platform.MonotonicMicros() + timeout;
        m_pRecords[i].rxState = ReportGone(i) ? RX_QUIET : RX_NOTHING_NEW;
    };
    // One byte of a camera if it has one waiting; never blocks.
    auto takeWaiting = [&](std::uint16_t i)
    {
        CAMERA_RECORD& record = m_pRecords[i];
        if (!usable(i))
            return;
        if (waiting[i] == 0 && Call<d2xx::FT_GetQueueStatus>(record.handle, &waiting[i]) != FT_OK)
        {
            fail(i);
            return;
        }
        if (waiting[i] == 0)
            return;
        --waiting[i];
        if (!ReadInto(record))
            fail(i);
        else if (record.rxState == RX_QUIET)
        {
            // The byte reported was gone (a purge); that is no time-out.
            waiting[i] = 0;
            record.rxState = RX_NOTHING_NEW;
        }
    };

    while (!m_bStopReader)
    {
        DrainWhenDue(passes, std::any_of(m_pRecords.get(), m_pRecords.get() + count,
                                         [](const CAMERA_RECORD& record)
                                         { return record.rxState == RX_LINK_IDLE; }));
        bool any = false;
        for (std::uint16_t i = 0; i < count; ++i)
        {
            m_pRecords[i].rxState = RX_NOTHING_NEW;
            takeWaiting(i);
            any = any || m_pRecords[i].rxState != RX_NOTHING_NEW;
        }
        // The camera whose quiet gap ends first, of those whose last byte ended a packet.
        bool gapDue = false;
        std::uint16_t gapCamera = 0;
        for (std::uint16_t i = 0; i < count && !any; ++i)
        {
            if (usable(i) && endedPacket[i] && (!gapDue || lastByte[i] < lastByte[gapCamera]))
            {
                gapDue = true;
                gapCamera = i;
            }
        }
        const std::uint64_t gapEnd = gapDue ? lastByte[gapCamera] + quietGap : 0;
        const std::uint64_t checked = platform.MonotonicMicros();
        if (gapDue && checked >= gapEnd)
        {
            m_pRecords[gapCamera].rxState = RX_LINK_IDLE;
        }
        else if (!any)
        {
            std::uint16_t wait = gapDue ? gapCamera : heardLast;
            for (std::uint16_t n = 0; n < count && !usable(wait); ++n)
                wait = static_cast<std::uint16_t>((wait + 1) % count);
            if (!usable(wait))
            {
                platform.Sleep(protocol::READ_TIMEOUT_MS);
            }
            else
            {
                // Whole milliseconds, rounded up: the gap is never cut short.
                const std::uint64_t left = gapDue ? gapEnd - checked : 0;
                if (!ReadInto(m_pRecords[wait], static_cast<std::uint32_t>((left + 999) / 1000)))
                    fail(wait);
                // After a time-out the next wait goes to another camera, so a silent one
                // never holds the others for two read time-outs in a row.
                const std::uint8_t state = m_pRecords[wait].rxState;
                if (state != RX_NEW_BYTE && state != RX_LINK_IDLE)
                    heardLast = static_cast<std::uint16_t>((wait + 1) % count);
                for (std::uint16_t i = 0; i < count; ++i)
                {
                    if (i != wait)
                        takeWaiting(i);
                }
            }
        }
        const std::uint64_t now = platform.MonotonicMicros();
        bool handOn = false;
        for (std::uint16_t i = 0; i < count; ++i)
        {
            CAMERA_RECORD& record = m_pRecords[i];
            if (record.rxState == RX_NOTHING_NEW && !gone(i) && now - lastHeard[i] >= timeout)
                record.rxState = RX_QUIET;
            if (record.rxState == RX_NEW_BYTE)
            {
                heardLast = i;
                lastByte[i] = now;
            }
            if (record.rxState == RX_NEW_BYTE || record.rxState == RX_QUIET)
                lastHeard[i] = now;
            if (record.rxState != RX_NOTHING_NEW)
                endedPacket[i] = EndedPacket(record);
            handOn = handOn || record.rxState != RX_NOTHING_NEW;
        }
        if (m_bStopReader)
            return;
        if (!handOn)
            continue;
        if (PFN_TABLE_CALLBACK callback = m_pfnTableCallback)
            callback(m_pRecords.get());
    }
}

void CCameraLink::StopReaderThread()
{
    if (!m_readerThread.joinable())
        return;
    m_bStopReader = true;
    m_readerThread.join();
}

// The reader is told to stop before the streams go off: a unit silent because of this stop
// must not be handed on as a camera gone quiet, however long the writes take.
void CCameraLink::StopReader()
{
    m_bStopReader = true;
    for (std::uint16_t i = 0; i < m_nCount; ++i)
        SendCommand(i, protocol::CMD_NUM_STREAM_OFF);
    StopReaderThread();
}

bool CCameraLink::CloseAll()
{
    if (m_nCount == 0)
        return false;
    // The reader must be gone before the handles it reads are closed.
    const bool hadReader = m_readerThread.joinable();
    StopReader();
    for (std::uint16_t i = 0; i < m_nCount; ++i)
    {
        Call<d2xx::FT_Close>(m_pRecords[i].handle);
        m_pRecords[i].handle = nullptr;
    }
    return hadReader;
}

void CCameraLink::SetCurrentDevice(std::uint16_t camera)
{
    g_nCurrentDevice = camera;
}
