#pragma once
// One simulated camera unit: its setting store, its response to command packets, and
// the byte stream it sends (setting replies, spot reports, image packets). Time comes
// in from the caller in microseconds; the unit keeps its own link timeline so every
// byte it sends has the instant it becomes readable (460800 baud, 10 bits per byte).
// Not thread-safe by itself: the bus serialises every call.

#include "device/Protocol.h"
#include "sim/SimBridge.h"
#include "sim/SimByteQueue.h"
#include "sim/SimImage.h"

#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

enum class SIM_FAULT : std::uint8_t
{
    Stall,        // sends nothing at all
    Garbage,      // a few random bytes before every packet
    Broken,       // every second packet ends in 0x00 instead of '&'
    NoVersion,    // no reply to reads of addresses 0 and 1
    Letters,      // address 1 reads back as 0x2A (version text 1.2a)
    Unplug,       // gone from the bus: listing skips it, open handles fail
    FirstVersion, // answers only the first read of address 0 or 1
    Count
};

constexpr std::uint32_t SimFaultBit(SIM_FAULT fault)
{
    return 1u << static_cast<unsigned>(fault);
}

// A command packet as the unit received it. `framed` is false when the sixth byte
// was not '&' (the unit then ignored it).
// The first visible pen's position as a spot frame carried it, when it changed: the time the
// frame's last byte was on the link, in microseconds of the simulator's clock.
struct SIM_SPOT_SENT
{
    std::uint64_t micros = 0;
    bool down = false;
    double x = 0.0;
    double y = 0.0;
};

// A frame of SIM_SPOT_SENT whose last byte a read has taken, and when.
struct SIM_SPOT_READ
{
    std::uint64_t sentMicros = 0;
    std::uint64_t readMicros = 0;
};

struct SIM_PACKET_RECORD
{
    std::uint64_t micros = 0;
    protocol::COMMAND_PACKET bytes{};
    bool framed = true;
};

// What the host did to the unit's link through the bridge.
struct SIM_LINK_RECORD
{
    std::uint32_t baudRate = 0; // 0 until set
    std::uint32_t readTimeoutMs = 300;
    std::uint32_t writeTimeoutMs = 300;
    int opens = 0;
    int closes = 0;
    int resets = 0;
    int purgesRx = 0;
    int purgesTx = 0;
};

struct SIM_UNIT_STATS
{
    std::uint64_t spotFrames = 0;  // spot frames sent
    std::uint64_t imageFrames = 0; // image frames started
    std::uint64_t packets = 0;     // packets of any kind sent
    std::uint64_t bytesRead = 0;   // bytes the host has read
    std::uint64_t chunksLost = 0;  // chunks lost because the host buffer was full
    std::uint64_t strayBytes = 0;  // bytes written outside a command packet
};

class CSimUnit
{
public:
    static constexpr double DEFAULT_FPS = 100.0;
    static constexpr std::uint8_t DEFAULT_MINOR = 0x23;
    static constexpr std::uint32_t DEFAULT_WEIGHT = 1000;
    static constexpr std::uint32_t LINK_BAUD = protocol::BAUD_RATE;
    static constexpr std::size_t HOST_BUFFER = 64 * 1024;
    // A unit left unread longer than this only sends what this much time allows.
    static constexpr std::uint64_t CATCH_UP_MICROS = 2'000'000;

    explicit CSimUnit(int index);

    int Index() const { return m_nIndex; }

