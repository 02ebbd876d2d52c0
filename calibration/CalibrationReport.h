#pragma once
// How good one camera's calibration is, judged from its capture alone: how much of the camera's
// view the captured targets span, how coarse one camera pixel is on the screen, how far each
// target lies from where the other targets put it (each target left out of the model in turn),
// and what the user should do about it.

#include "calibration/CalibTypes.h"

#include <cstdint>
#include <string>
#include <vector>

// A finished camera's capture, copied out of the model tables so that the report can be made
// on another thread while the tables move on to the next camera.
struct CALIB_CAPTURE
{
    std::int32_t model = -1;
    std::uint16_t camera = 0;
    CALIB_RECT monitor;
    // Screen targets in the model's index order.
    std::vector<CALIB_POINT> targets;
    // The captured camera points as the model's solver takes them: mirrored for the mounting
    // (sixteen-point model) or raw (nine-point model).
    std::vector<CALIB_POINT_F> points;
};

// Copies camera's capture for the model from the tables. False when the table has no such
// element or the model value is neither of the two models.
[[nodiscard]] bool CopyCapture(std::int32_t model, std::uint16_t camera, CALIB_CAPTURE& capture);

// What the user is told; several may apply, none means all is good.
enum : std::uint32_t
{
    // The screen fills too little of the camera's view: a camera pixel covers much of the
    // screen, so the pointer is coarse and jittery.
    REPORT_ADVICE_TOO_SMALL = 1,
    // A corner of the screen lies at or beyond the edge of the camera's view.
    REPORT_ADVICE_AT_EDGE = 2,
    // One target lies far from where the others put it: touched off its centre, most likely.
    REPORT_ADVICE_ONE_OFF = 4,
};

// Below this share of the camera image the targets span, the screen is too small in the view.
// A camera placed as the set-up guide asks spans 40 % (nine targets) to 60 % (sixteen); one
// twice as far away spans a quarter of that.
constexpr double REPORT_SMALL_UTILIZATION_PERCENT = 25.0;
// A screen corner closer than this to the camera image's border, in camera pixels, is at the
// edge: pens there leave the view or sit in the lens's worst part.
constexpr double REPORT_EDGE_MARGIN_PX = 10.0;
// One target is far off when its error reaches this many screen pixels and leaving it out
// lets the other targets fit much better than leaving out any other does: the root mean
// square of their distances falls to this share of its median over all targets left out.
// A bad touch pulls the whole fit, so its neighbours' errors grow too, and a corner's error
// is an extrapolation; the other targets' fit tells the culprit apart. In the simulator a
// 15-pixel miss gives shares of 0.2 to 0.5, clean captures 0.65 and more.
constexpr double REPORT_ONE_OFF_PX = 8.0;
constexpr double REPORT_ONE_OFF_SHARE = 0.55;

struct CALIB_REPORT
{
    // False when the capture could not be solved (degenerate points): nothing else is set.
    bool valid = false;
    CALIB_CAPTURE capture;
    // Area of the convex hull of the captured camera points over the camera image's, percent.
    double utilization = 0.0;
    // Screen pixels one camera pixel spans where the solved model stretches it most, over the
    // screen's area in the camera's view.
    double pxPerCameraPx = 0.0;
    // Per target: where the model solved without it puts its captured point, and how far that
    // is from the target, in screen pixels.
    std::vector<CALIB_POINT_F> predicted;
    std::vector<double> errors;
    // The target that is far off when there is one (REPORT_ADVICE_ONE_OFF), otherwise the one
    // with the largest error; its error, and the median of the errors.
    int worstTarget = -1;
    double worstTargetPx = 0.0;
    double medianPx = 0.0;
    // The monitor's corners (top-left, top-right, bottom-right, bottom-left) in the camera
    // points' frame, found through the solved model; cornersFound false when it cannot reach
    // one of them.
    CALIB_POINT_F screenCorners[4];
    bool cornersFound = false;
    std::uint32_t advice = 0;
};

CALIB_REPORT MakeCalibrationReport(const CALIB_CAPTURE& capture);

// The report as a short text for a support person: one "key=value" line per figure, then one
// line per target (numbered from 1 in the model's order).
std::string FormatCalibrationReport(const CALIB_REPORT& report);
