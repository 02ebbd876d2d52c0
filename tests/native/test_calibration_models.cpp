// The two calibration models: target layouts, the fixed lens correction, the homography solve,
// the distortion fit and its steps, the per-camera tables and the rebuild from stored points.

#include "calibration/CalibTables.h"
#include "calibration/CalibratedMapping.h"
#include "core/DriverState.h"
#include "sim/Optics.h"
#include "tests/support/CalibWorld.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace
{
// Mapped values whose fraction lies this close to one half may round either way.
constexpr double ROUNDING_TIE_MARGIN = 1e-3;

const CALIB_RECT PRIMARY_1024{0, 0, 1024, 768};

// Fills a sixteen-point model's camera points from the optics, mirrored as the capture does.
void CaptureSixteen(CSixteenPointCalib& model, CSimOptics& optics)
{
    for (int k = 0; k < CSixteenPointCalib::POINT_COUNT; ++k)
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
        ASSERT_TRUE(optics.ScreenToCamera(model.m_ptTarget[k].x, model.m_ptTarget[k].y, x, y));
        MirrorCameraPointFor(optics.Config().ceilingMount, optics.Config().rearProjection, x, y, x,
                             y);
        model.m_ptCamera[k] = {static_cast<float>(x), static_cast<float>(y)};
    }
    model.CopyTargetsToFloat();
}
} // namespace

// The margins of a monitor right of the primary come from its right coordinate, not its width.
TEST(CalibLayout, MonitorRightOfPrimaryGetsMarginsFromItsRightEdge)
{
    CSixteenPointCalib sixteen;
    sixteen.m_rcMonitor = {1024, 0, 2048, 768};
    sixteen.SetupTargets();
    const int columns[4] = {1104, 1392, 1680, 1968};
    for (int column = 0; column < 4; ++column)
    {
        EXPECT_EQ(sixteen.m_ptTarget[column].x, columns[column]);
        EXPECT_EQ(sixteen.m_ptTarget[12 + column].y, 728);
    }
}

TEST(CalibLens, RefusesWithoutConstantsAndBeyondThePixelRange)
{
    CNinePointCalib model;
    std::int32_t x = 7;
    std::int32_t y = 9;
    EXPECT_FALSE(model.CorrectLens(320, 240, x, y));
    model.SetLensConstants();
    EXPECT_FALSE(model.CorrectLens(std::numeric_limits<std::int32_t>::max(),
                                   std::numeric_limits<std::int32_t>::min(), x, y));
    EXPECT_EQ(x, 7);
    EXPECT_EQ(y, 9);
}

namespace
{
// A camera-to-screen homography with perspective, as a camera looking at the board at an angle.
Eigen::Matrix3d KnownHomography()
{
    Eigen::Matrix3d h;
    h << 1.9, 0.08, -95.0, -0.05, 1.85, -70.0, 0.00012, -0.00009, 1.0;
    return h;
}

Eigen::Vector2d Apply(const Eigen::Matrix3d& h, double x, double y)
{
    const Eigen::Vector3d p = h * Eigen::Vector3d(x, y, 1.0);
    return {p(0) / p(2), p(1) / p(2)};
}

// Nine targets on 1024 x 768 and the camera points the known homography sends onto them.
void FillExactPairs(CNinePointCalib& model)
{
    model.m_rcMonitor = PRIMARY_1024;
    model.SetupTargets();
    const Eigen::Matrix3d inverse = KnownHomography().inverse();
    for (int i = 0; i < 9; ++i)
    {
        const Eigen::Vector2d c = Apply(inverse, model.m_ptTarget[i].x, model.m_ptTarget[i].y);
        model.m_ptCorrected[i] = {static_cast<float>(c(0)), static_cast<float>(c(1))};
    }
}

// ApplyHomography on integer camera points agrees with the known homography, 0.5 added and
// truncated.
void ExpectRoundsLikeKnownHomography(const CNinePointCalib& model)
{
    const Eigen::Matrix3d known = KnownHomography();
    int compared = 0;
    for (int y = 40; y <= 440; y += 50)
        for (int x = 40; x <= 600; x += 56)
        {
            const Eigen::Vector2d t = Apply(known, x, y);
            const double fx = t(0) - std::floor(t(0));
            const double fy = t(1) - std::floor(t(1));
            if (std::abs(fx - 0.5) < ROUNDING_TIE_MARGIN ||
                std::abs(fy - 0.5) < ROUNDING_TIE_MARGIN)
                continue;
            std::int32_t sx = 0;
            std::int32_t sy = 0;
            ASSERT_TRUE(model.ApplyHomography(x, y, sx, sy));
            EXPECT_EQ(sx, static_cast<std::int32_t>(std::trunc(t(0) + 0.5))) << x << "," << y;
            EXPECT_EQ(sy, static_cast<std::int32_t>(std::trunc(t(1) + 0.5))) << x << "," << y;
            ++compared;
        }
    EXPECT_GT(compared, 80);
}
} // namespace

