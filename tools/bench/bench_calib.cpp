// Accuracy of both calibration models against the simulated optics: for each scenario, capture
// the targets the way the calibration window does, solve, then map a dense grid of screen
// points through the driver's mapping and compare with where the pen really was.

#include "Bench.h"

#include "calibration/CalibTables.h"
#include "calibration/CalibratedMapping.h"
#include "core/DriverState.h"
#include "shell/Driver.h"
#include "sim/Optics.h"
#include "tests/support/FakePlatform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
// The capture averages this many steady samples per target.
constexpr int CAPTURE_SAMPLES = 7;
// Spacing of the evaluation grid, screen pixels.
constexpr int GRID_STEP = 8;
// Solves timed per model; the median is reported.
constexpr int SOLVE_REPEATS = 5;

struct SCENARIO
{
    const char* name;
    std::uint16_t camera;
    CALIB_RECT monitor;
    double fill;
    double keystone;
    double k1;
    double k2;
    std::int32_t ceiling;
    std::int32_t rear;
    double noise;
};

const SCENARIO SCENARIOS[] = {
    {"front1024_mild", 0, {0, 0, 1024, 768}, 0.85, 0.05, -0.05, 0.0, 0, 0, 0.0},
    {"hd1920_barrel", 0, {0, 0, 1920, 1080}, 0.92, 0.05, -0.22, 0.04, 0, 0, 0.0},
    {"ceiling1024", 0, {0, 0, 1024, 768}, 0.85, -0.08, -0.05, 0.0, 1, 0, 0.0},
    {"rear1024", 0, {0, 0, 1024, 768}, 0.85, 0.03, -0.05, 0.0, 0, 1, 0.0},
    {"rear_ceiling1024", 0, {0, 0, 1024, 768}, 0.85, 0.03, -0.05, 0.0, 1, 1, 0.0},
    {"second1920_at1920", 1, {1920, 0, 3840, 1080}, 0.9, 0.05, -0.05, 0.0, 0, 0, 0.0},
    {"front1024_noise1", 0, {0, 0, 1024, 768}, 0.85, 0.05, -0.05, 0.0, 0, 0, 1.0},
    // A lens close to the one the nine-point model's built-in correction undoes.
    {"front1024_lens_matched", 0, {0, 0, 1024, 768}, 0.85, 0.05, -0.10, 0.0, 0, 0, 0.0},
};

struct AREA
{
    double left;
    double top;
    double right;
    double bottom;
};

// The pixel a capture takes for a pen on the target: the integer mean of seven samples.
bool CaptureTarget(CSimOptics& optics, const CALIB_POINT& target, std::int32_t& x, std::int32_t& y)
{
    std::int32_t sumX = 0;
    std::int32_t sumY = 0;
    for (int i = 0; i < CAPTURE_SAMPLES; ++i)
    {
        std::int32_t sx = 0;
        std::int32_t sy = 0;
        if (!optics.ScreenToCamera(target.x, target.y, sx, sy))
            return false;
        sumX += sx;
        sumY += sy;
    }
    x = sumX / CAPTURE_SAMPLES;
    y = sumY / CAPTURE_SAMPLES;
    return true;
}

template <typename T> AREA TargetArea(const T& targets)
{
    AREA area{1e300, 1e300, -1e300, -1e300};
    for (const CALIB_POINT& p : targets)
    {
        area.left = std::min(area.left, static_cast<double>(p.x));
        area.top = std::min(area.top, static_cast<double>(p.y));
        area.right = std::max(area.right, static_cast<double>(p.x));
        area.bottom = std::max(area.bottom, static_cast<double>(p.y));
    }
    return area;
}

struct RESULT
{
    double rms = 0.0;
    double p95 = 0.0;
    double max = 0.0;
    int unmapped = 0;
};

// Screen points every GRID_STEP pixels over the area; each is seen by the camera (noise-free
// integer pixel) and mapped back by `map`; the error is the distance from the true point.
template <typename Map> RESULT Evaluate(CSimOptics& optics, const AREA& area, Map map)
{
    std::vector<double> errors;
    RESULT result;
    double sum = 0.0;
    for (double sy = area.top; sy <= area.bottom; sy += GRID_STEP)
        for (double sx = area.left; sx <= area.right; sx += GRID_STEP)
        {
            std::int32_t cx = 0;
            std::int32_t cy = 0;
            double mx = 0.0;
            double my = 0.0;
            if (!optics.ScreenToCamera(sx, sy, cx, cy) || !map(cx, cy, mx, my))
            {
                ++result.unmapped;
                continue;
            }
            const double e = std::hypot(mx - sx, my - sy);
            errors.push_back(e);
            sum += e * e;
        }
    if (errors.empty())
        return result;
    std::sort(errors.begin(), errors.end());
    result.rms = std::sqrt(sum / static_cast<double>(errors.size()));
    result.p95 = errors[static_cast<std::size_t>(0.95 * static_cast<double>(errors.size() - 1))];
    result.max = errors.back();
    return result;
}

// The driver's live path for camera `camera`.
auto DriverMapping(std::uint16_t camera)
{
    return [camera](std::int32_t cx, std::int32_t cy, double& mx, double& my)
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
        if (!MapCameraPoint(camera, cx, cy, x, y))
            return false;
        mx = x;
        my = y;
        return true;
    };
}

