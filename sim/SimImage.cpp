#include "sim/SimImage.h"

#include "device/Protocol.h"

namespace
{
constexpr SIM_YUV BACKGROUND = {30, 128, 128};
constexpr SIM_YUV SCREEN = {110, 140, 120};
constexpr SIM_YUV PEN = {235, 128, 128};
// The monitor through the optics: the projected picture, the alignment view's frame and
// the room around them, each with its own tint as a colour camera shows them.
constexpr SIM_YUV MONITOR_WHITE = {200, 118, 138};
constexpr SIM_YUV FRAME_BLACK = {56, 134, 124};
constexpr SIM_YUV ROOM = {30, 131, 126};
// The view strokes the rectangle 50 pixels inside the monitor's edges with a 50-pixel pen,
// centred on the outline: dark from 25 to 75 pixels inside every edge.
constexpr double FRAME_INSET = 50.0;
constexpr double FRAME_PEN_WIDTH = 50.0;
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

bool InsideBox(double x, double y, double left, double top, double right, double bottom)
{
    return x >= left && x < right && y >= top && y < bottom;
}

// What the camera sees at a raw camera position: the screen point there, if any, on the
// monitor it watches.
SIM_YUV SeenMonitor(const CSimOptics& optics, double x, double y)
{
    double screenX = 0.0;
    double screenY = 0.0;
    if (!optics.CameraToScreen(x, y, screenX, screenY))
        return ROOM;
    const CALIB_RECT& monitor = optics.Config().monitor;
    const double mx = screenX - monitor.left;
    const double my = screenY - monitor.top;
    const double width = static_cast<double>(monitor.right) - monitor.left;
    const double height = static_cast<double>(monitor.bottom) - monitor.top;
    if (!InsideBox(mx, my, 0.0, 0.0, width, height))
        return ROOM;
    const double outer = FRAME_INSET - FRAME_PEN_WIDTH / 2;
    const double inner = FRAME_INSET + FRAME_PEN_WIDTH / 2;
    const bool inFrame = InsideBox(mx, my, outer, outer, width - outer, height - outer) &&
                         !InsideBox(mx, my, inner, inner, width - inner, height - inner);
    return inFrame ? FRAME_BLACK : MONITOR_WHITE;
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
    if (view.optics)
        return SeenMonitor(*view.optics, x, y);
    return InsideQuad(view.screen, x, y) ? SCREEN : BACKGROUND;
}

std::vector<SIM_YUV> SimRenderPicture(const SIM_VIEW& view, int width, int height)
{
    std::vector<SIM_YUV> picture;
    if (width <= 0 || height <= 0)
        return picture;
    picture.reserve(std::size_t(width) * std::size_t(height));
    const double scaleX = double(SIM_CAMERA_WIDTH) / width;
    const double scaleY = double(SIM_CAMERA_HEIGHT) / height;
    for (int y = 0; y < height; ++y)
    {
        for (int x = 0; x < width; ++x)
            picture.push_back(SimViewPixel(view, (x + 0.5) * scaleX, (y + 0.5) * scaleY));
    }
    return picture;
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
