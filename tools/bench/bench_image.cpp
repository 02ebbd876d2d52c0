// The image decoder's cost per received byte: OnImageByte with the stall watch, packet
// reassembly, drawing into the view's surface and the hand-over of every finished picture,
// over a simulated camera's colour (YUV 4:2:2) and grey frames of 160 x 120 showing its
// monitor. A byte takes 1 / 46080 s on the wire (460800 baud, 10 bits), so wire_ratio says
// how many times faster than the wire the decoder runs.

#include "Bench.h"
#include "device/StallWatch.h"

#include "camera_image/AdjustView.h"
#include "camera_image/ImageDecoder.h"
#include "device/CalReceiveState.h"
#include "sim/SimImage.h"
#include "tests/support/PenTestKit.h"
#include "tracking/PenEventDriver.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace
{
constexpr double WIRE_NS_PER_BYTE = 1e9 / 46080.0;
constexpr int IMAGE_WIDTH = 160;
constexpr int IMAGE_HEIGHT = 120;

std::uint64_t g_nFramesShown = 0;

// A few whole frames as the unit sends them, pens included.
std::vector<std::uint8_t> Frames(bool grey, int frames)
{
    SIM_VIEW view;
    SIM_OPTICS_CONFIG optics;
    PlaceCentredView(optics, 0.8, 0.06);
    optics.k1 = -0.04;
    view.optics = std::make_shared<const CSimOptics>(optics);
    view.pens[0] = SIM_PEN{true, 300.0, 200.0, 1000};
    CSimImageStream stream;
    stream.Restart(IMAGE_WIDTH, IMAGE_HEIGHT, grey);
    const int packets = frames * (1 + IMAGE_HEIGHT * stream.PacketsPerLine());
    std::vector<std::uint8_t> bytes;
    for (int n = 0; n < packets; ++n)
    {
        SIM_IMAGE_PACKET packet;
        stream.Next(view, packet);
        bytes.insert(bytes.end(), packet.begin(), packet.end());
    }
    return bytes;
}

int RunForm(const char* form, bool grey)
{
    CPenWorld world(PEN_WORLD_OPTIONS{1, grey ? 1.16 : 1.15});
    world.m_state.m_bGreyImage = GreyImageFlag(grey ? 1.16 : 1.15);
    ResetStallWatch();
    ResetCalReceiveState();
    auto view = std::make_unique<CAdjustView>();
    view->BeginDrawing();
    g_nFramesShown = 0;
    view->m_pfnFrameReady = [](CAdjustView* shown)
    {
        ADJUST_FRAME frame;
        g_nFramesShown += shown->TakeFrame(frame) ? 1 : 0;
    };
    g_pAdjustDlg = view.get();

    CAMERA_RECORD record;
    record.imageWidth = IMAGE_WIDTH;
    record.imageHeight = IMAGE_HEIGHT;
    record.monitorRect[2] = 1024;
    record.monitorRect[3] = 768;
    // One record per byte value: the reader's read lands long before its copy is handed
    // over, so the copy here must not come straight after a store into the record either.
    std::vector<CAMERA_RECORD> records(256, record);
    for (std::uint32_t b = 0; b < records.size(); ++b)
        records[b].rxByte = b;
    const std::vector<std::uint8_t> stream = Frames(grey, 4);

    // The cost is the processor time the decoder takes: on a machine shared with other work
    // the wall clock also counts the time the benchmark waits for a processor.
    using Clock = std::chrono::steady_clock;
    std::uint64_t bytes = 0;
    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    auto elapsed = Clock::duration::zero();
    while (elapsed < std::chrono::milliseconds(800))
    {
        for (std::uint8_t byte : stream)
            OnImageByte(records[byte]);
        bytes += stream.size();
        elapsed = Clock::now() - start;
    }
    const std::clock_t cpuEnd = std::clock();
    g_pAdjustDlg = nullptr;
    const double cpuNs = 1e9 * static_cast<double>(cpuEnd - cpuStart) / CLOCKS_PER_SEC;
    const double wallNs =
        static_cast<double>(std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count());
    const double nsPerByte = cpuNs / static_cast<double>(bytes);
    std::printf("image form=%s ns_per_byte=%.2f wire_ratio=%.0f wall_ns_per_byte=%.2f bytes=%llu "
                "frames_shown=%llu\n",
                form, nsPerByte, WIRE_NS_PER_BYTE / nsPerByte, wallNs / static_cast<double>(bytes),
                static_cast<unsigned long long>(bytes),
                static_cast<unsigned long long>(g_nFramesShown));
    return g_nFramesShown > 0 ? 0 : 1;
}

int RunImage(const std::vector<std::string>&)
{
    int result = RunForm("colour", false);
    result |= RunForm("grey", true);
    return result;
}

CBenchRegistration g_registration("image", "cost per byte of the image decoder, colour and grey",
                                  RunImage);
} // namespace