// Exact pairs give back the homography whichever sign the eigenvector has; degenerate ones
// leave it in force.
TEST(CalibHomography, ExactPairsGiveBackTheHomographyAndDegenerateOnesLeaveItInForce)
{
    CNinePointCalib model;
    FillExactPairs(model);
    ASSERT_TRUE(model.SolveHomography());
    EXPECT_TRUE(model.IsModelValid());
    EXPECT_NEAR(Eigen::Map<const Eigen::Matrix3d>(model.m_dH).norm(), 1.0, 1e-12);
    ExpectRoundsLikeKnownHomography(model);
    const std::vector<double> solved(std::begin(model.m_dH), std::end(model.m_dH));

    // The pen held on one spot for every target.
    for (CALIB_POINT_F& p : model.m_ptCorrected)
        p = {320.0f, 240.0f};
    EXPECT_FALSE(model.SolveHomography());
    // All nine along one line.
    for (int i = 0; i < 9; ++i)
        model.m_ptCorrected[i] = {100.0f + 40.0f * i, 50.0f + 30.0f * i};
    EXPECT_FALSE(model.SolveHomography());
    // A value that is not a number.
    FillExactPairs(model);
    model.m_ptCorrected[3].x = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(model.SolveHomography());
    EXPECT_TRUE(model.IsModelValid());
    EXPECT_EQ(std::vector<double>(std::begin(model.m_dH), std::end(model.m_dH)), solved);

    for (double& h : model.m_dH)
        h = -h;
    ExpectRoundsLikeKnownHomography(model);
}

TEST(CalibFit, ZeroDenominatorIsNotDividedBy)
{
    CSixteenPointCalib model;
    const double params[PARAM_COUNT] = {1, 0, 0, 0, 1, 0, -1.0 / 256.0, 0, 320, 240, 0, 0, 0};
    std::memcpy(model.m_dParam, params, sizeof(params));
    for (int k = 0; k < 16; ++k)
        model.m_ptCamera[k] = {100.0f + 50.0f * (k % 4), 100.0f + 40.0f * (k / 4)};
    model.m_ptCamera[5] = {256.0f, 140.0f};
    model.m_ptProjected[5] = {-7.0f, -7.0f};
    EXPECT_FALSE(model.ProjectAll());
    EXPECT_EQ(model.m_ptProjected[5].x, -7.0f);
    // The others are still projected.
    EXPECT_FLOAT_EQ(model.m_ptProjected[0].x, 100.0f / (1.0f - 100.0f / 256.0f));

    std::int32_t x = 5;
    std::int32_t y = 6;
    EXPECT_FALSE(model.MapPoint(256, 140, x, y));
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    EXPECT_TRUE(model.MapPoint(255, 140, x, y));
}

TEST(CalibFit, NormalEquationsWeighH31AndH32ByTheTarget)
{
    CSixteenPointCalib model;
    const double params[PARAM_COUNT] = {1.6,   0.05,  -40.0, -0.03, 1.55,  -30.0, 1e-4,
                                        -8e-5, 322.0, 236.0, -2e-7, 1e-13, -1e-19};
    std::memcpy(model.m_dParam, params, sizeof(params));
    for (int k = 0; k < 16; ++k)
    {
        model.m_ptCamera[k] = {60.0f + 170.0f * (k % 4), 50.0f + 120.0f * (k / 4)};
        // Targets well away from the projections, so target and projection differ.
        model.m_ptTargetF[k] = {80.0f * k, 700.0f - 30.0f * k};
    }
    ASSERT_TRUE(model.ProjectAll());
    ASSERT_TRUE(model.BuildNormalEquations());

    // The Jacobian rows hold the last point's derivatives. Its other entries are checked by
    // where the fit ends; h31 and h32 weigh the target, where the exact derivative weighs the
    // projection.
    const double tx = model.m_ptTargetF[15].x;
    const double ty = model.m_ptTargetF[15].y;
    EXPECT_DOUBLE_EQ(model.m_dJacobian[0][PARAM_H31], -tx * model.m_dJacobian[0][PARAM_H11]);
    EXPECT_DOUBLE_EQ(model.m_dJacobian[0][PARAM_H32], -tx * model.m_dJacobian[0][PARAM_H12]);
    EXPECT_DOUBLE_EQ(model.m_dJacobian[1][PARAM_H31], -ty * model.m_dJacobian[1][PARAM_H21]);
    EXPECT_DOUBLE_EQ(model.m_dJacobian[1][PARAM_H32], -ty * model.m_dJacobian[1][PARAM_H22]);
}

