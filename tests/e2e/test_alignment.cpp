// The camera alignment view of the real program, opened from the wizard's alignment page as a
// user does: the frame on the camera's monitor with, in its middle, the picture the simulated
// camera sends of that monitor; OK walks through the cameras, Escape closes.

#include "camera_image/YuvToRgb.h"
#include "core/Messages.h"
#include "resources/resource.h"
#include "sim/Optics.h"
#include "sim/SimImage.h"
#include "tests/wine_support/CalibrationWindow.h"
#include "tests/wine_support/DriverRun.h"

#include <gtest/gtest.h>

#include <memory>

namespace
{
constexpr int PICTURE_WIDTH = 160;
constexpr int PICTURE_HEIGHT = 120;

// The unit's aim, given to the simulator and used here (as the test boards aim) to know what
// it sends.
const char* const AIM = "view 0.8 0.06\nunit 0 lens -0.04\n";

std::vector<std::uint32_t> ExpectedPicture(bool grey)
{
    SIM_VIEW view;
    view.optics = std::make_shared<CSimOptics>(OpticsFor(Monitors(), 1)[0]);
    const std::vector<SIM_YUV> sent = SimRenderPicture(view, PICTURE_WIDTH, PICTURE_HEIGHT);
    std::vector<std::uint32_t> picture;
    for (std::size_t i = 0; i < sent.size(); ++i)
    {
        // Each pair of columns shares the chroma of its right-hand pixel, sent first.
        const SIM_YUV& chroma = sent[i | 1];
        picture.push_back(grey ? RgbColour(sent[i].y, sent[i].y, sent[i].y)
                               : YuvToRgb(sent[i].y, chroma.u, chroma.v));
    }
    return picture;
}

// Pixels of the picture shown in the middle of the view that equal what the camera sent.
int MatchingPixels(HWND view, bool grey)
{
    const RECT area = WindowRect(view);
    const int left = area.left + (area.right - area.left) / 2 - PICTURE_WIDTH / 2;
    const int top = area.top + (area.bottom - area.top) / 2 - PICTURE_HEIGHT / 2;
    const RECT picture{left, top, left + PICTURE_WIDTH, top + PICTURE_HEIGHT};
    const std::vector<std::uint8_t> rgb = CDriverRun::CaptureRgb(picture);
    const std::vector<std::uint32_t> expected = ExpectedPicture(grey);
    int matching = 0;
    for (std::size_t i = 0; i < expected.size() && 3 * i + 2 < rgb.size(); ++i)
        matching +=
            std::uint32_t(rgb[3 * i] | rgb[3 * i + 1] << 8 | rgb[3 * i + 2] << 16) == expected[i];
    return matching;
}

// The black frame 50 pixels inside the view's edges, as thick as its pen.
bool ShowsTheFrame(HWND view)
{
    const RECT area = WindowRect(view);
    const std::vector<std::uint8_t> rgb = CDriverRun::CaptureRgb(area);
    const int width = area.right - area.left;
    auto pixel = [&](int x, int y)
    {
        const std::size_t i = (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 3;
        return rgb[i] | rgb[i + 1] << 8 | rgb[i + 2] << 16;
    };
    const int middleY = (area.bottom - area.top) / 2;
    return pixel(50, middleY) == 0 && pixel(width - 50, middleY) == 0 &&
           pixel(width / 2, 50) == 0 && pixel(10, middleY) == 0xFFFFFF &&
           pixel(90, middleY) == 0xFFFFFF;
}

// Waits until the view shows a whole picture of the camera: one arrives about every second.
bool WaitForPicture(HWND view, bool grey)
{
    return WaitUntil([&] { return MatchingPixels(view, grey) == PICTURE_WIDTH * PICTURE_HEIGHT; },
                     8000);
}

// Whether the view is gone (closed or hidden) within the time.
bool Closes(HWND view)
{
    return WaitUntil([view] { return !IsWindow(view) || !IsWindowVisible(view); }, RUN_WINDOW_MS);
}
} // namespace

TEST(Alignment, ColourCameraShowsItsPictureInTheFrameAndOkClosesTheView)
{
    CDriverRun run("align-colour");
    run.WriteText("SimScenario.txt", std::string("units 1\nunit 0 minor 0x15\nunit 0 ") + AIM);
    HWND wizard = run.StartIntoWizard();
    ASSERT_NE(wizard, nullptr) << "no first-run wizard";
    ASSERT_NE(CDriverRun::PressPageButton(wizard, IDC_ALIGN_HEADING), nullptr);

    HWND view = run.WaitForDialog(IDC_ADJUST_OK, RUN_WINDOW_MS);
    ASSERT_NE(view, nullptr) << "the alignment view did not open";
    EXPECT_TRUE(WaitForPicture(view, false))
        << MatchingPixels(view, false) << " of 19200 pixels as the camera sent them";
    EXPECT_TRUE(ShowsTheFrame(view));
    run.Screenshot("view", view);

    CDriverRun::Click(view, IDC_ADJUST_OK);
    EXPECT_TRUE(Closes(view)) << "one camera: OK closes the view";
    EXPECT_TRUE(run.Exit());
}

TEST(Alignment, TrayWizardAsksFirstAndTwoGreyCamerasAreAlignedOneAfterTheOther)
{
    CDriverRun run("align-two-grey");
    run.WriteText("SimScenario.txt",
                  std::string("units 2\nunit 0 minor 0x16\nunit 1 minor 0x16\nunit 0 ") + AIM);
    // Two cameras keep their settings in the file: a calibrated board starts tracking.
    run.WriteText("Config.ini", "[State]\r\nSave=1\r\nLens Angles=0\r\n");
    ASSERT_TRUE(run.StartUntil("reader"));
    HWND wizard = run.OpenDialog(ID_TRAY_WIZARD, WIZARD_NEXT);
    ASSERT_NE(wizard, nullptr);
    ASSERT_NE(CDriverRun::PressPageButton(wizard, IDC_ALIGN_HEADING), nullptr);
    // From the tray the pen is running: the user is asked first.
    EXPECT_EQ(run.AnswerBox(IDYES), EnglishMessage(L"M3"));

    HWND view = run.WaitForDialog(IDC_ADJUST_OK, RUN_WINDOW_MS);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(WaitForPicture(view, true))
        << MatchingPixels(view, true) << " of 19200 pixels as the camera sent them";
    run.Screenshot("view-grey", view);
    const RECT first = WindowRect(view);

    // OK: camera 0's monitor is stored in its record and the view moves to camera 1's.
    CDriverRun::Click(view, IDC_ADJUST_OK);
    const std::vector<RECT> monitors = Monitors();
    ASSERT_EQ(monitors.size(), 2u) << "the test display must have two screens";
    EXPECT_TRUE(WaitUntil([&] { return UnitOfWindow(view, monitors) == 1; }, RUN_WINDOW_MS));
    EXPECT_EQ(run.DescribeState()["record0"],
              "0_0_0_" + std::to_string(first.right) + "_" + std::to_string(first.bottom));

    // Escape closes the view without confirming camera 1.
    SetForegroundWindow(view);
    PressKey(VK_ESCAPE);
    EXPECT_TRUE(Closes(view));
    // Back on the page, from the tray: tracking runs again.
    EXPECT_TRUE(run.WaitForState("reader", "1", RUN_WINDOW_MS));
    EXPECT_TRUE(run.Exit());
}
