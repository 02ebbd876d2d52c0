#include "calibration/SixteenPointCalib.h"

#include <Eigen/Dense>

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
// Margins of the sixteen-point grid: pixels per 1024 of the right edge's coordinate and per 768
// of the bottom edge's.
constexpr std::int64_t SIXTEEN_MARGIN_X = 40;
constexpr std::int64_t SIXTEEN_MARGIN_Y = 40;

// Damping at the start of a fit and after every step that lowered the error.
constexpr double LAMBDA_START = 0.001;
constexpr double LAMBDA_RAISE = 10.0;
constexpr double LAMBDA_LOWER = 0.1;
// Damping beyond this ends the fit: from the start value, the eleventh raise in a row.
constexpr double LAMBDA_LIMIT = 1e7;
// A fit that keeps lowering its error by ever smaller amounts would otherwise run on the
// reader thread for as long as doubles keep getting smaller; real fits need a few hundred
// rounds at most.
constexpr int MAX_FIT_ROUNDS = 5000;

// Identity transform, distortion centre at the image centre, no distortion.
constexpr double START_PARAMS[PARAM_COUNT] = {1.0, 0.0,   0.0,   0.0, 1.0, 0.0, 0.0,
                                              0.0, 320.0, 240.0, 0.0, 0.0, 0.0};

// The distortion of the model for one camera point: (xu, yu) from (x, y).
void Undistort(const double* p, double x, double y, double& xu, double& yu)
{
    const double dx = x - p[PARAM_CX];
    const double dy = y - p[PARAM_CY];
    const double r2 = dx * dx + dy * dy;
    const double f = ((p[PARAM_K3] * r2 + p[PARAM_K2]) * r2 + p[PARAM_K1]) * r2 + 1.0;
    xu = dx * f + p[PARAM_CX];
    yu = dy * f + p[PARAM_CY];
}

// Stores a value in single precision. A finite value beyond the float range becomes an
// infinity of its sign rather than an undefined conversion.
float ToFloat(double value)
{
    if (std::isfinite(value) && std::abs(value) > std::numeric_limits<float>::max())
        return value > 0.0 ? std::numeric_limits<float>::infinity()
                           : -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

double Denominator(const double* p, double xu, double yu)
{
    return p[PARAM_H31] * xu + p[PARAM_H32] * yu + 1.0;
}
} // namespace

struct CSixteenPointCalib::WORK_MATRICES
{
    Eigen::Matrix<double, PARAM_COUNT, PARAM_COUNT> damped;
    Eigen::Matrix<double, PARAM_COUNT, PARAM_COUNT> inverse;
    Eigen::Matrix<double, PARAM_COUNT, 1> rhs;
    Eigen::Matrix<double, PARAM_COUNT, 1> step;
};

CSixteenPointCalib::CSixteenPointCalib()
{
    std::memset(m_dParam, 0, sizeof(m_dParam));
    std::memset(m_dNormal, 0, sizeof(m_dNormal));
    std::memset(m_dGradient, 0, sizeof(m_dGradient));
    std::memset(m_dJacobian, 0, sizeof(m_dJacobian));
}

CSixteenPointCalib::~CSixteenPointCalib() = default;
CSixteenPointCalib::CSixteenPointCalib(CSixteenPointCalib&&) noexcept = default;
CSixteenPointCalib& CSixteenPointCalib::operator=(CSixteenPointCalib&&) noexcept = default;

void CSixteenPointCalib::SetupTargets()
{
    const CALIB_RECT& rc = m_rcMonitor;
    const auto marginX = static_cast<std::int32_t>(rc.right * SIXTEEN_MARGIN_X / 1024);
    const auto marginY = static_cast<std::int32_t>(rc.bottom * SIXTEEN_MARGIN_Y / 768);
    const std::int32_t width = std::abs(rc.right - rc.left);
    const std::int32_t height = std::abs(rc.bottom - rc.top);
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            m_ptTarget[4 * row + column] = {
                rc.right - width + marginX + ((width - 2 * marginX) * column) / 3,
                rc.bottom - height + marginY + ((height - 2 * marginY) * row) / 3};
}

