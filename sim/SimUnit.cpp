#include "sim/SimUnit.h"

#include <algorithm>
#include <cmath>
#include <fstream>

namespace
{
// 10 bits per byte at 460800 baud.
constexpr std::uint64_t BYTE_NS = 21701;
constexpr std::uint64_t NS_PER_MICRO = 1000;
constexpr std::size_t CHUNK_MAX = 256;
constexpr std::uint8_t BROKEN_END = 0x00;
constexpr std::uint8_t LETTER_MINOR = 0x2A;
constexpr std::uint32_t WEIGHT_FIELD_MASK = 0xFFFFFF;

std::uint64_t ToNs(std::uint64_t micros)
{
    return micros * NS_PER_MICRO;
}

std::uint64_t CeilMicros(std::uint64_t ns)
{
    return (ns + NS_PER_MICRO - 1) / NS_PER_MICRO;
}

bool Visible(const SIM_PEN& pen)
{
    return pen.down && pen.x >= 0 && pen.x < SIM_CAMERA_WIDTH && pen.y >= 0 &&
           pen.y < SIM_CAMERA_HEIGHT;
}

bool ImageSize(int mode, int& width, int& height)
{
    switch (mode)
    {
    case protocol::IMAGE_640x480:
        width = 640;
        height = 480;
        return true;
    case protocol::IMAGE_320x240:
        width = 320;
        height = 240;
        return true;
    case protocol::IMAGE_160x120:
        width = 160;
        height = 120;
        return true;
    default:
        return false;
    }
}
} // namespace

CSimUnit::CSimUnit(int index) : m_nIndex(index)
{
    SetFirmwareMinor(DEFAULT_MINOR);
    m_nLocation = 0x0111 + static_cast<std::uint32_t>(index);
    m_nRandom = 0x9E3779B97F4A7C15ull + static_cast<std::uint64_t>(index);
    // The version probe answers whatever address 0 holds; a fresh unit holds 1 there.
    m_store[protocol::ADDR_VERSION_PROBE] = 1;
    for (SIM_PEN& pen : m_view.pens)
        pen.weight = DEFAULT_WEIGHT;
}

void CSimUnit::SetFirmwareMinor(std::uint8_t minor)
{
    m_nMinor = minor;
    m_dVersion = protocol::ParseVersionText(protocol::FirmwareVersionPrefix() +
                                            protocol::FirmwareMinorText(minor));
}

void CSimUnit::SetFrameRate(double fps)
{
    m_dFps = std::clamp(fps, 0.1, 10000.0);
}

std::uint64_t CSimUnit::FramePeriodNs() const
{
    return static_cast<std::uint64_t>(std::llround(1e9 / m_dFps));
}

void CSimUnit::SetPen(int pen, double x, double y, std::uint32_t weight)
{
    if (pen < 0 || pen >= SIM_MAX_PENS)
        return;
    m_view.pens[std::size_t(pen)] = {true, x, y, weight};
}

void CSimUnit::LiftPen(int pen)
{
    if (pen >= 0 && pen < SIM_MAX_PENS)
        m_view.pens[std::size_t(pen)].down = false;
}

void CSimUnit::LiftAllPens()
{
    for (SIM_PEN& pen : m_view.pens)
        pen.down = false;
}

void CSimUnit::SetScreenQuad(const std::array<double, 8>& corners)
{
    m_view.screen = corners;
    m_view.optics.reset();
}

void CSimUnit::SetOptics(const SIM_OPTICS_CONFIG& config)
{
    m_optics = config;
    m_view.optics = std::make_shared<const CSimOptics>(m_optics);
}

void CSimUnit::SetMonitor(const CALIB_RECT& monitor)
{
    SIM_OPTICS_CONFIG config = m_optics;
    config.monitor = monitor;
    SetOptics(config);
}

void CSimUnit::AimView(double fill, double keystone, double dx, double dy)
{
    SIM_OPTICS_CONFIG config = m_optics;
    PlaceCentredView(config, fill, keystone);
    for (int i = 0; i < 4; ++i)
    {
        config.cornerX[i] += dx;
        config.cornerY[i] += dy;
    }
    SetOptics(config);
}

void CSimUnit::SetLens(double k1, double k2, double k3)
{
    SIM_OPTICS_CONFIG config = m_optics;
    config.k1 = k1;
    config.k2 = k2;
    config.k3 = k3;
    SetOptics(config);
}