// The best any model could do with the camera's integer pixels and a mapping that truncates
// its result: the optics' own inverse, truncated toward zero.
auto OracleMapping(const CSimOptics& optics)
{
    return [&optics](std::int32_t cx, std::int32_t cy, double& mx, double& my)
    {
        if (!optics.CameraToScreen(cx, cy, mx, my))
            return false;
        mx = std::trunc(mx);
        my = std::trunc(my);
        return true;
    };
}

template <typename Solve> double MedianMicros(Solve solve)
{
    std::vector<double> times;
    for (int i = 0; i < SOLVE_REPEATS; ++i)
    {
        const auto start = std::chrono::steady_clock::now();
        solve();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Print(const SCENARIO& s, const char* model, const char* area, const RESULT& r, double solveUs)
{
    std::printf("calib scenario=%s model=%s area=%s rms_px=%.3f p95_px=%.3f max_px=%.3f "
                "solve_us=%.1f unmapped=%d\n",
                s.name, model, area, r.rms, r.p95, r.max, solveUs, r.unmapped);
}

bool RunScenario(CDriverState& state, const SCENARIO& s)
{
    SIM_OPTICS_CONFIG config;
    config.monitor = s.monitor;
    PlaceCentredView(config, s.fill, s.keystone);
    config.k1 = s.k1;
    config.k2 = s.k2;
    config.ceilingMount = s.ceiling;
    config.rearProjection = s.rear;
    config.noiseSigma = s.noise;
    CSimOptics optics(config);
    if (!optics.IsValid())
        return false;
    // The evaluation measures the solved model; the noise belongs to the captures only.
    SIM_OPTICS_CONFIG quiet = config;
    quiet.noiseSigma = 0.0;
    CSimOptics evaluation(quiet);

    state.m_bCeilingMount = s.ceiling;
    state.m_bRearProjection = s.rear;
    if (!PrepareCalibTargets(s.camera, s.monitor))
        return false;
    const AREA full{static_cast<double>(s.monitor.left), static_cast<double>(s.monitor.top),
                    static_cast<double>(s.monitor.right - 1),
                    static_cast<double>(s.monitor.bottom - 1)};

    // Nine-point: raw pixels, lens-corrected, never mirrored.
    CNinePointCalib& nine = *NinePointCalibAt(s.camera);
    for (int i = 0; i < CNinePointCalib::POINT_COUNT; ++i)
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
        if (!CaptureTarget(optics, nine.m_ptTarget[i], x, y))
            return false;
        nine.m_ptRaw[i] = {x, y};
        std::int32_t cx = 0;
        std::int32_t cy = 0;
        if (!nine.CorrectLens(x, y, cx, cy))
            return false;
        nine.m_ptCorrected[i] = {static_cast<float>(cx), static_cast<float>(cy)};
    }
    bool solved = true;
    const double nineUs = MedianMicros([&] { solved = nine.SolveHomography() && solved; });
    state.m_nCalibModel = CALIB_MODEL_NINE;
    if (solved)
    {
        Print(s, "nine", "inner",
              Evaluate(evaluation, TargetArea(nine.m_ptTarget), DriverMapping(s.camera)), nineUs);
        Print(s, "nine", "full", Evaluate(evaluation, full, DriverMapping(s.camera)), nineUs);
    }
    else
        std::printf("calib scenario=%s model=nine solve=failed\n", s.name);

    // Sixteen-point: mirrored for the mounting as the capture does.
    CSixteenPointCalib& sixteen = *SixteenPointCalibAt(s.camera);
    for (int k = 0; k < CSixteenPointCalib::POINT_COUNT; ++k)
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
        if (!CaptureTarget(optics, sixteen.m_ptTarget[k], x, y))
            return false;
        std::int32_t mx = 0;
        std::int32_t my = 0;
        MirrorCameraPoint(x, y, mx, my);
        sixteen.m_ptCamera[k] = {static_cast<float>(mx), static_cast<float>(my)};
    }
    sixteen.CopyTargetsToFloat();
    solved = true;
    const double sixteenUs = MedianMicros([&] { solved = sixteen.FitModel() && solved; });
    state.m_nCalibModel = CALIB_MODEL_SIXTEEN;
    if (solved)
    {
        Print(s, "sixteen", "inner",
              Evaluate(evaluation, TargetArea(sixteen.m_ptTarget), DriverMapping(s.camera)),
              sixteenUs);
        Print(s, "sixteen", "full", Evaluate(evaluation, full, DriverMapping(s.camera)), sixteenUs);
    }
    else
        std::printf("calib scenario=%s model=sixteen solve=failed\n", s.name);

    Print(s, "oracle", "inner",
          Evaluate(evaluation, TargetArea(sixteen.m_ptTarget), OracleMapping(evaluation)), 0.0);
    Print(s, "oracle", "full", Evaluate(evaluation, full, OracleMapping(evaluation)), 0.0);
    return true;
}

int RunCalib(const std::vector<std::string>&)
{
    CFakePlatform platform;
    platform.SetSingleMonitor(1024, 768);
    CScopedPlatform scope(platform);
    CDriver state;
    CDriverState* previous = g_pMainDlg;
    g_pMainDlg = &state;
    AllocateCalibTables(2);
    int failures = 0;
    for (const SCENARIO& s : SCENARIOS)
        if (!RunScenario(state, s))
        {
            std::printf("calib scenario=%s capture=failed\n", s.name);
            ++failures;
        }
    ReleaseCalibTables();
    g_pMainDlg = previous;
    return failures == 0 ? 0 : 1;
}

const CBenchRegistration registration("calib", "accuracy of both calibration models", RunCalib);
} // namespace