void CSixteenPointCalib::CopyTargetsToFloat()
{
    for (int k = 0; k < POINT_COUNT; ++k)
        m_ptTargetF[k] = {static_cast<float>(m_ptTarget[k].x), static_cast<float>(m_ptTarget[k].y)};
}

bool CSixteenPointCalib::MapExact(double x, double y, double& screenX, double& screenY) const
{
    const double* p = m_dParam;
    double xu = 0.0;
    double yu = 0.0;
    Undistort(p, x, y, xu, yu);
    const double w = Denominator(p, xu, yu);
    if (w == 0.0)
        return false;
    screenX = (p[PARAM_H11] * xu + p[PARAM_H12] * yu + p[PARAM_H13]) / w;
    screenY = (p[PARAM_H21] * xu + p[PARAM_H22] * yu + p[PARAM_H23]) / w;
    return true;
}

bool CSixteenPointCalib::MapPoint(std::int32_t x, std::int32_t y, std::int32_t& screenX,
                                  std::int32_t& screenY) const
{
    double exactX = 0.0;
    double exactY = 0.0;
    std::int32_t outX = 0;
    std::int32_t outY = 0;
    // No 0.5 is added: the result truncates toward zero.
    if (!MapExact(x, y, exactX, exactY) || !TruncateToPixel(exactX, outX) ||
        !TruncateToPixel(exactY, outY))
        return false;
    screenX = outX;
    screenY = outY;
    return true;
}

bool CSixteenPointCalib::ProjectAll()
{
    const double* p = m_dParam;
    bool all = true;
    for (int k = 0; k < POINT_COUNT; ++k)
    {
        if (k == m_nLeftOut)
            continue;
        double xu = 0.0;
        double yu = 0.0;
        Undistort(p, m_ptCamera[k].x, m_ptCamera[k].y, xu, yu);
        m_ptCorrected[k] = {ToFloat(xu), ToFloat(yu)};
        // Later steps see the corrected point as stored, in single precision.
        const double xs = m_ptCorrected[k].x;
        const double ys = m_ptCorrected[k].y;
        const double w = Denominator(p, xs, ys);
        if (w == 0.0)
        {
            all = false;
            continue;
        }
        m_ptProjected[k] = {ToFloat((p[PARAM_H11] * xs + p[PARAM_H12] * ys + p[PARAM_H13]) / w),
                            ToFloat((p[PARAM_H21] * xs + p[PARAM_H22] * ys + p[PARAM_H23]) / w)};
    }
    return all;
}

double CSixteenPointCalib::SumSquaredError() const
{
    double error = 0.0;
    for (int k = 0; k < POINT_COUNT; ++k)
    {
        if (k == m_nLeftOut)
            continue;
        const double ex = static_cast<double>(m_ptTargetF[k].x) - m_ptProjected[k].x;
        const double ey = static_cast<double>(m_ptTargetF[k].y) - m_ptProjected[k].y;
        error += ex * ex + ey * ey;
    }
    return error;
}