TEST(CalibFit, ASingularOrInfiniteMatrixGivesNoStep)
{
    CSixteenPointCalib model;
    for (int i = 0; i < PARAM_COUNT; ++i)
    {
        model.m_dParam[i] = i;
        model.m_dGradient[i] = 2.0 * (i + 1);
    }
    // Undamped and empty: no inverse, so the parameters stay.
    model.m_dLambda = 0.0;
    double before[PARAM_COUNT];
    std::memcpy(before, model.m_dParam, sizeof(before));
    model.SolveDampedStep();
    EXPECT_EQ(std::memcmp(before, model.m_dParam, sizeof(before)), 0);

    // A matrix that holds an infinity has no usable inverse either.
    model.m_dNormal[3][3] = std::numeric_limits<double>::infinity();
    model.m_dLambda = 1.0;
    model.SolveDampedStep();
    EXPECT_EQ(std::memcmp(before, model.m_dParam, sizeof(before)), 0);
}

TEST(CalibFit, DampingStartsOverAfterEveryLoweringStepAndAOneSpotCaptureKeepsTheFit)
{
    // Steep keystones, where the path the fit takes decides where it ends. Lowered by one step
    // instead of started over, the damping ends the first fit at 11.756, and raised, at 13.65;
    // left where it was, it ends the second at 823.
    struct CAPTURE
    {
        double fill, keystone, k1, noise, error;
    };
    const CAPTURE captures[] = {{0.6, 0.4, -0.2, 0.0, 11.7359}, {0.5, 0.4, -0.3, 1.5, 728.554}};
    for (const CAPTURE& c : captures)
    {
        CSixteenPointCalib model;
        model.m_rcMonitor = PRIMARY_1024;
        model.SetupTargets();
        SIM_OPTICS_CONFIG config;
        PlaceCentredView(config, c.fill, c.keystone);
        config.k1 = c.k1;
        config.noiseSigma = c.noise;
        CSimOptics optics(config);
        CaptureSixteen(model, optics);
        ASSERT_TRUE(model.FitModel());
        EXPECT_NEAR(model.LastFitError(), c.error, c.error * 4e-4) << c.fill;

        // The pen held on one spot for every target leaves the fit in force.
        const std::vector<double> fitted(std::begin(model.m_dParam), std::end(model.m_dParam));
        for (CALIB_POINT_F& p : model.m_ptCamera)
            p = {300.0f, 200.0f};
        EXPECT_FALSE(model.FitModel());
        EXPECT_EQ(std::vector<double>(std::begin(model.m_dParam), std::end(model.m_dParam)),
                  fitted);
        EXPECT_TRUE(model.IsModelValid());
    }
}

// Values that are not finite make no model: the fit ends at an error that is not a number, and
// tables loaded with such values are refused.
TEST(CalibFit, ValuesThatAreNotFiniteEndTheFitAndMakeNoModel)
{
    // Targets near the top of the single-precision range: a step overflows the stored
    // projections and the error after it is not a number.
    CSixteenPointCalib model;
    for (int k = 0; k < 16; ++k)
    {
        model.m_ptCamera[k] = {100.0f + 100.0f * (k % 4), 100.0f + 80.0f * (k / 4)};
        model.m_ptTargetF[k] = {1e36f * (k % 4), 1e36f * (k / 4)};
    }
    ASSERT_TRUE(model.FitModel());
    EXPECT_EQ(model.LastFitEnd(), FIT_END_NOT_A_NUMBER);
    EXPECT_LT(model.LastFitRounds(), 12);
    EXPECT_TRUE(std::isnan(model.LastRoundError()));
    for (double p : model.m_dParam)
        EXPECT_TRUE(std::isfinite(p));
    EXPECT_TRUE(model.IsModelValid());
    model.m_dParam[PARAM_K2] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(model.SetModelValid(true));

    CNinePointCalib nine;
    EXPECT_FALSE(nine.IsModelValid());
    nine.m_dH[8] = std::numeric_limits<double>::infinity();
    EXPECT_FALSE(nine.SetModelValid(true));
    nine.m_dH[8] = 1.0;
    EXPECT_TRUE(nine.SetModelValid(true));
    EXPECT_FALSE(nine.SetModelValid(false));
}

