#include "calibration/CalibrationReport.h"

#include "calibration/CalibTables.h"
#include "core/DriverState.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace
{
// Sample points per side of the screen's area in the camera view, where the stretch of the
// model is measured.
constexpr int STRETCH_SAMPLES = 21;
// Half the step of the numerical derivatives, camera pixels.
constexpr double DERIVATIVE_STEP = 0.5;
// Finding where a screen corner lies in the camera view.
constexpr int CORNER_ROUNDS = 30;
constexpr double CORNER_TOLERANCE_PX = 0.01;

// One model solved from a capture, perhaps without one of its targets.
class CSolvedModel
{
public:
    bool Solve(const CALIB_CAPTURE& capture, int leftOut)
    {
        m_nModel = capture.model;
        if (m_nModel == CALIB_MODEL_SIXTEEN)
        {
            m_sixteen.m_rcMonitor = capture.monitor;
            for (int k = 0; k < CSixteenPointCalib::POINT_COUNT; ++k)
            {
                m_sixteen.m_ptTarget[k] = capture.targets[std::size_t(k)];
                m_sixteen.m_ptCamera[k] = capture.points[std::size_t(k)];
            }
            m_sixteen.CopyTargetsToFloat();
            m_sixteen.m_nLeftOut = leftOut;
            return m_sixteen.FitModel();
        }
        m_nine.m_rcMonitor = capture.monitor;
        m_nine.SetLensConstants();
        for (int i = 0; i < CNinePointCalib::POINT_COUNT; ++i)
        {
            const CALIB_POINT_F& point = capture.points[std::size_t(i)];
            const CALIB_POINT raw{static_cast<std::int32_t>(point.x),
                                  static_cast<std::int32_t>(point.y)};
            m_nine.m_ptTarget[i] = capture.targets[std::size_t(i)];
            m_nine.m_ptRaw[i] = raw;
            std::int32_t x = raw.x;
            std::int32_t y = raw.y;
            (void)m_nine.CorrectLens(raw.x, raw.y, x, y);
            m_nine.m_ptCorrected[i] = {static_cast<float>(x), static_cast<float>(y)};
        }
        m_nine.m_nLeftOut = leftOut;
        return m_nine.SolveHomography();
    }

    // Where the model puts captured point `index`, seen the way the driver sees a live point
    // (the nine-point model takes the lens-corrected point in whole pixels), unrounded.
    bool MapCaptured(int index, double& screenX, double& screenY) const
    {
        if (m_nModel == CALIB_MODEL_SIXTEEN)
            return m_sixteen.MapExact(m_sixteen.m_ptCamera[index].x, m_sixteen.m_ptCamera[index].y,
                                      screenX, screenY);
        return Homography(m_nine.m_ptCorrected[index].x, m_nine.m_ptCorrected[index].y, screenX,
                          screenY);
    }

    // The model at any camera position, without rounding.
    bool Map(double x, double y, double& screenX, double& screenY) const
    {
        if (m_nModel == CALIB_MODEL_SIXTEEN)
            return m_sixteen.MapExact(x, y, screenX, screenY);
        double cx = 0.0;
        double cy = 0.0;
        return m_nine.CorrectLensExact(x, y, cx, cy) && Homography(cx, cy, screenX, screenY);
    }

    // Screen pixels per camera pixel at a camera position, in the direction the model
    // stretches most: the larger singular value of its derivative there.
    bool Stretch(double x, double y, double& stretch) const
    {
        double right[2], left[2], down[2], up[2];
        if (!Map(x + DERIVATIVE_STEP, y, right[0], right[1]) ||
            !Map(x - DERIVATIVE_STEP, y, left[0], left[1]) ||
            !Map(x, y + DERIVATIVE_STEP, down[0], down[1]) ||
            !Map(x, y - DERIVATIVE_STEP, up[0], up[1]))
            return false;
        const double a = (right[0] - left[0]) / (2.0 * DERIVATIVE_STEP);
        const double b = (down[0] - up[0]) / (2.0 * DERIVATIVE_STEP);
        const double c = (right[1] - left[1]) / (2.0 * DERIVATIVE_STEP);
        const double d = (down[1] - up[1]) / (2.0 * DERIVATIVE_STEP);
        const double sum = a * a + b * b + c * c + d * d;
        const double det = a * d - b * c;
        stretch = std::sqrt(0.5 * (sum + std::sqrt(std::max(0.0, sum * sum - 4.0 * det * det))));
        return std::isfinite(stretch);
    }

    // The camera position the model sends to a screen point, by Newton's method from a start
    // nearby.
    bool Invert(double screenX, double screenY, double& x, double& y) const
    {
        for (int round = 0; round < CORNER_ROUNDS; ++round)
        {
            double sx = 0.0, sy = 0.0, rx = 0.0, ry = 0.0, dx = 0.0, dy = 0.0;
            if (!Map(x, y, sx, sy) || !Map(x + DERIVATIVE_STEP, y, rx, ry) ||
                !Map(x, y + DERIVATIVE_STEP, dx, dy))
                return false;
            const double ex = screenX - sx;
            const double ey = screenY - sy;
            if (std::hypot(ex, ey) < CORNER_TOLERANCE_PX)
                return true;
            const double a = (rx - sx) / DERIVATIVE_STEP;
            const double b = (dx - sx) / DERIVATIVE_STEP;
            const double c = (ry - sy) / DERIVATIVE_STEP;
            const double d = (dy - sy) / DERIVATIVE_STEP;
            const double det = a * d - b * c;
            if (det == 0.0 || !std::isfinite(det))
                return false;
            x += (d * ex - b * ey) / det;
            y += (a * ey - c * ex) / det;
        }
        return false;
    }

private:
    bool Homography(double x, double y, double& screenX, double& screenY) const
    {
        const double* h = m_nine.m_dH;
        const double w = h[6] * x + h[7] * y + h[8];
        if (w == 0.0)
            return false;
        screenX = (h[0] * x + h[1] * y + h[2]) / w;
        screenY = (h[3] * x + h[4] * y + h[5]) / w;
        return std::isfinite(screenX) && std::isfinite(screenY);
    }

    std::int32_t m_nModel = -1;
    CNinePointCalib m_nine;
    CSixteenPointCalib m_sixteen;
};

double Cross(const CALIB_POINT_F& o, const CALIB_POINT_F& a, const CALIB_POINT_F& b)
{
    return (double(a.x) - o.x) * (double(b.y) - o.y) - (double(a.y) - o.y) * (double(b.x) - o.x);
}

// Area of the convex hull of the points (monotone chain, then the shoelace formula).
double HullArea(std::vector<CALIB_POINT_F> points)
{
    std::sort(points.begin(), points.end(),
              [](const CALIB_POINT_F& a, const CALIB_POINT_F& b)
              { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    if (points.size() < 3)
        return 0.0;
    std::vector<CALIB_POINT_F> hull(2 * points.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < points.size(); ++i)
    {
        while (k >= 2 && Cross(hull[k - 2], hull[k - 1], points[i]) <= 0.0)
            --k;
        hull[k++] = points[i];
    }
    for (std::size_t i = points.size() - 1, lower = k + 1; i > 0; --i)
    {
        while (k >= lower && Cross(hull[k - 2], hull[k - 1], points[i - 1]) <= 0.0)
            --k;
        hull[k++] = points[i - 1];
    }
    double twice = 0.0;
    for (std::size_t i = 0; i + 1 < k; ++i)
        twice += double(hull[i].x) * hull[i + 1].y - double(hull[i + 1].x) * hull[i].y;
    return std::abs(twice) / 2.0;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : 0.5 * (values[middle - 1] + values[middle]);
}

std::size_t PointCount(std::int32_t model)
{
    if (model == CALIB_MODEL_SIXTEEN)
        return CSixteenPointCalib::POINT_COUNT;
    if (model == CALIB_MODEL_NINE)
        return CNinePointCalib::POINT_COUNT;
    return 0;
}

void FindCorners(const CSolvedModel& model, CALIB_REPORT& report)
{
    const CALIB_CAPTURE& capture = report.capture;
    const CALIB_RECT& m = capture.monitor;
    const double corners[4][2] = {{double(m.left), double(m.top)},
                                  {double(m.right), double(m.top)},
                                  {double(m.right), double(m.bottom)},
                                  {double(m.left), double(m.bottom)}};
    report.cornersFound = true;
    for (int c = 0; c < 4; ++c)
    {
        // Start from the captured point of the target nearest the corner.
        std::size_t nearest = 0;
        double best = 1e300;
        for (std::size_t i = 0; i < capture.targets.size(); ++i)
        {
            const double d = std::hypot(capture.targets[i].x - corners[c][0],
                                        capture.targets[i].y - corners[c][1]);
            if (d < best)
            {
                best = d;
                nearest = i;
            }
        }
        double x = capture.points[nearest].x;
        double y = capture.points[nearest].y;
        if (!model.Invert(corners[c][0], corners[c][1], x, y))
        {
            report.cornersFound = false;
            return;
        }
        report.screenCorners[c] = {static_cast<float>(x), static_cast<float>(y)};
    }
}

// The largest stretch over the screen's area in the camera view: the quadrilateral of its
// corners when they were found, otherwise the captured points themselves.
double WorstStretch(const CSolvedModel& model, const CALIB_REPORT& report)
{
    double worst = 0.0;
    double stretch = 0.0;
    if (!report.cornersFound)
    {
        for (const CALIB_POINT_F& p : report.capture.points)
            if (model.Stretch(p.x, p.y, stretch))
                worst = std::max(worst, stretch);
        return worst;
    }
    const CALIB_POINT_F* q = report.screenCorners;
    for (int i = 0; i < STRETCH_SAMPLES; ++i)
    {
        const double u = double(i) / (STRETCH_SAMPLES - 1);
        for (int j = 0; j < STRETCH_SAMPLES; ++j)
        {
            const double v = double(j) / (STRETCH_SAMPLES - 1);
            const double x =
                (1 - v) * ((1 - u) * q[0].x + u * q[1].x) + v * ((1 - u) * q[3].x + u * q[2].x);
            const double y =
                (1 - v) * ((1 - u) * q[0].y + u * q[1].y) + v * ((1 - u) * q[3].y + u * q[2].y);
            if (model.Stretch(x, y, stretch))
                worst = std::max(worst, stretch);
        }
    }
    return worst;
}

bool AtEdge(const CALIB_REPORT& report)
{
    // A corner the model cannot place lies far outside what the capture saw.
    if (!report.cornersFound)
        return true;
    for (const CALIB_POINT_F& corner : report.screenCorners)
    {
        if (corner.x < REPORT_EDGE_MARGIN_PX || corner.y < REPORT_EDGE_MARGIN_PX ||
            corner.x > CAMERA_IMAGE_WIDTH - REPORT_EDGE_MARGIN_PX ||
            corner.y > CAMERA_IMAGE_HEIGHT - REPORT_EDGE_MARGIN_PX)
            return true;
    }
    return false;
}
} // namespace

bool CopyCapture(std::int32_t model, std::uint16_t camera, CALIB_CAPTURE& capture)
{
    capture = CALIB_CAPTURE{};
    capture.model = model;
    capture.camera = camera;
    if (model == CALIB_MODEL_SIXTEEN)
    {
        const CSixteenPointCalib* element = SixteenPointCalibAt(camera);
        if (element == nullptr)
            return false;
        capture.monitor = element->m_rcMonitor;
        capture.targets.assign(std::begin(element->m_ptTarget), std::end(element->m_ptTarget));
        capture.points.assign(std::begin(element->m_ptCamera), std::end(element->m_ptCamera));
        return true;
    }
    if (model == CALIB_MODEL_NINE)
    {
        const CNinePointCalib* element = NinePointCalibAt(camera);
        if (element == nullptr)
            return false;
        capture.monitor = element->m_rcMonitor;
        capture.targets.assign(std::begin(element->m_ptTarget), std::end(element->m_ptTarget));
        for (const CALIB_POINT& raw : element->m_ptRaw)
            capture.points.push_back({static_cast<float>(raw.x), static_cast<float>(raw.y)});
        return true;
    }
    return false;
}

CALIB_REPORT MakeCalibrationReport(const CALIB_CAPTURE& capture)
{
    CALIB_REPORT report;
    report.capture = capture;
    const std::size_t count = PointCount(capture.model);
    if (count == 0 || capture.targets.size() != count || capture.points.size() != count)
        return report;
    CSolvedModel whole;
    if (!whole.Solve(capture, -1))
        return report;

    report.utilization =
        100.0 * HullArea(capture.points) / (double(CAMERA_IMAGE_WIDTH) * CAMERA_IMAGE_HEIGHT);
    FindCorners(whole, report);
    report.pxPerCameraPx = WorstStretch(whole, report);

    // How well the other targets fit each model solved without one of them.
    std::vector<double> othersRms;
    for (std::size_t i = 0; i < count; ++i)
    {
        CSolvedModel without;
        double x = 0.0;
        double y = 0.0;
        // Without one target the rest may be degenerate; the capture then has no report.
        if (!without.Solve(capture, int(i)) || !without.MapCaptured(int(i), x, y))
            return report;
        report.predicted.push_back({static_cast<float>(x), static_cast<float>(y)});
        report.errors.push_back(std::hypot(x - capture.targets[i].x, y - capture.targets[i].y));
        double sum = 0.0;
        for (std::size_t j = 0; j < count; ++j)
        {
            double ox = 0.0;
            double oy = 0.0;
            if (j == i || !without.MapCaptured(int(j), ox, oy))
                continue;
            sum += (ox - capture.targets[j].x) * (ox - capture.targets[j].x) +
                   (oy - capture.targets[j].y) * (oy - capture.targets[j].y);
        }
        othersRms.push_back(std::sqrt(sum / double(count - 1)));
    }
    report.medianPx = Median(report.errors);
    const int bestLeftOut =
        int(std::min_element(othersRms.begin(), othersRms.end()) - othersRms.begin());
    const bool oneOff =
        report.errors[std::size_t(bestLeftOut)] >= REPORT_ONE_OFF_PX &&
        othersRms[std::size_t(bestLeftOut)] <= REPORT_ONE_OFF_SHARE * Median(othersRms);
    report.worstTarget = oneOff ? bestLeftOut
                                : int(std::max_element(report.errors.begin(), report.errors.end()) -
                                      report.errors.begin());
    report.worstTargetPx = report.errors[std::size_t(report.worstTarget)];

    if (report.utilization < REPORT_SMALL_UTILIZATION_PERCENT)
        report.advice |= REPORT_ADVICE_TOO_SMALL;
    if (AtEdge(report))
        report.advice |= REPORT_ADVICE_AT_EDGE;
    if (oneOff)
        report.advice |= REPORT_ADVICE_ONE_OFF;
    report.valid = true;
    return report;
}

std::string FormatCalibrationReport(const CALIB_REPORT& report)
{
    const CALIB_CAPTURE& capture = report.capture;
    std::string text;
    char line[256];
    const auto add = [&](const char* format, auto... values)
    {
        std::snprintf(line, sizeof line, format, values...);
        text += line;
    };
    add("camera=%u\n", unsigned(capture.camera));
    add("model=%s\n", capture.model == CALIB_MODEL_SIXTEEN ? "sixteen-point"
                      : capture.model == CALIB_MODEL_NINE  ? "nine-point"
                                                           : "none");
    add("monitor=%d,%d,%d,%d\n", capture.monitor.left, capture.monitor.top, capture.monitor.right,
        capture.monitor.bottom);
    if (!report.valid)
    {
        text += "valid=0\n";
        return text;
    }
    add("utilization=%.1f\n", report.utilization);
    add("px_per_camera_px=%.2f\n", report.pxPerCameraPx);
    add("worst_target=%d\n", report.worstTarget + 1);
    add("worst_target_px=%.2f\n", report.worstTargetPx);
    add("median_px=%.2f\n", report.medianPx);
    std::string advice;
    const std::pair<std::uint32_t, const char*> names[] = {{REPORT_ADVICE_TOO_SMALL, "too_small"},
                                                           {REPORT_ADVICE_AT_EDGE, "at_edge"},
                                                           {REPORT_ADVICE_ONE_OFF, "one_off"}};
    for (const auto& [bit, name] : names)
        if ((report.advice & bit) != 0)
            advice += (advice.empty() ? "" : ",") + std::string(name);
    add("advice=%s\n", advice.empty() ? "all_good" : advice.c_str());
    if (report.cornersFound)
    {
        const CALIB_POINT_F* c = report.screenCorners;
        add("screen_in_camera=%.1f,%.1f %.1f,%.1f %.1f,%.1f %.1f,%.1f\n", c[0].x, c[0].y, c[1].x,
            c[1].y, c[2].x, c[2].y, c[3].x, c[3].y);
    }
    for (std::size_t i = 0; i < report.errors.size(); ++i)
        add("target %zu screen %d,%d camera %.1f,%.1f error_px %.2f\n", i + 1, capture.targets[i].x,
            capture.targets[i].y, capture.points[i].x, capture.points[i].y, report.errors[i]);
    return text;
}