bool CSixteenPointCalib::BuildNormalEquations()
{
    std::memset(m_dNormal, 0, sizeof(m_dNormal));
    std::memset(m_dGradient, 0, sizeof(m_dGradient));
    std::memset(m_dJacobian, 0, sizeof(m_dJacobian));
    const double* p = m_dParam;
    double* xrow = m_dJacobian[0];
    double* yrow = m_dJacobian[1];
    for (int k = 0; k < POINT_COUNT; ++k)
    {
        if (k == m_nLeftOut)
            continue;
        const double x = m_ptCamera[k].x;
        const double y = m_ptCamera[k].y;
        const double xu = m_ptCorrected[k].x;
        const double yu = m_ptCorrected[k].y;
        const double tx = m_ptTargetF[k].x;
        const double ty = m_ptTargetF[k].y;
        const double px = m_ptProjected[k].x;
        const double py = m_ptProjected[k].y;

        const double dx = x - p[PARAM_CX];
        const double dy = y - p[PARAM_CY];
        const double r2 = dx * dx + dy * dy;
        const double w = Denominator(p, xu, yu);
        if (w == 0.0)
            return false;
        const double nx = p[PARAM_H11] * xu + p[PARAM_H12] * yu + p[PARAM_H13];
        const double ny = p[PARAM_H21] * xu + p[PARAM_H22] * yu + p[PARAM_H23];

        // The h31 and h32 entries weigh the target coordinate where the exact derivative has
        // the projected one: the fit linearises the cross-multiplied form of the transform.
        xrow[0] = xu / w;
        xrow[1] = yu / w;
        xrow[2] = 1.0 / w;
        xrow[3] = 0.0;
        xrow[4] = 0.0;
        xrow[5] = 0.0;
        // Deliberate: h31 and h32 weigh the target where the exact derivative weighs the
        // projection, so a board fits to the values it always has.
        xrow[6] = -tx * xu / w;
        xrow[7] = -tx * yu / w;
        yrow[0] = 0.0;
        yrow[1] = 0.0;
        yrow[2] = 0.0;
        yrow[3] = xu / w;
        yrow[4] = yu / w;
        yrow[5] = 1.0 / w;
        yrow[6] = -ty * xu / w;
        yrow[7] = -ty * yu / w;

        const double w2 = w * w;
        const double sxXu = (w * p[PARAM_H11] - nx * p[PARAM_H31]) / w2;
        const double sxYu = (w * p[PARAM_H12] - nx * p[PARAM_H32]) / w2;
        const double syXu = (w * p[PARAM_H21] - ny * p[PARAM_H31]) / w2;
        const double syYu = (w * p[PARAM_H22] - ny * p[PARAM_H32]) / w2;

        const double a = -(((p[PARAM_K3] * r2 + p[PARAM_K2]) * r2 + p[PARAM_K1]) * r2);
        const double b = (3.0 * p[PARAM_K3] * r2 + 2.0 * p[PARAM_K2]) * r2 + p[PARAM_K1];
        const double r4 = r2 * r2;
        const double r6 = r4 * r2;
        // How xu and yu move with cx, cy, k1, k2, k3.
        const double changeXu[5] = {a - 2.0 * b * dx * dx, -2.0 * b * dx * dy, dx * r2, dx * r4,
                                    dx * r6};
        const double changeYu[5] = {-2.0 * b * dx * dy, a - 2.0 * b * dy * dy, dy * r2, dy * r4,
                                    dy * r6};
        for (int j = 0; j < 5; ++j)
        {
            xrow[PARAM_CX + j] = sxXu * changeXu[j] + sxYu * changeYu[j];
            yrow[PARAM_CX + j] = syXu * changeXu[j] + syYu * changeYu[j];
        }

        for (int i = 0; i < PARAM_COUNT; ++i)
        {
            for (int j = 0; j < PARAM_COUNT; ++j)
                m_dNormal[i][j] += xrow[i] * xrow[j] + yrow[i] * yrow[j];
            m_dGradient[i] -= (px - tx) * xrow[i] + (py - ty) * yrow[i];
        }
    }
    return true;
}

void CSixteenPointCalib::SolveDampedStep()
{
    // Outside a fit the step still needs its matrices, for as long as it runs.
    std::unique_ptr<WORK_MATRICES> local;
    if (!m_pWork)
        local = std::make_unique<WORK_MATRICES>();
    WORK_MATRICES& work = m_pWork ? *m_pWork : *local;

    for (int i = 0; i < PARAM_COUNT; ++i)
        m_dNormal[i][i] += m_dLambda;
    for (int i = 0; i < PARAM_COUNT; ++i)
    {
        for (int j = 0; j < PARAM_COUNT; ++j)
            work.damped(i, j) = m_dNormal[i][j];
        work.rhs(i) = m_dGradient[i];
    }

    // A zero pivot, or values that are not finite, leave the matrix without an inverse; the
    // step is then zero.
    bool invertible = work.damped.allFinite();
    if (invertible)
    {
        const Eigen::PartialPivLU<Eigen::Matrix<double, PARAM_COUNT, PARAM_COUNT>> lu(work.damped);
        invertible = (lu.matrixLU().diagonal().array() != 0.0).all();
        if (invertible)
        {
            work.inverse = lu.inverse();
            invertible = work.inverse.allFinite();
        }
    }
    if (!invertible)
        work.inverse.setZero();

    work.step = work.inverse * work.rhs;
    for (int i = 0; i < PARAM_COUNT; ++i)
        m_dParam[i] += work.step(i);
}