TEST(CalibTables, AllocateOnFirstNeedAndGrowKeepingModels)
{
    ReleaseCalibTables();
    EXPECT_FALSE(AllocateCalibTables(0));
    EXPECT_EQ(g_pNinePointCalib, nullptr);

    ASSERT_TRUE(AllocateCalibTables(1));
    CNinePointCalib* first = g_pNinePointCalib;
    first[0].m_dH[4] = 42.0;
    ASSERT_TRUE(AllocateNinePointCalib(1));
    EXPECT_EQ(g_pNinePointCalib, first); // present: left alone
    EXPECT_EQ(SixteenPointCalibAt(1), nullptr);

    g_pSixteenPointCalib[0].m_dParam[PARAM_K1] = -3.0;
    ASSERT_TRUE(AllocateCalibTables(2));
    EXPECT_EQ(g_nNinePointCalibCount, 2);
    EXPECT_EQ(g_nSixteenPointCalibCount, 2);
    EXPECT_EQ(NinePointCalibAt(0)->m_dH[4], 42.0);
    EXPECT_EQ(SixteenPointCalibAt(0)->m_dParam[PARAM_K1], -3.0);
    EXPECT_NE(SixteenPointCalibAt(1), nullptr);
    EXPECT_EQ(NinePointCalibAt(2), nullptr);

    ReleaseCalibTables();
    EXPECT_EQ(g_pNinePointCalib, nullptr);
    EXPECT_EQ(g_pSixteenPointCalib, nullptr);
}

TEST(CalibTables, RecomputeCalibrationRebuildsCameraZeroOnly)
{
    CCalibWorld world;
    ASSERT_TRUE(PrepareCalibTargets(0, PRIMARY_1024));
    ASSERT_TRUE(PrepareCalibTargets(1, {1024, 0, 2048, 768}));
    CSimOptics optics(MildLensView());

    // Camera 0 keeps its points; camera 1 has a model of its own that must survive.
    CNinePointCalib& nine0 = *NinePointCalibAt(0);
    for (int i = 0; i < 9; ++i)
        ASSERT_TRUE(optics.ScreenToCamera(nine0.m_ptTarget[i].x, nine0.m_ptTarget[i].y,
                                          nine0.m_ptRaw[i].x, nine0.m_ptRaw[i].y));
    CaptureSixteen(*SixteenPointCalibAt(0), optics);
    CNinePointCalib& nine1 = *NinePointCalibAt(1);
    CSixteenPointCalib& sixteen1 = *SixteenPointCalibAt(1);
    for (int i = 0; i < 9; ++i)
    {
        nine1.m_dH[i] = i + 0.25;
        nine1.m_ptRaw[i] = {100 + 200 * (i / 3), 80 + 150 * (i % 3)};
    }
    for (int i = 0; i < PARAM_COUNT; ++i)
        sixteen1.m_dParam[i] = -i - 0.5;
    for (int k = 0; k < 16; ++k)
        sixteen1.m_ptCamera[k] = {60.0f + 170.0f * (k % 4), 50.0f + 120.0f * (k / 4)};
    const auto values = [](const auto& array)
    { return std::vector<double>(std::begin(array), std::end(array)); };
    const std::vector<double> nine1Before = values(nine1.m_dH);
    const std::vector<double> sixteen1Before = values(sixteen1.m_dParam);

    world.State().m_nCalibModel = CALIB_MODEL_NINE;
    ASSERT_TRUE(RecomputeCalibration());
    EXPECT_TRUE(nine0.IsModelValid());
    // The corrected points were rebuilt from the raw ones.
    std::int32_t cx = 0;
    std::int32_t cy = 0;
    ASSERT_TRUE(nine0.CorrectLens(nine0.m_ptRaw[4].x, nine0.m_ptRaw[4].y, cx, cy));
    EXPECT_EQ(nine0.m_ptCorrected[4].x, static_cast<float>(cx));
    EXPECT_EQ(nine0.m_ptCorrected[4].y, static_cast<float>(cy));

    world.State().m_nCalibModel = CALIB_MODEL_SIXTEEN;
    CSixteenPointCalib& sixteen0 = *SixteenPointCalibAt(0);
    for (CALIB_POINT_F& t : sixteen0.m_ptTargetF)
        t = {};
    ASSERT_TRUE(RecomputeCalibration());
    EXPECT_TRUE(sixteen0.IsModelValid());
    EXPECT_EQ(sixteen0.m_ptTargetF[5].x, static_cast<float>(sixteen0.m_ptTarget[5].x));
    EXPECT_GT(sixteen0.LastFitRounds(), 0);

    EXPECT_EQ(values(nine1.m_dH), nine1Before);
    EXPECT_EQ(values(sixteen1.m_dParam), sixteen1Before);
    EXPECT_FALSE(nine1.IsModelValid());
    EXPECT_FALSE(sixteen1.IsModelValid());

    world.State().m_nCalibModel = 2;
    EXPECT_FALSE(RecomputeCalibration());
}
