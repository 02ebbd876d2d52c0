#include "calibration/NinePointCalib.h"

#include <Eigen/Dense>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

namespace
{
// The lens of the camera unit, as measured for this model; the correction undoes it.
constexpr double LENS_K1 = -0.022203;
constexpr double LENS_K2 = -0.034614;
constexpr double LENS_P1 = 0.000317;
constexpr double LENS_P2 = -0.004374;

// The correction works in units of half the image height around the image centre.
constexpr double LENS_CENTRE_X = 320.0;
constexpr double LENS_CENTRE_Y = 240.0;
constexpr double LENS_SCALE = 240.0;
constexpr double LENS_INVERSE_SCALE = 0.004166666666666667;

// Margins of the nine-point grid: pixels per 1024 of the right edge's coordinate and per 768
// of the bottom edge's.
constexpr std::int64_t NINE_MARGIN_X = 100;
constexpr std::int64_t NINE_MARGIN_Y = 100;
} // namespace

struct CNinePointCalib::WORK_MATRICES
{
    Eigen::MatrixXd a;
    Eigen::MatrixXd aTransposed;
    Eigen::MatrixXd aTa;
    Eigen::MatrixXd eigenvalues;
    // Eigenvectors as rows, in order of descending eigenvalue.
    Eigen::MatrixXd eigenvectors;
};

CNinePointCalib::CNinePointCalib()
{
    std::memset(m_dH, 0, sizeof(m_dH));
}

CNinePointCalib::~CNinePointCalib() = default;
CNinePointCalib::CNinePointCalib(CNinePointCalib&&) noexcept = default;
CNinePointCalib& CNinePointCalib::operator=(CNinePointCalib&&) noexcept = default;

void CNinePointCalib::SetupTargets()
{
    const CALIB_RECT& rc = m_rcMonitor;
    // The margins scale with the far edges, not with the size: a monitor right of or below
    // the primary one gets wider margins. The arithmetic is the 32-bit one of the layout the
    // calibration window draws; the wider type only keeps absurd rectangles defined.
    const auto marginX = static_cast<std::int32_t>(rc.right * NINE_MARGIN_X / 1024);
    const auto marginY = static_cast<std::int32_t>(rc.bottom * NINE_MARGIN_Y / 768);
    const std::int32_t columns[3] = {rc.left + marginX, rc.left + std::abs(rc.right - rc.left) / 2,
                                     rc.right - marginX};
    const std::int32_t rows[3] = {rc.top + marginY, rc.top + std::abs(rc.top - rc.bottom) / 2,
                                  rc.bottom - marginY};
    for (int column = 0; column < 3; ++column)
        for (int row = 0; row < 3; ++row)
            m_ptTarget[3 * column + row] = {columns[column], rows[row]};
}

void CNinePointCalib::SetLensConstants()
{
    if (!m_pLensConstants)
        m_pLensConstants = std::make_unique<double[]>(4);
    m_pLensConstants[0] = LENS_K1;
    m_pLensConstants[1] = LENS_K2;
    m_pLensConstants[2] = LENS_P1;
    m_pLensConstants[3] = LENS_P2;
}

bool CNinePointCalib::CorrectLensExact(double x, double y, double& correctedX,
                                       double& correctedY) const
{
    if (!m_pLensConstants)
        return false;
    const double a = -m_pLensConstants[0];
    const double b = -m_pLensConstants[1];
    const double c = m_pLensConstants[2];
    const double d = m_pLensConstants[3];

    const double u = (x - LENS_CENTRE_X) * LENS_INVERSE_SCALE;
    const double v = (y - LENS_CENTRE_Y) * LENS_INVERSE_SCALE;
    const double r = std::sqrt(u * u + v * v);
    const double r2 = r * r;
    // Both radial terms weigh r squared: the correction has no fourth-power term.
    const double uc = u * (1.0 + a * r2 + b * r2 + 2.0 * d * v) + c * (r2 + 2.0 * u * u);
    const double vc = v * (1.0 + a * r2 + b * r2 + 2.0 * c * u) + d * (r2 + 2.0 * v * v);
    correctedX = uc * LENS_SCALE + LENS_CENTRE_X;
    correctedY = (vc + 1.0) * LENS_SCALE;
    return true;
}