void CSimUnit::SetMount(std::int32_t ceilingMount, std::int32_t rearProjection)
{
    SIM_OPTICS_CONFIG config = m_optics;
    config.ceilingMount = ceilingMount;
    config.rearProjection = rearProjection;
    SetOptics(config);
}

void CSimUnit::SetFault(SIM_FAULT fault, bool on, std::uint64_t now)
{
    Pump(now);
    const bool wasPlugged = IsPlugged();
    if (on)
        m_nFaults |= SimFaultBit(fault);
    else
        m_nFaults &= ~SimFaultBit(fault);
    if (fault == SIM_FAULT::FirstVersion && on)
        m_bVersionAnswered = false;
    if (wasPlugged != IsPlugged())
        PowerDown();
    m_nLinkFreeNs = std::max(m_nLinkFreeNs, ToNs(now));
}

void CSimUnit::ClearFaults(std::uint64_t now)
{
    for (unsigned f = 0; f < unsigned(SIM_FAULT::Count); ++f)
        SetFault(static_cast<SIM_FAULT>(f), false, now);
}

void CSimUnit::SetAttached(bool attached, std::uint64_t now)
{
    Pump(now);
    const bool wasPlugged = IsPlugged();
    m_bAttached = attached;
    if (wasPlugged != IsPlugged())
        PowerDown();
    m_nLinkFreeNs = std::max(m_nLinkFreeNs, ToNs(now));
}

// Losing power (unplug) or coming back: the unit starts silent, the bridge forgets its
// buffers and handles, the setting store keeps its bytes.
void CSimUnit::PowerDown()
{
    m_bStream = false;
    m_nImageMode = 0;
    m_bImageStream = false;
    m_nCommandPos = 0;
    m_bVersionAnswered = false;
    m_bOpen = false;
    PurgeReceiveBuffer();
    if (IsPlugged())
        ++m_nPlugGeneration;
}

bool CSimUnit::SetStoreFile(const std::filesystem::path& path)
{
    m_storePath = path;
    std::array<char, protocol::SETTING_STORE_SIZE + 1> bytes{};
    std::ifstream in(path, std::ios::binary);
    if (in)
    {
        in.read(bytes.data(), std::streamsize(bytes.size()));
        if (in.gcount() == protocol::SETTING_STORE_SIZE)
        {
            for (std::size_t i = 0; i < m_store.size(); ++i)
                m_store[i] = static_cast<std::uint8_t>(bytes[i]);
            return true;
        }
    }
    SaveStore();
    return false;
}

void CSimUnit::SetStoreByte(int address, std::uint8_t value)
{
    m_store[std::size_t(address & 0xFF)] = value;
    SaveStore();
}

void CSimUnit::SaveStore() const
{
    if (m_storePath.empty())
        return;
    std::ofstream out(m_storePath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(m_store.data()), std::streamsize(m_store.size()));
}

void CSimUnit::Receive(const std::uint8_t* bytes, std::size_t count, std::uint64_t now)
{
    Pump(now);
    for (std::size_t i = 0; i < count; ++i)
    {
        const std::uint8_t b = bytes[i];
        if (m_nCommandPos == 0)
        {
            if (b != protocol::PACKET_START)
            {
                ++m_stats.strayBytes;
                continue;
            }
        }
        m_command[m_nCommandPos++] = b;
        if (m_nCommandPos < protocol::COMMAND_LENGTH)
            continue;
        m_nCommandPos = 0;
        const bool framed = m_command[protocol::COMMAND_LENGTH - 1] == protocol::PACKET_END;
        m_log.push_back({now, m_command, framed});
        if (framed)
            Execute(m_command, ToNs(now));
    }
}

