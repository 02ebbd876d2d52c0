#include "calibration/CalibTypes.h"

#include <cmath>
#include <limits>

namespace
{
// The thinnest spread, in pixels, that still fixes a plane-to-plane map: a capture whose points
// all lie within this distance of one line (or one spot) cannot determine a projective map.
constexpr double MIN_POINT_SPREAD_PX = 1.0;
} // namespace

bool TruncateToPixel(double value, std::int32_t& pixel)
{
    // Comparisons with NaN are false, so a NaN fails both range tests.
    const double truncated = std::trunc(value);
    if (!(truncated >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          truncated <= static_cast<double>(std::numeric_limits<std::int32_t>::max())))
        return false;
    pixel = static_cast<std::int32_t>(truncated);
    return true;
}

bool PointsSpanPlane(const double* xs, const double* ys, int count)
{
    if (count < 4)
        return false;
    double meanX = 0.0;
    double meanY = 0.0;
    for (int i = 0; i < count; ++i)
    {
        if (!std::isfinite(xs[i]) || !std::isfinite(ys[i]))
            return false;
        meanX += xs[i];
        meanY += ys[i];
    }
    meanX /= count;
    meanY /= count;
    double sxx = 0.0;
    double syy = 0.0;
    double sxy = 0.0;
    for (int i = 0; i < count; ++i)
    {
        const double dx = xs[i] - meanX;
        const double dy = ys[i] - meanY;
        sxx += dx * dx;
        syy += dy * dy;
        sxy += dx * dy;
    }
    sxx /= count;
    syy /= count;
    sxy /= count;
    // Smaller eigenvalue of the 2 x 2 covariance: the variance across the best-fitting line.
    const double half = 0.5 * (sxx + syy);
    const double root = std::sqrt(0.25 * (sxx - syy) * (sxx - syy) + sxy * sxy);
    const double thinnest = half - root;
    return thinnest >= MIN_POINT_SPREAD_PX * MIN_POINT_SPREAD_PX;
}
