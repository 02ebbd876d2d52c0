// The calibration report on captures taken through the simulator's optics, for both models: a
// camera placed well, one far away, one aimed so that a corner of the screen reaches the edge of
// its view, and a capture where one target was touched 15 pixels off its centre.

#include "calibration/CalibTables.h"
#include "calibration/CalibratedMapping.h"
#include "calibration/CalibrationReport.h"
#include "core/DriverState.h"
#include "sim/Optics.h"
#include "tests/support/CalibWorld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace
{
// The badly touched target and how far off its centre the pen was, screen pixels.
constexpr double BAD_TOUCH_PX = 15.0;
constexpr int BAD_SIXTEEN_TARGET = 6;
constexpr int BAD_NINE_TARGET = 5;

// The front view moved sideways until the screen's top-left corner lies `edgePx` from the
// side of the camera image it is nearest to.
SIM_OPTICS_CONFIG OffCentreView(double edgePx)
{
    SIM_OPTICS_CONFIG config = MildLensView(0.85);
    for (int round = 0; round < 6; ++round)
    {
        const CSimOptics optics(config);
        double x = 0.0;
        double y = 0.0;
        EXPECT_TRUE(optics.ScreenToCameraExact(0.0, 0.0, x, y));
        // The front mounting shows the top-left corner on the right of the raw image.
        const double shift = (CAMERA_IMAGE_WIDTH - edgePx) - x;
        for (double& cornerX : config.cornerX)
            cornerX -= shift;
    }
    return config;
}

// A capture the way the calibration window takes it: the pen on each target (or `offPx` to the
// right of target `badTarget`), mirrored for the mounting for the sixteen-point model. The
// optics are free of noise, so the mean of the window's samples is the one point they all give.
CALIB_CAPTURE Capture(std::int32_t model, const SIM_OPTICS_CONFIG& config, int badTarget = -1,
                      double offPx = 0.0)
{
    CALIB_CAPTURE capture;
    capture.model = model;
    capture.monitor = config.monitor;
    CSixteenPointCalib sixteen;
    CNinePointCalib nine;
    sixteen.m_rcMonitor = nine.m_rcMonitor = config.monitor;
    sixteen.SetupTargets();
    nine.SetupTargets();
    if (model == CALIB_MODEL_SIXTEEN)
        capture.targets.assign(std::begin(sixteen.m_ptTarget), std::end(sixteen.m_ptTarget));
    else
        capture.targets.assign(std::begin(nine.m_ptTarget), std::end(nine.m_ptTarget));
    CSimOptics optics(config);
    for (std::size_t i = 0; i < capture.targets.size(); ++i)
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
        EXPECT_TRUE(optics.ScreenToCamera(
            capture.targets[i].x + (int(i) == badTarget ? offPx : 0.0), capture.targets[i].y, x, y))
            << "target " << i;
        if (model == CALIB_MODEL_SIXTEEN)
            MirrorCameraPointFor(config.ceilingMount, config.rearProjection, x, y, x, y);
        capture.points.push_back({static_cast<float>(x), static_cast<float>(y)});
    }
    return capture;
}

// Screen pixels per camera pixel in the direction the optics stretch most, the largest over
// the monitor: one screen pixel's step in sixteen directions, measured in the camera through the
// simulator's exact mapping rather than a fit.
double TrueWorstStretch(const SIM_OPTICS_CONFIG& config)
{
    const CSimOptics optics(config);
    double worst = 0.0;
    for (double screenX = 0.0; screenX <= 1024.0; screenX += 32.0)
    {
        for (double screenY = 0.0; screenY <= 768.0; screenY += 32.0)
        {
            for (double angle = 0.0; angle < std::numbers::pi; angle += std::numbers::pi / 16)
            {
                double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
                EXPECT_TRUE(optics.ScreenToCameraExact(screenX, screenY, x0, y0) &&
                            optics.ScreenToCameraExact(screenX + std::cos(angle),
                                                       screenY + std::sin(angle), x1, y1));
                worst = std::max(worst, 1.0 / std::hypot(x1 - x0, y1 - y0));
            }
        }
    }
    return worst;
}

struct REPORT_CASE
{
    const char* name;
    SIM_OPTICS_CONFIG optics;
    std::int32_t model;
    int badTarget;
    std::uint32_t advice;
    // Largest error allowed for a capture without a bad touch. The nine-point model's fixed
    // lens correction does not quite undo the simulator's mild lens: a few pixels remain.
    double worstPx;
};
} // namespace