void CSimUnit::Execute(const protocol::COMMAND_PACKET& packet, std::uint64_t nowNs)
{
    const bool spotsBefore = SendsSpots();
    const bool imagesBefore = SendsImages();
    const int modeBefore = m_nImageMode;
    const std::uint8_t address = packet[3];
    const std::uint8_t value = packet[4];
    switch (packet[1])
    {
    case protocol::CMD_STREAM:
        if (value <= 1)
            m_bStream = value == 1;
        break;
    case protocol::CMD_SETUP:
        break;
    case protocol::CMD_PARAMETER:
        m_params[address] = value;
        break;
    case protocol::CMD_IMAGE_MODE:
    {
        int width = 0;
        int height = 0;
        if (value == protocol::IMAGE_OFF || ImageSize(value, width, height))
            m_nImageMode = value;
        break;
    }
    case protocol::CMD_IMAGE_STREAM:
        if (value <= 1)
            m_bImageStream = value == 1;
        break;
    case protocol::CMD_SETTING_WRITE:
        SetStoreByte(address, value);
        break;
    case protocol::CMD_SETTING_READ:
        Reply(address, nowNs);
        break;
    default:
        // The camera ignores codes it does not know; the log still shows them.
        break;
    }
    UpdateStreams(spotsBefore, imagesBefore, modeBefore, nowNs);
}

void CSimUnit::Reply(std::uint8_t address, std::uint64_t nowNs)
{
    std::uint8_t value = m_store[address];
    if (address == protocol::ADDR_VERSION_PROBE || address == protocol::ADDR_FIRMWARE_MINOR)
    {
        if (HasFault(SIM_FAULT::NoVersion))
            return;
        if (HasFault(SIM_FAULT::FirstVersion) && m_bVersionAnswered)
            return;
        m_bVersionAnswered = true;
        if (address == protocol::ADDR_FIRMWARE_MINOR)
            value = HasFault(SIM_FAULT::Letters) ? LETTER_MINOR : m_nMinor;
    }
    const auto reply = protocol::MakeReply(value);
    EmitPacket(reply.data(), reply.size(), nowNs, true);
}

void CSimUnit::UpdateStreams(bool spotsBefore, bool imagesBefore, int modeBefore,
                             std::uint64_t nowNs)
{
    if (SendsSpots() && !spotsBefore)
        m_nNextFrameNs = nowNs + FramePeriodNs();
    if (SendsImages() && (!imagesBefore || modeBefore != m_nImageMode))
    {
        int width = 0;
        int height = 0;
        ImageSize(m_nImageMode, width, height);
        m_image.Restart(width, height, IsGreyImage());
        m_nNextImageNs = nowNs;
    }
}

void CSimUnit::SendRaw(const std::uint8_t* bytes, std::size_t count, std::uint64_t now)
{
    Pump(now);
    if (!IsPlugged())
        return;
    for (std::size_t done = 0; done < count; done += CHUNK_MAX)
        PushChunk(bytes + done, std::min(CHUNK_MAX, count - done), ToNs(now));
}

void CSimUnit::Pump(std::uint64_t now)
{
    if (!IsPlugged())
        return;
    const std::uint64_t nowNs = ToNs(now);
    const std::uint64_t catchUpNs = ToNs(CATCH_UP_MICROS);
    const bool stalled = HasFault(SIM_FAULT::Stall);
    if (m_bReplay)
    {
        if (!stalled)
            PumpReplay(nowNs);
        return;
    }
    if (SendsSpots())
    {
        const std::uint64_t period = FramePeriodNs();
        if (m_nNextFrameNs + catchUpNs < nowNs)
            m_nNextFrameNs += (nowNs - catchUpNs - m_nNextFrameNs) / period * period;
        for (; m_nNextFrameNs <= nowNs; m_nNextFrameNs += period)
        {
            if (!stalled)
                EmitSpotFrame(m_nNextFrameNs);
        }
    }
    if (SendsImages())
    {
        if (stalled || m_nNextImageNs + catchUpNs < nowNs)
            m_nNextImageNs = std::max(m_nNextImageNs, stalled ? nowNs : nowNs - catchUpNs);
        while (!stalled && m_nNextImageNs <= nowNs)
        {
            SIM_IMAGE_PACKET packet;
            if (m_image.Next(m_view, packet))
                ++m_stats.imageFrames;
            EmitPacket(packet.data(), packet.size(), m_nNextImageNs, true);
            // The camera sends image packets back to back.
            m_nNextImageNs = std::max(m_nLinkFreeNs, m_nNextImageNs + 1);
        }
    }
}

std::vector<SIM_SPOT_SENT> CSimUnit::TakeSpotsSent()
{
    std::vector<SIM_SPOT_SENT> taken;
    taken.swap(m_spotsSent);
    return taken;
}