bool CNinePointCalib::CorrectLens(std::int32_t x, std::int32_t y, std::int32_t& correctedX,
                                  std::int32_t& correctedY) const
{
    double exactX = 0.0;
    double exactY = 0.0;
    std::int32_t outX = 0;
    std::int32_t outY = 0;
    if (!CorrectLensExact(x, y, exactX, exactY) || !TruncateToPixel(exactX, outX) ||
        !TruncateToPixel(exactY, outY))
        return false;
    correctedX = outX;
    correctedY = outY;
    return true;
}

bool CNinePointCalib::ApplyHomography(std::int32_t x, std::int32_t y, std::int32_t& screenX,
                                      std::int32_t& screenY) const
{
    const double* h = m_dH;
    const double px = x;
    const double py = y;
    const double w = h[6] * px + h[7] * py + h[8];
    if (w == 0.0)
        return false;
    std::int32_t outX = 0;
    std::int32_t outY = 0;
    if (!TruncateToPixel((h[0] * px + h[1] * py + h[2]) / w + 0.5, outX) ||
        !TruncateToPixel((h[3] * px + h[4] * py + h[5]) / w + 0.5, outY))
        return false;
    screenX = outX;
    screenY = outY;
    return true;
}

bool CNinePointCalib::SolveHomography()
{
    m_nPointCount = POINT_COUNT;

    double cameraX[POINT_COUNT];
    double cameraY[POINT_COUNT];
    double screenX[POINT_COUNT];
    double screenY[POINT_COUNT];
    int n = 0;
    for (int i = 0; i < m_nPointCount; ++i)
    {
        if (i == m_nLeftOut)
            continue;
        cameraX[n] = m_ptCorrected[i].x;
        cameraY[n] = m_ptCorrected[i].y;
        screenX[n] = m_ptTarget[i].x;
        screenY[n] = m_ptTarget[i].y;
        ++n;
    }
    // A pen held on one spot, or a capture along one line, leaves the homography undetermined;
    // the previous model then stays in force.
    if (!PointsSpanPlane(cameraX, cameraY, n) || !PointsSpanPlane(screenX, screenY, n))
        return false;

    m_pWork = std::make_unique<WORK_MATRICES>();
    WORK_MATRICES& work = *m_pWork;
    work.a.setZero(2 * n, 9);
    for (int i = 0; i < n; ++i)
    {
        const double x = cameraX[i];
        const double y = cameraY[i];
        const double tx = screenX[i];
        const double ty = screenY[i];
        work.a.row(2 * i) << x, y, 1.0, 0.0, 0.0, 0.0, -tx * x, -tx * y, -tx;
        work.a.row(2 * i + 1) << 0.0, 0.0, 0.0, x, y, 1.0, -ty * x, -ty * y, -ty;
    }
    work.aTransposed = work.a.transpose();
    work.aTa = work.aTransposed * work.a;

    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(work.aTa);
    bool solved = solver.info() == Eigen::Success;
    if (solved)
    {
        // The solver sorts ascending with eigenvectors as columns; keep them as rows in
        // descending order, so the smallest eigenvalue's vector is the last row.
        work.eigenvalues = solver.eigenvalues().reverse().transpose();
        work.eigenvectors = solver.eigenvectors().rowwise().reverse().transpose();
        // Taken as it comes: unit length, whatever sign the decomposition gave.
        const Eigen::VectorXd h = work.eigenvectors.row(8).transpose();
        solved = h.allFinite();
        if (solved)
            for (int i = 0; i < 9; ++i)
                m_dH[i] = h(i);
    }
    m_pWork.reset();
    if (solved)
        m_bModelValid = true;
    return solved;
}

bool CNinePointCalib::SetModelValid(bool valid)
{
    bool finite = true;
    for (double value : m_dH)
        finite = finite && std::isfinite(value);
    m_bModelValid = valid && finite;
    return m_bModelValid;
}
