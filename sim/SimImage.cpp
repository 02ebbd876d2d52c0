#include "sim/SimImage.h"

#include "device/Protocol.h"

namespace
{
constexpr SIM_YUV BACKGROUND = {30, 128, 128};
constexpr SIM_YUV SCREEN = {110, 140, 120};
constexpr SIM_YUV PEN = {235, 128, 128};
// A pen shows as a disc of this radius, in camera pixels.
constexpr double PEN_RADIUS = 6.0;
constexpr int SEQUENCE_WRAP = 20;

double Cross(double ax, double ay, double bx, double by, double px, double py)
{
    return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

// Inside a convex quadrilateral given in either winding.
bool InsideQuad(const std::array<double, 8>& q, double x, double y)
{
    bool anyPositive = false;
    bool anyNegative = false;
    for (int i = 0; i < 4; ++i)
    {
        const int j = (i + 1) % 4;
        const double c = Cross(q[2 * i], q[2 * i + 1], q[2 * j], q[2 * j + 1], x, y);
        anyPositive = anyPositive || c > 0;
        anyNegative = anyNegative || c < 0;
    }
    return !(anyPositive && anyNegative);
}
} // namespace

SIM_YUV SimViewPixel(const SIM_VIEW& view, double x, double y)
{
    for (const SIM_PEN& pen : view.pens)
    {
        if (!pen.down)
            continue;
        const double dx = x - pen.x;
        const double dy = y - pen.y;
        if (dx * dx + dy * dy <= PEN_RADIUS * PEN_RADIUS)
            return PEN;
    }
    return InsideQuad(view.screen, x, y) ? SCREEN : BACKGROUND;
}

void CSimImageStream::Restart(int width, int height, bool grey)
{
    m_nWidth = width;
    m_nHeight = height;
    m_bGrey = grey;
    m_nLine = -1;
    m_nPacket = 0;
}

int CSimImageStream::PacketsPerLine() const
{
    return m_nWidth / (m_bGrey ? 16 : 8);
}

bool CSimImageStream::Next(const SIM_VIEW& view, SIM_IMAGE_PACKET& packet)
{
    packet[0] = protocol::PACKET_START;
    packet[SIM_IMAGE_PACKET_LENGTH - 1] = protocol::PACKET_END;
    if (m_nLine < 0)
    {
        // Its payload lands below the shown picture; it carries the first line again.
        packet[1] = SIM_IMAGE_TYPE_FRAME;
        FillPayload(view, 0, 0, packet);
        m_nLine = 0;
        m_nPacket = 0;
        return true;
    }
    const int pixelsPerPacket = m_bGrey ? 16 : 8;
    packet[1] = m_nPacket == 0 ? SIM_IMAGE_TYPE_LINE
                               : static_cast<std::uint8_t>((m_nPacket + 1) % SEQUENCE_WRAP);
    FillPayload(view, m_nLine, m_nPacket * pixelsPerPacket, packet);
    if (++m_nPacket == PacketsPerLine())
    {
        m_nPacket = 0;
        if (++m_nLine == m_nHeight)
            m_nLine = -1;
    }
    return false;
}

void CSimImageStream::FillPayload(const SIM_VIEW& view, int line, int firstColumn,
                                  SIM_IMAGE_PACKET& packet)
{
    const double scaleX = double(SIM_CAMERA_WIDTH) / m_nWidth;
    const double scaleY = double(SIM_CAMERA_HEIGHT) / m_nHeight;
    // Sent line `line` and column `c` are drawn at row height-1-line, column width-1-c.
    const double cameraY = (m_nHeight - 1 - line + 0.5) * scaleY;
    auto pixelAt = [&](int column)
    { return SimViewPixel(view, (m_nWidth - 1 - column + 0.5) * scaleX, cameraY); };
    if (m_bGrey)
    {
        for (std::size_t i = 0; i < SIM_IMAGE_PAYLOAD; ++i)
            packet[2 + i] = pixelAt(firstColumn + int(i)).y;
        return;
    }
    for (int group = 0; group < 4; ++group)
    {
        const SIM_YUV first = pixelAt(firstColumn + 2 * group);
        const SIM_YUV second = pixelAt(firstColumn + 2 * group + 1);
        std::uint8_t* out = &packet[2 + 4 * std::size_t(group)];
        // 4:2:2: the pair shares the chroma of its first pixel.
        out[0] = first.u;
        out[1] = first.y;
        out[2] = first.v;
        out[3] = second.y;
    }
}