std::vector<SIM_SPOT_READ> CSimUnit::TakeSpotsRead()
{
    std::vector<SIM_SPOT_READ> taken;
    taken.swap(m_spotsRead);
    return taken;
}

void CSimUnit::EmitSpotFrame(std::uint64_t atNs)
{
    ++m_stats.spotFrames;
    if (m_bRecordSpots)
    {
        SIM_SPOT_SENT sent;
        for (const SIM_PEN& pen : m_view.pens)
        {
            if (Visible(pen))
            {
                sent = {0, true, pen.x, pen.y};
                break;
            }
        }
        if (sent.down != m_lastSpotSent.down || sent.x != m_lastSpotSent.x ||
            sent.y != m_lastSpotSent.y)
        {
            m_lastSpotSent = sent;
            m_bSpotPending = true;
        }
    }
    if (IsMultiSpot())
    {
        std::uint8_t type = protocol::TYPE_FIRST_SPOT;
        for (const SIM_PEN& pen : m_view.pens)
        {
            if (!Visible(pen))
                continue;
            const auto a = static_cast<std::uint32_t>(std::llround(pen.x * pen.weight));
            const auto b = static_cast<std::uint32_t>(std::llround(pen.y * pen.weight));
            const auto packet =
                protocol::MakeMultiSpot(type++, a & WEIGHT_FIELD_MASK, b & WEIGHT_FIELD_MASK,
                                        pen.weight & WEIGHT_FIELD_MASK);
            EmitPacket(packet.data(), packet.size(), atNs, true);
        }
        if (type == protocol::TYPE_FIRST_SPOT)
        {
            const auto none = protocol::MakeMultiSpot(protocol::TYPE_NO_SPOT, 0, 0, 0);
            EmitPacket(none.data(), none.size(), atNs, true);
        }
        NoteSpotSent();
        return;
    }
    int x = 0;
    int y = 0;
    for (const SIM_PEN& pen : m_view.pens)
    {
        if (Visible(pen))
        {
            x = static_cast<int>(pen.x);
            y = static_cast<int>(pen.y);
            break;
        }
    }
    const auto packet = protocol::MakeSingleSpot(x, y);
    EmitPacket(packet.data(), packet.size(), atNs, true);
    NoteSpotSent();
}

void CSimUnit::NoteSpotSent()
{
    if (!m_bSpotPending)
        return;
    m_bSpotPending = false;
    SIM_SPOT_SENT sent = m_lastSpotSent;
    sent.micros = CeilMicros(m_nLinkFreeNs);
    m_spotsSent.push_back(sent);
    m_spotsUnread.push_back(sent.micros);
}

void CSimUnit::EmitPacket(const std::uint8_t* bytes, std::size_t count, std::uint64_t atNs,
                          bool applyFaults)
{
    if (HasFault(SIM_FAULT::Stall))
        return;
    ++m_stats.packets;
    if (applyFaults && HasFault(SIM_FAULT::Garbage))
    {
        std::array<std::uint8_t, 4> garbage{};
        const std::size_t n = 1 + NextRandom() % garbage.size();
        for (std::size_t i = 0; i < n; ++i)
            garbage[i] = NextRandom();
        PushChunk(garbage.data(), n, atNs);
    }
    std::array<std::uint8_t, SIM_IMAGE_PACKET_LENGTH> copy{};
    const std::size_t n = std::min(count, copy.size());
    std::copy_n(bytes, n, copy.begin());
    if (applyFaults && HasFault(SIM_FAULT::Broken) && ++m_nBrokenCount % 2 == 0)
        copy[n - 1] = BROKEN_END;
    PushChunk(copy.data(), n, atNs);
}

void CSimUnit::PushChunk(const std::uint8_t* bytes, std::size_t count, std::uint64_t atNs)
{
    std::array<std::uint64_t, CHUNK_MAX> readyAt;
    count = std::min(count, CHUNK_MAX);
    const std::uint64_t start = std::max(atNs, m_nLinkFreeNs);
    for (std::size_t i = 0; i < count; ++i)
        readyAt[i] = CeilMicros(start + (i + 1) * BYTE_NS);
    m_nLinkFreeNs = start + count * BYTE_NS;
    if (!m_queue.PushChunk(bytes, readyAt.data(), count))
        ++m_stats.chunksLost;
}

