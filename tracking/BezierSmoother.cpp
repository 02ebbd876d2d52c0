#include "tracking/BezierSmoother.h"

namespace
{
SMOOTH_POINT Lerp(const SMOOTH_POINT& a, const SMOOTH_POINT& b, double t)
{
    return SMOOTH_POINT{(1.0 - t) * a.x + t * b.x, (1.0 - t) * a.y + t * b.y};
}
} // namespace

void CBezierSmoother::AddSample(const SMOOTH_POINT& sample, int flag)
{
    if (flag == 0)
        return;
    if (!m_bStarted)
    {
        m_p0 = m_p1 = m_p2 = m_last = sample;
        m_bStarted = true;
        return;
    }
    if (sample.x == m_last.x && sample.y == m_last.y)
        return;
    m_p0 = m_p1;
    m_p1 = m_p2;
    m_p2 = sample;
    m_last = sample;
}

SMOOTH_POINT CBezierSmoother::Evaluate(double t) const
{
    const SMOOTH_POINT q0 = Lerp(m_p0, m_p1, t);
    const SMOOTH_POINT q1 = Lerp(m_p1, m_p2, t);
    return Lerp(q0, q1, t);
}