    // Configuration.
    void SetFirmwareMinor(std::uint8_t minor);
    std::uint8_t FirmwareMinor() const { return m_nMinor; }
    // The version number the driver derives from the minor byte (minor 0x23 gives 1.23).
    double FirmwareVersion() const { return m_dVersion; }
    bool IsMultiSpot() const { return m_dVersion >= protocol::MULTI_SPOT_VERSION; }
    bool IsGreyImage() const { return m_dVersion > GREY_IMAGE_ABOVE; }
    void SetFrameRate(double fps);
    double FrameRate() const { return m_dFps; }
    void SetPen(int pen, double x, double y, std::uint32_t weight = DEFAULT_WEIGHT);
    void LiftPen(int pen);
    void LiftAllPens();
    const SIM_PEN& Pen(int pen) const { return m_view.pens[static_cast<std::size_t>(pen)]; }
    // The projected screen as a plain quadrilateral in camera pixels; the picture stops
    // showing the monitor through the optics.
    void SetScreenQuad(const std::array<double, 8>& corners);
    // The picture shows the unit's monitor through these optics from now on. The parts
    // below change one thing each and keep the rest.
    void SetOptics(const SIM_OPTICS_CONFIG& config);
    void SetMonitor(const CALIB_RECT& monitor);
    // The monitor centred (see PlaceCentredView), then moved by (dx, dy) camera pixels.
    void AimView(double fill, double keystone, double dx, double dy);
    void SetLens(double k1, double k2, double k3);
    void SetMount(std::int32_t ceilingMount, std::int32_t rearProjection);
    // Null while the picture shows the plain quadrilateral.
    const CSimOptics* Optics() const { return m_view.optics.get(); }
    const SIM_VIEW& View() const { return m_view; }
    std::uint32_t Location() const { return m_nLocation; }
    // What the bridge reports of itself in the listing; a unit keeps both when it is
    // unplugged and plugged in again.
    std::string SerialNumber() const { return "TA" + std::to_string(100000 + m_nLocation); }
    static constexpr const char* DESCRIPTION = "Tavelo TA";
    void SetSeed(std::uint64_t seed) { m_nRandom = seed != 0 ? seed : 1; }

    // Faults; `now` is when the change happens.
    void SetFault(SIM_FAULT fault, bool on, std::uint64_t now);
    void ClearFaults(std::uint64_t now);
    bool HasFault(SIM_FAULT fault) const { return (m_nFaults & SimFaultBit(fault)) != 0; }

    // Attached to the bus (the bus's unit count). Plugged = attached and not unplugged.
    void SetAttached(bool attached, std::uint64_t now);
    bool IsPlugged() const { return m_bAttached && !HasFault(SIM_FAULT::Unplug); }
    // Changes every time the unit is plugged in again; handles opened before are stale.
    std::uint32_t PlugGeneration() const { return m_nPlugGeneration; }

    // Setting store. With a file, the store is loaded from it (when it holds 256 bytes)
    // and written back after every change.
    bool SetStoreFile(const std::filesystem::path& path);
    std::uint8_t StoreByte(int address) const { return m_store[std::size_t(address & 0xFF)]; }
    void SetStoreByte(int address, std::uint8_t value);
    const std::array<std::uint8_t, protocol::SETTING_STORE_SIZE>& Store() const { return m_store; }

    // Host to unit: command bytes, parsed across calls.
    void Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t now);
    // Puts raw bytes on the link, as they are.
    void SendRaw(const std::uint8_t* bytes, std::size_t count, std::uint64_t now);

    // Unit to host. Pump sends whatever is due up to `now`; Read takes readable bytes.
    void Pump(std::uint64_t now);
    std::size_t Read(std::uint8_t* out, std::size_t max, std::uint64_t now);
    // Bytes the bridge has sent on to the host by `now`.
    std::size_t ReadyBytes(std::uint64_t now) { return m_bridge.Release(m_queue, now); }
    // When the next byte becomes readable without anything else happening; false when
    // nothing will come. Call after Pump.
    bool NextByteMicros(std::uint64_t& micros) const;
    // A replay sends the purged recorded bytes again: a recording holds only what the host
    // read, never what it threw away.
    void PurgeReceiveBuffer();

    bool IsStreaming() const { return m_bStream; }
    int ImageMode() const { return m_nImageMode; }
    bool IsImageStreamOn() const { return m_bImageStream; }
    bool SendsSpots() const { return m_bStream && m_nImageMode == 0; }
    bool SendsImages() const { return m_bStream && m_nImageMode != 0 && m_bImageStream; }

    // Bridge bookkeeping, kept by the bus.
    CSimBridge& Bridge() { return m_bridge; }
    SIM_LINK_RECORD& Link() { return m_link; }
    const SIM_LINK_RECORD& Link() const { return m_link; }
    bool IsOpen() const { return m_bOpen; }
    void SetOpen(bool open) { m_bOpen = open; }

    const std::vector<SIM_PACKET_RECORD>& PacketLog() const { return m_log; }
    // Spot frames that moved the first pen, kept only while recording is on.
    void RecordSpots(bool on) { m_bRecordSpots = on; }
    std::vector<SIM_SPOT_SENT> TakeSpotsSent();
    std::vector<SIM_SPOT_READ> TakeSpotsRead();
    void ClearPacketLog() { m_log.clear(); }
    const SIM_UNIT_STATS& Stats() const { return m_stats; }
    // From now on the unit sends these recorded bytes instead of what it would make itself,
    // while its stream is on: each at its recorded time (microseconds) after the stream came
    // on, the pauses while the stream was off left out; with fast, back to back at the link's
    // pace. It still answers setting reads.
    void SetReplay(std::vector<std::pair<std::uint64_t, std::uint8_t>> bytes, bool fast);
    bool IsReplaying() const { return m_bReplay; }
    // Recorded bytes not sent yet.
    std::size_t ReplayLeft() const { return m_replay.size() - m_nReplayPos; }

    // Parameter bytes of command 0x03, by address.
    std::uint8_t Parameter(int address) const { return m_params[std::size_t(address & 0xFF)]; }

