#pragma once
// The driver's only path to the camera units: binds the D2XX library at run time, keeps
// one record per camera, writes command packets, reads setting replies, detects firmware
// and runs the reader thread that hands every received byte to a callback.

#include "device/CameraRecord.h"
#include "device/D2xxApi.h"
#include "device/Protocol.h"
#include "platform/Platform.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

// Mode 0: the record of the one camera read, by value. Mode 1: the whole table, after one
// byte of every camera was read.
using PFN_RECORD_CALLBACK = void (*)(CAMERA_RECORD record);
using PFN_TABLE_CALLBACK = void (*)(CAMERA_RECORD* records);

// Either kind of reader callback, or none.
struct READER_CALLBACK
{
    READER_CALLBACK(std::nullptr_t) {}
    READER_CALLBACK(PFN_RECORD_CALLBACK callback) : pfnRecord(callback) {}
    READER_CALLBACK(PFN_TABLE_CALLBACK callback) : pfnTable(callback) {}
    PFN_RECORD_CALLBACK pfnRecord = nullptr;
    PFN_TABLE_CALLBACK pfnTable = nullptr;
};

constexpr int LOCATION_SLOTS = 16;

// How long the link must stay silent after a packet's last byte for the frame to be over, when
// the bridge hands each packet on at its '&'. A frame's packets follow each other on the link
// every 12 bytes at 460800 baud (0.26 ms); frames come every 10 ms, and four packets take
// 1.04 ms of it, so the link is silent for almost 9 ms between frames. The gap is about four
// packets' time, a quarter of that silence at most: a host that hands a frame's packets on further
// apart only splits the frame, which the tracker takes without a lift or a jump
// (CloseMultiSpotFrame). Without the event character the bridge holds bytes for its 16 ms timer,
// longer than a frame, and the reader never waits for the gap.
constexpr std::uint32_t QUIET_GAP_MS = 1;
constexpr std::uint32_t FRAME_PERIOD_US = 10'000;
constexpr std::uint32_t MULTI_SPOT_PACKET_US =
    protocol::MULTI_SPOT_LENGTH * 10 * 1'000'000 / protocol::BAUD_RATE;
static_assert(QUIET_GAP_MS * 1000 >= 3 * MULTI_SPOT_PACKET_US);
static_assert(QUIET_GAP_MS * 1000 < (FRAME_PERIOD_US - 4 * MULTI_SPOT_PACKET_US) / 4);

// A version reply must come within this time.
constexpr std::uint32_t VERSION_REPLY_WAIT_MS = 500;
// A setting reply must come within this time; a missing one reads as 0.
constexpr std::uint32_t SETTING_REPLY_WAIT_MS = 1000;

class CCameraLink
{
public:
    CCameraLink();
    virtual ~CCameraLink();
    CCameraLink(const CCameraLink&) = delete;
    CCameraLink& operator=(const CCameraLink&) = delete;

    // Loads the D2XX library and binds its entry points; once, at start-up, before the first
    // listing. A failure shows its message and leaves the table empty, so the wrappers fail.
    bool BindLibrary();
    bool IsBound() const { return m_hLibrary != nullptr; }

    // Fills up to LOCATION_SLOTS location ids; the library never writes past them.
    [[nodiscard]] FT_STATUS ListDevices(std::uint32_t* locations, std::uint16_t* count);
    // The serial number (FT_OPEN_BY_SERIAL_NUMBER) or description (FT_OPEN_BY_DESCRIPTION)
    // of the listed unit at `index`; empty when the listing fails.
    std::string ListedText(std::uint32_t index, std::uint32_t what);
    [[nodiscard]] bool OpenAll(const std::uint32_t* locations, std::uint16_t count);
    void ResetAll();
    void Reconfigure();
    // Every camera's bridge hands on each packet as its last byte, '&', arrives, instead of
    // holding it for up to 16 ms until its buffer fills or its timer expires. An '&' inside
    // a packet's values only sends its first part early. The latency timer stays as it is:
    // every packet ends in '&', so it adds nothing here. A library without the event
    // character changes nothing.
    void SetLowLatency();
    // Every camera's bridge hands on each packet at its '&' (SetLowLatency took).
    bool EndsPackets() const { return m_bEndsPackets; }
    bool WritePacket(std::uint16_t camera, const std::uint8_t* buffer, std::uint32_t length,
                     std::uint32_t* written);
    bool SendCommand(std::uint16_t camera, int code);
    std::uint8_t ReadReply(std::uint16_t camera);
    void SetMonitor(std::uint16_t camera, std::int32_t left, std::int32_t top, std::int32_t right,
                    std::int32_t bottom);
    CAMERA_RECORD* GetRecords() { return m_pRecords.get(); }
    std::uint16_t GetCount() const { return m_nCount; }
    std::string ReadFirmwareVersion(std::uint16_t camera);
    [[nodiscard]] bool DetectFirmware();

