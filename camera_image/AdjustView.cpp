#include "camera_image/AdjustView.h"

#include "camera_image/YuvToRgb.h"
#include "core/DriverState.h"
#include "device/ScreenAreas.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

std::atomic<CAdjustView*> g_pAdjustDlg{nullptr};

namespace
{
constexpr std::int32_t START_OUTSIDE_X = 640;
constexpr std::int32_t START_OUTSIDE_Y = 480;
constexpr std::size_t PAYLOAD_OFFSET = 2;
constexpr int COLOUR_GROUPS = 4;

// A cursor far outside the surface stops at this distance, where every write is discarded
// anyway, so endless packets without a line start cannot overflow it.
constexpr std::int32_t CURSOR_LIMIT = 1 << 20;

std::int32_t Bounded(std::int32_t cursor)
{
    return std::clamp(cursor, -CURSOR_LIMIT, CURSOR_LIMIT);
}

std::int32_t Narrow(std::int64_t value)
{
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}
} // namespace

bool GreyImageShown()
{
    const CDriverState* state = g_pMainDlg;
    return state != nullptr && state->m_bGreyImage.load(std::memory_order_relaxed) != 0;
}

void CAdjustView::BeginDrawing()
{
    m_nCursorX = START_OUTSIDE_X;
    m_nCursorY = START_OUTSIDE_Y;
    m_bDrawing.store(1, std::memory_order_relaxed);
}

std::array<std::int32_t, 4> CAdjustView::CurrentRect() const
{
    if (m_pAreas == nullptr)
        return {0, 0, 0, 0};
    const std::int32_t* rect = m_pAreas[m_nCurDevice].rect;
    return {rect[0], rect[1], rect[2], rect[3]};
}

void CAdjustView::DrawImagePacket(const std::uint8_t* packet, std::int32_t width,
                                  std::int32_t height)
{
    const std::uint8_t* payload = packet + PAYLOAD_OFFSET;
    const std::int32_t x = Bounded(m_nCursorX);
    const std::int32_t y = m_nCursorY;
    if (GreyImageShown())
    {
        for (std::int32_t i = 0; i < GREY_PACKET_PIXELS; ++i)
            m_surface.SetPixel(x - i, y, RgbColour(payload[i], payload[i], payload[i]));
        m_nCursorX = x - GREY_PACKET_PIXELS;
        return;
    }
    if (m_bDrawing.load(std::memory_order_relaxed) != 1 || m_nCursorX > width || y > height)
        return;
    for (int j = 0; j < COLOUR_GROUPS; ++j)
    {
        const std::uint8_t* group = payload + 4 * j;
        const std::uint8_t u = group[0];
        const std::uint8_t v = group[2];
        m_surface.SetPixel(x - 2 * j, y, YuvToRgb(group[1], u, v));
        m_surface.SetPixel(x - 2 * j - 1, y, YuvToRgb(group[3], u, v));
    }
    m_nCursorX = x - COLOUR_PACKET_PIXELS;
}

void CAdjustView::PresentFrame(const std::int32_t monitorRect[4], std::int32_t width,
                               std::int32_t height)
{
    // Only what the surface holds can be shown; other sizes never come from a camera.
    const std::int32_t shownWidth = std::clamp(width, 0, ADJUST_SURFACE_WIDTH);
    const std::int32_t shownHeight = std::clamp(height, 0, ADJUST_SURFACE_HEIGHT);
    if (shownWidth == 0 || shownHeight == 0)
        return;
    const std::int64_t areaWidth = std::llabs(std::int64_t{monitorRect[2]} - monitorRect[0]);
    const std::int64_t areaHeight = std::llabs(std::int64_t{monitorRect[3]} - monitorRect[1]);
    m_frames.Publish(m_surface, Narrow(areaWidth / 2 - shownWidth / 2),
                     Narrow(areaHeight / 2 - shownHeight / 2), shownWidth, shownHeight);
    if (const PFN_FRAME_READY hook = m_pfnFrameReady.load(std::memory_order_acquire))
        hook(this);
}

void CAdjustView::StartFrame()
{
    m_nCursorX = LINE_START_COLUMN;
    m_nCursorY = FRAME_START_ROW;
}

void CAdjustView::StartLine()
{
    m_nCursorX = LINE_START_COLUMN;
    m_nCursorY = Bounded(m_nCursorY) - 1;
}

void CAdjustView::SkipColumns(std::int32_t columns)
{
    m_nCursorX = Bounded(m_nCursorX) - std::clamp(columns, 0, CURSOR_LIMIT);
}
