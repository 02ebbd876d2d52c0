#pragma once
// The synthetic picture a simulated unit sends while its image stream is on, cut into
// 19-byte image packets: a frame-start packet ('3'), then per line a line-start packet
// ('4', sequence 1) and data packets numbered 2, 3, ... (wrapping after 19 to 0). Colour
// payloads are four U, Y0, V, Y1 groups (8 pixels), grey payloads 16 grey values.
//
// The receiving side draws each line right to left and the lines bottom to top, so the
// unit sends its picture turned by 180 degrees: the drawn picture then shows camera pixel
// (x, y) at (x * width / 640, y * height / 480), the same way round as the spot reports.
//
// What the picture shows: either a plain quadrilateral for the projected screen, or, when
// the unit has optics, its monitor seen through them (view, lens, mounting): the projected
// picture bright, with the black frame that the alignment view draws 50 pixels inside the
// monitor's edges. A camera aimed badly shows only the part of the monitor on its sensor.

#include "sim/Optics.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

constexpr int SIM_MAX_PENS = 4;
constexpr int SIM_CAMERA_WIDTH = 640;
constexpr int SIM_CAMERA_HEIGHT = 480;
constexpr std::size_t SIM_IMAGE_PACKET_LENGTH = 19;
constexpr std::size_t SIM_IMAGE_PAYLOAD = 16;

constexpr std::uint8_t SIM_IMAGE_TYPE_FRAME = 0x33; // '3'
constexpr std::uint8_t SIM_IMAGE_TYPE_LINE = 0x34;  // '4'

// One pen as the unit sees it, in camera pixels.
struct SIM_PEN
{
    bool down = false;
    double x = 0.0;
    double y = 0.0;
    std::uint32_t weight = 0;
};

struct SIM_YUV
{
    std::uint8_t y = 0;
    std::uint8_t u = 128;
    std::uint8_t v = 128;
};

// What the camera looks at: the projected screen as a quadrilateral in camera pixels, or
// the monitor through the optics when they are set, and the pens.
struct SIM_VIEW
{
    std::array<double, 8> screen = {64, 48, 576, 48, 576, 432, 64, 432};
    std::shared_ptr<const CSimOptics> optics;
    std::array<SIM_PEN, SIM_MAX_PENS> pens{};
};

// The colour of camera pixel (x, y).
SIM_YUV SimViewPixel(const SIM_VIEW& view, double x, double y);

// The picture as the receiving side draws it, row by row from the top left: pixel (x, y)
// shows the camera at ((x + 0.5) * 640 / width, (y + 0.5) * 480 / height). Colour pictures
// lose half their chroma on the wire (each pair of pixels shares one U and V).
std::vector<SIM_YUV> SimRenderPicture(const SIM_VIEW& view, int width, int height);

using SIM_IMAGE_PACKET = std::array<std::uint8_t, SIM_IMAGE_PACKET_LENGTH>;

class CSimImageStream
{
public:
    // Starts over at a frame start with the given size (one of 640x480, 320x240, 160x120).
    void Restart(int width, int height, bool grey);
    // Builds the next packet of the stream; true when it starts a new frame.
    bool Next(const SIM_VIEW& view, SIM_IMAGE_PACKET& packet);

    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    bool IsGrey() const { return m_bGrey; }
    int PacketsPerLine() const;

private:
    void FillPayload(const SIM_VIEW& view, int line, int firstColumn, SIM_IMAGE_PACKET& packet);

    int m_nWidth = 160;
    int m_nHeight = 120;
    bool m_bGrey = false;
    int m_nLine = -1; // -1: the frame-start packet comes next
    int m_nPacket = 0;
};
