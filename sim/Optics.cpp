#include "sim/Optics.h"

#include <Eigen/Dense>

#include <cmath>

namespace
{
// Newton steps for undoing the lens, and how close (in normalised units) counts as done.
constexpr int UNDISTORT_MAX_STEPS = 50;
constexpr double UNDISTORT_TOLERANCE = 1e-12;
// Finite-difference width for the lens Jacobian, normalised units.
constexpr double UNDISTORT_DELTA = 1e-7;

bool ApplyProjective(const double* h, double x, double y, double& outX, double& outY)
{
    const double w = h[6] * x + h[7] * y + h[8];
    if (w == 0.0)
        return false;
    outX = (h[0] * x + h[1] * y + h[2]) / w;
    outY = (h[3] * x + h[4] * y + h[5]) / w;
    return std::isfinite(outX) && std::isfinite(outY);
}
} // namespace

void PlaceCentredView(SIM_OPTICS_CONFIG& config, double fill, double keystone)
{
    const double width = std::abs(static_cast<double>(config.monitor.right) - config.monitor.left);
    const double height = std::abs(static_cast<double>(config.monitor.bottom) - config.monitor.top);
    const double bottomWidth = CAMERA_IMAGE_WIDTH * fill;
    const double viewHeight = width > 0.0 ? bottomWidth * height / width : 0.0;
    const double topWidth = bottomWidth * (1.0 - keystone);
    const double centreX = CAMERA_IMAGE_WIDTH / 2.0;
    const double top = CAMERA_IMAGE_HEIGHT / 2.0 - viewHeight / 2.0;
    const double bottom = CAMERA_IMAGE_HEIGHT / 2.0 + viewHeight / 2.0;
    config.cornerX[0] = centreX - topWidth / 2.0;
    config.cornerY[0] = top;
    config.cornerX[1] = centreX + topWidth / 2.0;
    config.cornerY[1] = top;
    config.cornerX[2] = centreX + bottomWidth / 2.0;
    config.cornerY[2] = bottom;
    config.cornerX[3] = centreX - bottomWidth / 2.0;
    config.cornerY[3] = bottom;
}

CSimOptics::CSimOptics(const SIM_OPTICS_CONFIG& config)
    : m_config(config), m_random(config.noiseSeed)
{
    const CALIB_RECT& rc = config.monitor;
    const double screenX[4] = {static_cast<double>(rc.left), static_cast<double>(rc.right),
                               static_cast<double>(rc.right), static_cast<double>(rc.left)};
    const double screenY[4] = {static_cast<double>(rc.top), static_cast<double>(rc.top),
                               static_cast<double>(rc.bottom), static_cast<double>(rc.bottom)};
    // Four correspondences fix the eight unknowns of a projective map with h33 = 1.
    Eigen::Matrix<double, 8, 8> a;
    Eigen::Matrix<double, 8, 1> b;
    for (int i = 0; i < 4; ++i)
    {
        const double x = screenX[i];
        const double y = screenY[i];
        const double u = config.cornerX[i];
        const double v = config.cornerY[i];
        a.row(2 * i) << x, y, 1.0, 0.0, 0.0, 0.0, -u * x, -u * y;
        a.row(2 * i + 1) << 0.0, 0.0, 0.0, x, y, 1.0, -v * x, -v * y;
        b(2 * i) = u;
        b(2 * i + 1) = v;
    }
    if (!a.allFinite() || !b.allFinite())
        return;
    const Eigen::FullPivLU<Eigen::Matrix<double, 8, 8>> lu(a);
    if (!lu.isInvertible())
        return;
    const Eigen::Matrix<double, 8, 1> h = lu.solve(b);
    Eigen::Matrix3d view;
    view << h(0), h(1), h(2), h(3), h(4), h(5), h(6), h(7), 1.0;
    const Eigen::FullPivLU<Eigen::Matrix3d> viewLu(view);
    if (!view.allFinite() || !viewLu.isInvertible())
        return;
    const Eigen::Matrix3d inverse = viewLu.inverse();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
        {
            m_dView[3 * r + c] = view(r, c);
            m_dViewInverse[3 * r + c] = inverse(r, c);
        }
    m_bValid = true;
}

void CSimOptics::Distort(double x, double y, double& dx, double& dy) const
{
    const SIM_OPTICS_CONFIG& c = m_config;
    const double u = (x - c.lensCentreX) / c.lensScale;
    const double v = (y - c.lensCentreY) / c.lensScale;
    const double r2 = u * u + v * v;
    const double radial = 1.0 + r2 * (c.k1 + r2 * (c.k2 + r2 * c.k3));
    const double ud = u * radial + 2.0 * c.p1 * u * v + c.p2 * (r2 + 2.0 * u * u);
    const double vd = v * radial + c.p1 * (r2 + 2.0 * v * v) + 2.0 * c.p2 * u * v;
    dx = c.lensCentreX + ud * c.lensScale;
    dy = c.lensCentreY + vd * c.lensScale;
}

