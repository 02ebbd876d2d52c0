#pragma once
// The portable state of the camera alignment view: which camera is shown, the decoder's
// pixel cursor, the off-screen picture the decoder draws into, and the hand-over of
// finished pictures to the window. The Win32 dialog derives from it; g_pAdjustDlg points to
// the open view.
//
// Threads: the device reader draws and presents (DrawImagePacket, PresentFrame and the
// cursor moves); the user-interface thread takes frames and owns the camera fields. The
// cursor belongs to the reader while the image stream runs; the user-interface thread sets
// it only before a reader starts (BeginDrawing).

#include "camera_image/ImageSurface.h"

#include <array>
#include <atomic>
#include <cstdint>

struct MONITOR_AREA;
class CAdjustView;

// Called on the reader thread after each picture is published, e.g. to post a message to
// the window, which then takes the picture.
using PFN_FRAME_READY = void (*)(CAdjustView* view);

// Firmware above 1.15 sends grey pictures, 1.15 and below colour ones.
constexpr double GREY_IMAGE_ABOVE_VERSION = 1.15;
constexpr std::int32_t GreyImageFlag(double firmwareVersion)
{
    return firmwareVersion > GREY_IMAGE_ABOVE_VERSION ? 1 : 0;
}

// The driver state's grey flag: the camera shown sends grey pictures.
bool GreyImageShown();

class CAdjustView
{
public:
    // Where each new line and frame starts: the picture is drawn right to left and bottom
    // to top, so it shows turned by 180 degrees against the order the camera sends it.
    static constexpr std::int32_t LINE_START_COLUMN = 159;
    static constexpr std::int32_t FRAME_START_ROW = 120;
    static constexpr std::int32_t COLOUR_PACKET_PIXELS = 8;
    static constexpr std::int32_t GREY_PACKET_PIXELS = 16;

    CAdjustView() = default;
    virtual ~CAdjustView() = default;
    CAdjustView(const CAdjustView&) = delete;
    CAdjustView& operator=(const CAdjustView&) = delete;

    // Before the first image stream: the cursor lies outside the picture until the first
    // frame start, so colour data before it is not drawn.
    void BeginDrawing();
    // The screen rectangle (left, top, right, bottom) of the camera now shown; zeros
    // without an area table.
    std::array<std::int32_t, 4> CurrentRect() const;

    // Reader thread: one packet's payload at the cursor, then the cursor moves left. Grey
    // payloads are 16 grey values; colour payloads four U, Y0, V, Y1 groups, drawn only
    // while drawing is on and the cursor lies within width x height.
    void DrawImagePacket(const std::uint8_t* packet, std::int32_t width, std::int32_t height);
    // Reader thread, at a frame start: publishes the width x height picture, centred in
    // the camera's monitor rectangle, then calls the hook.
    void PresentFrame(const std::int32_t monitorRect[4], std::int32_t width, std::int32_t height);
    void StartFrame();
    void StartLine();
    // A lost packet leaves its columns as they were.
    void SkipColumns(std::int32_t columns);

    // User-interface thread: the latest picture not yet taken.
    bool TakeFrame(ADJUST_FRAME& frame) { return m_frames.Take(frame); }
    std::uint64_t FramesPublished() const { return m_frames.Published(); }
    const CImageSurface& Surface() const { return m_surface; }

    std::uint16_t m_nLastDevice = 0;
    std::uint16_t m_nCurDevice = 0;
    std::atomic<std::uint8_t> m_bDrawing{0};
    // The device controller's monitor table: entry n is camera n's screen rectangle.
    MONITOR_AREA* m_pAreas = nullptr;
    // Column of the next pixel and row of the current line.
    std::int32_t m_nCursorX = 160;
    std::int32_t m_nCursorY = 120;
    std::atomic<PFN_FRAME_READY> m_pfnFrameReady{nullptr};

private:
    CImageSurface m_surface;
    CFrameSlot m_frames;
};

// The open view, null otherwise. Set before the view starts streaming, cleared after the
// stream has stopped.
extern std::atomic<CAdjustView*> g_pAdjustDlg;