std::size_t CSimUnit::Read(std::uint8_t* out, std::size_t max, std::uint64_t now)
{
    const std::size_t released = m_bridge.Release(m_queue, now);
    std::uint64_t lastReadyAt = 0;
    const std::size_t n = m_queue.PopReady(out, std::min(max, released), now, &lastReadyAt);
    while (n > 0 && !m_spotsUnread.empty() && m_spotsUnread.front() <= lastReadyAt)
    {
        m_spotsRead.push_back({m_spotsUnread.front(), now});
        m_spotsUnread.pop_front();
    }
    m_bridge.Taken(n);
    m_stats.bytesRead += n;
    m_nReplayQueued -= std::min(m_nReplayQueued, n);
    return n;
}

bool CSimUnit::NextByteMicros(std::uint64_t& micros) const
{
    // The first byte not yet on the link, while the unit streams.
    bool coming = false;
    std::uint64_t nextOnLink = 0;
    if (IsPlugged() && !HasFault(SIM_FAULT::Stall))
    {
        if (m_bReplay)
        {
            if (m_bStream && ReplayLeft() != 0)
            {
                nextOnLink = CeilMicros(std::max(ReplayDueNs(), m_nLinkFreeNs) + BYTE_NS);
                coming = true;
            }
        }
        else if (SendsSpots())
        {
            nextOnLink = CeilMicros(std::max(m_nNextFrameNs, m_nLinkFreeNs) + BYTE_NS);
            coming = true;
        }
        else if (SendsImages())
        {
            nextOnLink = CeilMicros(std::max(m_nNextImageNs, m_nLinkFreeNs) + BYTE_NS);
            coming = true;
        }
    }
    // Bytes still to come can fill a packet or carry the event character, so the bridge's
    // next packet is looked at again when they arrive.
    std::uint64_t release = 0;
    if (m_bridge.NextRelease(m_queue, release))
    {
        micros = coming ? std::min(release, nextOnLink) : release;
        return true;
    }
    micros = nextOnLink;
    return coming;
}

std::uint8_t CSimUnit::NextRandom()
{
    m_nRandom ^= m_nRandom << 13;
    m_nRandom ^= m_nRandom >> 7;
    m_nRandom ^= m_nRandom << 17;
    return static_cast<std::uint8_t>(m_nRandom >> 24);
}

void CSimUnit::PurgeReceiveBuffer()
{
    m_nReplayPos -= std::min(m_nReplayPos, m_nReplayQueued);
    m_nReplayQueued = 0;
    m_bReplayRunning = false;
    m_queue.Clear();
    m_spotsUnread.clear();
    m_bridge.Cleared();
}

void CSimUnit::SetReplay(std::vector<std::pair<std::uint64_t, std::uint8_t>> bytes, bool fast)
{
    m_replay = std::move(bytes);
    m_nReplayPos = 0;
    m_nReplayQueued = 0;
    m_bReplay = true;
    m_bReplayFast = fast;
    m_bReplayRunning = false;
}

std::uint64_t CSimUnit::ReplayDueNs() const
{
    if (!m_bReplayRunning)
        return m_nLinkFreeNs;
    return m_bReplayFast ? m_nLinkFreeNs : ToNs(m_replay[m_nReplayPos].first) + m_nReplayShiftNs;
}

void CSimUnit::PumpReplay(std::uint64_t nowNs)
{
    if (!m_bStream)
    {
        m_bReplayRunning = false;
        return;
    }
    if (ReplayLeft() == 0)
        return;
    if (!m_bReplayRunning)
    {
        // The recording's start is now, so that units keep their times to each other (one may
        // have been dark at first); later, the next recorded byte is due now: a pause with the
        // stream off is left out.
        m_bReplayRunning = true;
        m_nReplayShiftNs = nowNs - (m_nReplayPos == 0 ? 0 : ToNs(m_replay[m_nReplayPos].first));
    }
    // Fast replay keeps within the host's buffer, as a unit at full speed would.
    std::size_t budget = m_bReplayFast ? HOST_BUFFER / 2 - std::min(HOST_BUFFER / 2, m_queue.Size())
                                       : m_replay.size();
    for (; ReplayLeft() > 0 && budget > 0; --budget)
    {
        const std::uint64_t due = ReplayDueNs();
        if (due > nowNs)
            break;
        PushChunk(&m_replay[m_nReplayPos++].second, 1, due);
        ++m_nReplayQueued;
    }
}