bool CSimOptics::Undistort(double dx, double dy, double& x, double& y) const
{
    // Newton on the distortion itself, from the distorted point, with a numeric Jacobian: the
    // lens is smooth and close to the identity near any point the camera can see.
    const double scale = m_config.lensScale;
    double ux = dx;
    double uy = dy;
    for (int step = 0; step < UNDISTORT_MAX_STEPS; ++step)
    {
        double fx = 0.0;
        double fy = 0.0;
        Distort(ux, uy, fx, fy);
        const double ex = (fx - dx) / scale;
        const double ey = (fy - dy) / scale;
        if (std::abs(ex) < UNDISTORT_TOLERANCE && std::abs(ey) < UNDISTORT_TOLERANCE)
        {
            x = ux;
            y = uy;
            return true;
        }
        const double delta = UNDISTORT_DELTA * scale;
        double ax = 0.0;
        double ay = 0.0;
        double bx = 0.0;
        double by = 0.0;
        Distort(ux + delta, uy, ax, ay);
        Distort(ux, uy + delta, bx, by);
        const double j11 = (ax - fx) / delta;
        const double j21 = (ay - fy) / delta;
        const double j12 = (bx - fx) / delta;
        const double j22 = (by - fy) / delta;
        const double det = j11 * j22 - j12 * j21;
        if (det == 0.0 || !std::isfinite(det))
            return false;
        const double rx = fx - dx;
        const double ry = fy - dy;
        ux -= (j22 * rx - j12 * ry) / det;
        uy -= (j11 * ry - j21 * rx) / det;
        if (!std::isfinite(ux) || !std::isfinite(uy))
            return false;
    }
    return false;
}

void CSimOptics::Mirror(double x, double y, double& mx, double& my) const
{
    // The driver's mounting table, in continuous coordinates; every entry is its own inverse,
    // so mirroring the upright view gives the raw pixels that the driver mirrors back.
    const std::int32_t ceiling = m_config.ceilingMount;
    const std::int32_t rear = m_config.rearProjection;
    mx = x;
    my = y;
    if (ceiling == 1 && rear == 0)
        return;
    if (ceiling == 0 && rear == 1)
    {
        my = CAMERA_IMAGE_HEIGHT - y;
        return;
    }
    if (ceiling == 1 && rear == 1)
    {
        mx = CAMERA_IMAGE_WIDTH - x;
        return;
    }
    mx = CAMERA_IMAGE_WIDTH - x;
    my = CAMERA_IMAGE_HEIGHT - y;
}

bool CSimOptics::ScreenToCameraExact(double screenX, double screenY, double& cameraX,
                                     double& cameraY) const
{
    if (!m_bValid)
        return false;
    double ux = 0.0;
    double uy = 0.0;
    if (!ApplyProjective(m_dView, screenX, screenY, ux, uy))
        return false;
    double dx = 0.0;
    double dy = 0.0;
    Distort(ux, uy, dx, dy);
    Mirror(dx, dy, cameraX, cameraY);
    return std::isfinite(cameraX) && std::isfinite(cameraY);
}

bool CSimOptics::ScreenToCamera(double screenX, double screenY, std::int32_t& cameraX,
                                std::int32_t& cameraY)
{
    double x = 0.0;
    double y = 0.0;
    if (!ScreenToCameraExact(screenX, screenY, x, y))
        return false;
    if (m_config.noiseSigma > 0.0)
    {
        x += m_config.noiseSigma * m_noise(m_random);
        y += m_config.noiseSigma * m_noise(m_random);
    }
    const double rx = std::floor(x + 0.5);
    const double ry = std::floor(y + 0.5);
    if (!(rx >= 0.0 && rx <= CAMERA_IMAGE_WIDTH && ry >= 0.0 && ry <= CAMERA_IMAGE_HEIGHT))
        return false;
    cameraX = static_cast<std::int32_t>(rx);
    cameraY = static_cast<std::int32_t>(ry);
    return true;
}

bool CSimOptics::CameraToScreen(double cameraX, double cameraY, double& screenX,
                                double& screenY) const
{
    if (!m_bValid)
        return false;
    double dx = 0.0;
    double dy = 0.0;
    Mirror(cameraX, cameraY, dx, dy);
    double ux = 0.0;
    double uy = 0.0;
    if (!Undistort(dx, dy, ux, uy))
        return false;
    return ApplyProjective(m_dViewInverse, ux, uy, screenX, screenY);
}
