#pragma once
// The alignment view's off-screen picture and the hand-over of finished pictures from the
// device reader to the user-interface thread. The reader draws into the surface pixel by
// pixel; at each frame start it publishes one copy of the finished picture into the slot,
// and the user-interface thread takes the latest copy. A picture is swapped in whole under
// the slot's lock, so the window is never given a half-drawn frame, and the reader never
// touches a window or a device context.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

constexpr std::int32_t ADJUST_SURFACE_WIDTH = 640;
constexpr std::int32_t ADJUST_SURFACE_HEIGHT = 480;

class CImageSurface
{
public:
    CImageSurface();

    // Writes outside the surface are discarded.
    void SetPixel(std::int32_t x, std::int32_t y, std::uint32_t colour)
    {
        if (static_cast<std::uint32_t>(x) < static_cast<std::uint32_t>(ADJUST_SURFACE_WIDTH) &&
            static_cast<std::uint32_t>(y) < static_cast<std::uint32_t>(ADJUST_SURFACE_HEIGHT))
            m_pixels[Index(x, y)] = colour;
    }
    // Black outside the surface.
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) const;
    // The region (0, 0, width, height) row by row; the size must lie within the surface.
    void CopyTopLeft(std::int32_t width, std::int32_t height,
                     std::vector<std::uint32_t>& pixels) const;

private:
    static std::size_t Index(std::int32_t x, std::int32_t y)
    {
        return static_cast<std::size_t>(y) * ADJUST_SURFACE_WIDTH + static_cast<std::size_t>(x);
    }

    std::vector<std::uint32_t> m_pixels;
};

// One finished picture and where it goes in the view's client area.
struct ADJUST_FRAME
{
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    // Row by row from the top left, colour values R | G << 8 | B << 16.
    std::vector<std::uint32_t> pixels;
    // 1 for the first picture published, counting every one since.
    std::uint64_t sequence = 0;
};

class CFrameSlot
{
public:
    // Reader thread: replaces a picture not yet taken.
    void Publish(const CImageSurface& surface, std::int32_t x, std::int32_t y, std::int32_t width,
                 std::int32_t height);
    // User-interface thread: the latest picture published since the last take; false when
    // none has come.
    bool Take(ADJUST_FRAME& frame);
    std::uint64_t Published() const { return m_nPublished.load(std::memory_order_acquire); }

private:
    std::mutex m_lock;
    ADJUST_FRAME m_frame;
    bool m_bFresh = false;
    // The reader's copy, filled outside the lock and swapped in.
    std::vector<std::uint32_t> m_staging;
    std::atomic<std::uint64_t> m_nPublished{0};
};