TEST(CalibReport, JudgesTheSimulatorsStandardSetUpsForBothModels)
{
    const REPORT_CASE cases[] = {
        {"front", MildLensView(0.85), CALIB_MODEL_SIXTEEN, -1, 0, 2.0},
        {"front", MildLensView(0.85), CALIB_MODEL_NINE, -1, 0, 6.0},
        {"far", MildLensView(0.4), CALIB_MODEL_SIXTEEN, -1, REPORT_ADVICE_TOO_SMALL, 3.0},
        {"far", MildLensView(0.4), CALIB_MODEL_NINE, -1, REPORT_ADVICE_TOO_SMALL, 8.0},
        {"off-centre", OffCentreView(2.0), CALIB_MODEL_SIXTEEN, -1, REPORT_ADVICE_AT_EDGE, 5.0},
        {"off-centre", OffCentreView(2.0), CALIB_MODEL_NINE, -1, REPORT_ADVICE_AT_EDGE, 9.0},
        {"bad-touch", MildLensView(0.85), CALIB_MODEL_SIXTEEN, BAD_SIXTEEN_TARGET,
         REPORT_ADVICE_ONE_OFF, 0.0},
        {"bad-touch", MildLensView(0.85), CALIB_MODEL_NINE, BAD_NINE_TARGET, REPORT_ADVICE_ONE_OFF,
         0.0},
        // A corner touched badly, and the middle one.
        {"bad-corner", MildLensView(0.85), CALIB_MODEL_SIXTEEN, 0, REPORT_ADVICE_ONE_OFF, 0.0},
        {"bad-middle", MildLensView(0.85), CALIB_MODEL_NINE, 4, REPORT_ADVICE_ONE_OFF, 0.0},
    };
    for (const REPORT_CASE& c : cases)
    {
        const char* model = c.model == CALIB_MODEL_SIXTEEN ? "sixteen" : "nine";
        SCOPED_TRACE(std::string(c.name) + " " + model);
        const CALIB_REPORT report =
            MakeCalibrationReport(Capture(c.model, c.optics, c.badTarget, BAD_TOUCH_PX));
        ASSERT_TRUE(report.valid);
        std::printf("report %-10s %-7s utilization=%.1f px_per_camera_px=%.2f worst_target=%d "
                    "worst_target_px=%.2f median_px=%.2f advice=%u\n",
                    c.name, model, report.utilization, report.pxPerCameraPx, report.worstTarget + 1,
                    report.worstTargetPx, report.medianPx, report.advice);
        EXPECT_EQ(report.advice, c.advice);
        EXPECT_GT(report.pxPerCameraPx, 1.0);
        if (c.badTarget >= 0)
        {
            EXPECT_EQ(report.worstTarget, c.badTarget);
            EXPECT_NEAR(report.worstTargetPx, BAD_TOUCH_PX, 3.0);
        }
        else
        {
            EXPECT_LT(report.worstTargetPx, c.worstPx);
        }
    }
}
TEST(CalibReport, FarCameraCoversLessAndEachCameraPixelSpansMore)
{
    const CALIB_REPORT front =
        MakeCalibrationReport(Capture(CALIB_MODEL_SIXTEEN, MildLensView(0.85)));
    const CALIB_REPORT far = MakeCalibrationReport(Capture(CALIB_MODEL_SIXTEEN, MildLensView(0.4)));
    ASSERT_TRUE(front.valid && far.valid);
    // The monitor shares the image's 4:3 shape and covers fill x fill of it; the targets span
    // 0.92 x 0.9 of the monitor. The covered share falls with the square of the view's fill,
    // and a camera pixel spans 1024 / (640 x fill) screen pixels or more (the lens and the
    // keystone stretch the far side).
    const double spanned = (984.0 - 40.0) / 1024.0 * (728.0 - 40.0) / 768.0;
    const double expected = 0.85 * 0.85 * spanned * 100.0;
    EXPECT_NEAR(front.utilization, expected, expected * 0.1);
    EXPECT_NEAR(far.utilization / front.utilization, (0.4 * 0.4) / (0.85 * 0.85), 0.05);
    // The fitted model stretches a little more than the optics where it reaches past the
    // targets to the screen's corners, more so for the far camera's coarse pixels; it must never
    // report the camera finer than it is.
    for (const auto& [report, fill] : {std::pair{front, 0.85}, std::pair{far, 0.4}})
    {
        const double stretch = TrueWorstStretch(MildLensView(fill));
        EXPECT_GE(report.pxPerCameraPx, 0.97 * stretch) << fill;
        EXPECT_LE(report.pxPerCameraPx, 1.25 * stretch) << fill;
    }
    const std::string text = FormatCalibrationReport(far);
    EXPECT_NE(text.find("advice=too_small\n"), std::string::npos) << text;
    EXPECT_NE(text.find("worst_target_px="), std::string::npos) << text;
}