private:
    static constexpr double GREY_IMAGE_ABOVE = 1.15;

    void Execute(const protocol::COMMAND_PACKET& packet, std::uint64_t nowNs);
    void Reply(std::uint8_t address, std::uint64_t nowNs);
    void UpdateStreams(bool spotsBefore, bool imagesBefore, int modeBefore, std::uint64_t nowNs);
    void EmitSpotFrame(std::uint64_t atNs);
    void EmitPacket(const std::uint8_t* bytes, std::size_t count, std::uint64_t atNs,
                    bool applyFaults);
    void PushChunk(const std::uint8_t* bytes, std::size_t count, std::uint64_t atNs);
    void PowerDown();
    void SaveStore() const;
    std::uint8_t NextRandom();
    std::uint64_t FramePeriodNs() const;

    int m_nIndex;
    std::uint8_t m_nMinor = DEFAULT_MINOR;
    double m_dVersion = 0.0;
    double m_dFps = DEFAULT_FPS;
    std::uint32_t m_nLocation = 0;
    std::uint32_t m_nFaults = 0;
    bool m_bAttached = false;
    bool m_bOpen = false;
    std::uint32_t m_nPlugGeneration = 0;
    bool m_bVersionAnswered = false;
    std::uint64_t m_nRandom = 1;
    std::uint64_t m_nBrokenCount = 0;

    std::array<std::uint8_t, protocol::SETTING_STORE_SIZE> m_store{};
    std::array<std::uint8_t, 256> m_params{};
    std::filesystem::path m_storePath;

    protocol::COMMAND_PACKET m_command{};
    std::size_t m_nCommandPos = 0;

    bool m_bStream = false;
    int m_nImageMode = 0;
    bool m_bImageStream = false;
    SIM_VIEW m_view;
    SIM_OPTICS_CONFIG m_optics;
    CSimImageStream m_image;

    std::uint64_t m_nLinkFreeNs = 0;
    std::uint64_t m_nNextFrameNs = 0;
    std::uint64_t m_nNextImageNs = 0;
    CSimByteQueue m_queue{HOST_BUFFER};
    CSimBridge m_bridge;

    SIM_LINK_RECORD m_link;
    SIM_UNIT_STATS m_stats;
    std::vector<SIM_PACKET_RECORD> m_log;
    void NoteSpotSent();

    void PumpReplay(std::uint64_t nowNs);
    // When the next recorded byte is due, in simulator nanoseconds.
    std::uint64_t ReplayDueNs() const;

    std::vector<std::pair<std::uint64_t, std::uint8_t>> m_replay;
    std::size_t m_nReplayPos = 0;
    // Recorded bytes in the queue that the host has not read yet.
    std::size_t m_nReplayQueued = 0;
    bool m_bReplay = false;
    bool m_bReplayFast = false;
    // Set while the stream runs: simulator time minus recording time, modulo 2^64.
    bool m_bReplayRunning = false;
    std::uint64_t m_nReplayShiftNs = 0;

    bool m_bRecordSpots = false;
    bool m_bSpotPending = false;
    SIM_SPOT_SENT m_lastSpotSent;
    std::vector<SIM_SPOT_SENT> m_spotsSent;
    // Link times of recorded spot frames whose last byte no read has taken yet, oldest first.
    std::deque<std::uint64_t> m_spotsUnread;
    std::vector<SIM_SPOT_READ> m_spotsRead;
};
