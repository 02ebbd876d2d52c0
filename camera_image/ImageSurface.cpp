#include "camera_image/ImageSurface.h"

#include <algorithm>

CImageSurface::CImageSurface()
    : m_pixels(static_cast<std::size_t>(ADJUST_SURFACE_WIDTH) * ADJUST_SURFACE_HEIGHT, 0)
{
}

std::uint32_t CImageSurface::Pixel(std::int32_t x, std::int32_t y) const
{
    if (x < 0 || x >= ADJUST_SURFACE_WIDTH || y < 0 || y >= ADJUST_SURFACE_HEIGHT)
        return 0;
    return m_pixels[Index(x, y)];
}

void CImageSurface::CopyTopLeft(std::int32_t width, std::int32_t height,
                                std::vector<std::uint32_t>& pixels) const
{
    pixels.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::int32_t row = 0; row < height; ++row)
    {
        const auto from = m_pixels.begin() + static_cast<std::ptrdiff_t>(Index(0, row));
        std::copy(from, from + width, pixels.begin() + static_cast<std::ptrdiff_t>(row) * width);
    }
}

void CFrameSlot::Publish(const CImageSurface& surface, std::int32_t x, std::int32_t y,
                         std::int32_t width, std::int32_t height)
{
    surface.CopyTopLeft(width, height, m_staging);
    const std::uint64_t sequence = m_nPublished.load(std::memory_order_relaxed) + 1;
    {
        std::lock_guard guard(m_lock);
        m_frame.pixels.swap(m_staging);
        m_frame.x = x;
        m_frame.y = y;
        m_frame.width = width;
        m_frame.height = height;
        m_frame.sequence = sequence;
        m_bFresh = true;
    }
    m_nPublished.store(sequence, std::memory_order_release);
}

bool CFrameSlot::Take(ADJUST_FRAME& frame)
{
    std::lock_guard guard(m_lock);
    if (!m_bFresh)
        return false;
    frame.pixels.swap(m_frame.pixels);
    frame.x = m_frame.x;
    frame.y = m_frame.y;
    frame.width = m_frame.width;
    frame.height = m_frame.height;
    frame.sequence = m_frame.sequence;
    m_bFresh = false;
    return true;
}