bool CSixteenPointCalib::RunRound(double& error)
{
    double before[PARAM_COUNT];
    std::memcpy(before, m_dParam, sizeof(before));
    ++m_nFitRounds;
    if (!BuildNormalEquations())
    {
        error = std::numeric_limits<double>::infinity();
        return false;
    }
    SolveDampedStep();
    if (!ProjectAll())
    {
        // The model cannot even be evaluated at the new parameters, so there is nothing to
        // linearise at: take the step back and let the damping rise.
        std::memcpy(m_dParam, before, sizeof(before));
        (void)ProjectAll();
        error = std::numeric_limits<double>::infinity();
        return false;
    }
    error = SumSquaredError();
    return true;
}

bool CSixteenPointCalib::FitModel()
{
    double cameraX[POINT_COUNT];
    double cameraY[POINT_COUNT];
    double screenX[POINT_COUNT];
    double screenY[POINT_COUNT];
    int used = 0;
    for (int k = 0; k < POINT_COUNT; ++k)
    {
        if (k == m_nLeftOut)
            continue;
        cameraX[used] = m_ptCamera[k].x;
        cameraY[used] = m_ptCamera[k].y;
        screenX[used] = m_ptTargetF[k].x;
        screenY[used] = m_ptTargetF[k].y;
        ++used;
    }
    // A pen held on one spot, or a capture along one line, leaves the model undetermined; the
    // previous model then stays in force.
    if (!PointsSpanPlane(cameraX, cameraY, used) || !PointsSpanPlane(screenX, screenY, used))
        return false;

    m_pWork = std::make_unique<WORK_MATRICES>();
    m_dLambda = LAMBDA_START;
    std::memcpy(m_dParam, START_PARAMS, sizeof(m_dParam));
    m_nFitRounds = 0;
    (void)ProjectAll(); // the identity start has w = 1 everywhere
    double error = SumSquaredError();

    double best[PARAM_COUNT];
    std::memcpy(best, m_dParam, sizeof(best));
    double bestError = error;
    const auto keepBest = [&]
    {
        if (error < bestError)
        {
            bestError = error;
            std::memcpy(best, m_dParam, sizeof(best));
        }
    };

    m_nFitEnd = FIT_END_ROUND_LIMIT;
    bool running = true;
    while (running && m_nFitRounds < MAX_FIT_ROUNDS)
    {
        const double previous = error;
        (void)RunRound(error);
        keepBest();
        if (std::isnan(error))
        {
            m_nFitEnd = FIT_END_NOT_A_NUMBER;
            break;
        }
        if (error < previous)
        {
            m_dLambda = LAMBDA_START;
            continue;
        }
        // The step raised the error and stays; the retries linearise where it led.
        for (;;)
        {
            m_dLambda *= LAMBDA_RAISE;
            (void)RunRound(error);
            keepBest();
            if (std::isnan(error))
                m_nFitEnd = FIT_END_NOT_A_NUMBER;
            else if (m_dLambda > LAMBDA_LIMIT)
                m_nFitEnd = FIT_END_DAMPING_LIMIT;
            else if (error < previous)
            {
                m_dLambda *= LAMBDA_LOWER;
                break;
            }
            else if (m_nFitRounds < MAX_FIT_ROUNDS)
                continue;
            running = false;
            break;
        }
    }

    std::memcpy(m_dParam, best, sizeof(m_dParam));
    (void)ProjectAll();
    m_dFitError = bestError;
    m_dLastRoundError = error;
    m_pWork.reset();
    return SetModelValid(true);
}

bool CSixteenPointCalib::SetModelValid(bool valid)
{
    bool finite = true;
    for (double value : m_dParam)
        finite = finite && std::isfinite(value);
    m_bModelValid = valid && finite;
    return m_bModelValid;
}
