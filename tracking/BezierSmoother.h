#pragma once
// Steadies pen 0's pointer: the last three distinct samples are the control points of a
// quadratic Bezier curve, and the pointer goes to the curve's point at parameter t.

struct SMOOTH_POINT
{
    double x = 0.0;
    double y = 0.0;
};

class CBezierSmoother
{
public:
    // Adds a sample. The driver always passes flag 1; a zero flag leaves the curve alone. A
    // sample equal to the last one is ignored, so a pen at rest does not pull the curve in.
    void AddSample(const SMOOTH_POINT& sample, int flag);
    // De Casteljau on the three control points.
    SMOOTH_POINT Evaluate(double t) const;
    // The next sample starts a new curve.
    void Reset() { m_bStarted = false; }
    bool IsStarted() const { return m_bStarted; }

private:
    bool m_bStarted = false;
    SMOOTH_POINT m_p0;
    SMOOTH_POINT m_p1;
    SMOOTH_POINT m_p2;
    SMOOTH_POINT m_last;
};