    // Reader thread.
    // Mode 0 takes a record callback, mode 1 a table callback; a null callback is refused
    // only when none of that mode was set before.
    bool SetCallback(int mode, READER_CALLBACK callback);
    bool StartReader();
    void StopReader();
    bool CloseAll();
    void SetCurrentDevice(std::uint16_t camera);
    bool IsReaderRunning() const { return m_readerThread.joinable(); }
    // The reader has been asked to end and is on its way out.
    bool IsReaderStopping() const { return m_bStopReader; }
    // Stops and joins the reader without a word to the cameras: for a link that has failed.
    void StopReaderThread();

    D2XX_TABLE m_d2xx;
    std::unique_ptr<CAMERA_RECORD[]> m_pRecords;
    LibraryHandle m_hLibrary = nullptr;
    // Both written by the user-interface thread; read by the reader thread.
    std::atomic<PFN_RECORD_CALLBACK> m_pfnRecordCallback{nullptr};
    std::atomic<PFN_TABLE_CALLBACK> m_pfnTableCallback{nullptr};
    std::int32_t m_nMode = 0;
    std::uint16_t m_nCount = 0;
    // Written by the user-interface thread and by the pen driver on the reader thread.
    std::atomic<std::int32_t> m_bFailed{0};
    std::int32_t m_bVersionValid = -1;

private:
    // Calls a bound entry point; a missing one shows its name and gives status 1.
    template <class ENTRY, class... ARGS> FT_STATUS Call(ARGS... args);
    void ConfigureHandle(FT_HANDLE handle);
    // Reads one byte, ending by the deadline: a read that would outlast it is given a shorter
    // time-out. False, without reading, once the deadline has passed.
    bool ReadByteBy(FT_HANDLE handle, std::uint64_t deadline, std::uint8_t& byte,
                    std::uint32_t& got, FT_STATUS& status);
    // The byte a version reply carries, or -1 when none came in time.
    int WaitForVersionReply(std::uint16_t camera);
    void ReaderLoop();
    // Mode 1 with more than one camera.
    void ReadCamerasAsTheySend();
    // Reads one byte of a camera into its record and marks it new or quiet; false when the
    // read failed. With a gap the read waits only that many milliseconds, and a read that
    // brings nothing marks the link idle instead.
    bool ReadInto(CAMERA_RECORD& record, std::uint32_t gapMs = 0);
    // The camera's last byte ended a packet and its bridge hands packets on at their end: the
    // next read waits only the quiet gap.
    bool EndedPacket(const CAMERA_RECORD& record) const;
    // A read of the camera failed: the first time in this run of the reader the unit is
    // reported gone to the main window, and true is returned (the camera is handed on once
    // more, quiet, so its pens are let go); afterwards false, and the camera is no longer
    // handed on, so the stall watch does not count a unit that is not there.
    bool ReportGone(std::uint16_t camera);

    std::uint16_t m_nAllocated = 0;
    std::thread m_readerThread;
    std::atomic<bool> m_bStopReader{false};
    std::atomic<bool> m_bEndsPackets{false};
    // Cameras reported gone in this run of the reader, one bit each (reader thread only,
    // cleared before it starts).
    std::uint32_t m_nGoneMask = 0;
};

// A copy of a record that is safe while the user-interface thread updates its image size.
CAMERA_RECORD SnapshotRecord(CAMERA_RECORD& record);

// The box that names a D2XX entry point the link could not call. User-interface thread: the
// reader posts WM_D2XX_ENTRY_INVALID with the name instead.
void ShowInvalidEntry(const char* name);
