#pragma once
// The sixteen-point model: radial lens distortion with a fitted centre and three coefficients,
// followed by a plane projective transform, all thirteen parameters fitted by
// Levenberg-Marquardt to a 4 x 4 grid of targets. Its point arrays are single precision.

#include "calibration/CalibTypes.h"

#include <cstdint>
#include <memory>

// Indices into m_dParam.
enum : int
{
    PARAM_H11 = 0,
    PARAM_H12,
    PARAM_H13,
    PARAM_H21,
    PARAM_H22,
    PARAM_H23,
    PARAM_H31,
    PARAM_H32,
    PARAM_CX,
    PARAM_CY,
    PARAM_K1,
    PARAM_K2,
    PARAM_K3,
    PARAM_COUNT
};

// Why the last fit ended.
enum FIT_END : int
{
    FIT_END_NONE = 0,
    // The damping rose past its limit: no step lowers the error any more.
    FIT_END_DAMPING_LIMIT,
    // The error was not a number; the fit cannot judge steps any more.
    FIT_END_NOT_A_NUMBER,
    // The fit used up its rounds while still improving.
    FIT_END_ROUND_LIMIT,
};

class CSixteenPointCalib
{
public:
    static constexpr int POINT_COUNT = 16;

    CSixteenPointCalib();
    virtual ~CSixteenPointCalib();
    CSixteenPointCalib(const CSixteenPointCalib&) = delete;
    CSixteenPointCalib& operator=(const CSixteenPointCalib&) = delete;
    CSixteenPointCalib(CSixteenPointCalib&&) noexcept;
    CSixteenPointCalib& operator=(CSixteenPointCalib&&) noexcept;

    // Lays out the sixteen targets from m_rcMonitor.
    void SetupTargets();
    // Copies the integer targets into m_ptTargetF, as a fit expects.
    void CopyTargetsToFloat();
    // Maps a (mirrored) camera point to the screen, truncating toward zero. False (result
    // untouched) when the point lies on the transform's line at infinity or maps beyond
    // 32 bits.
    [[nodiscard]] bool MapPoint(std::int32_t x, std::int32_t y, std::int32_t& screenX,
                                std::int32_t& screenY) const;
    // The model itself, unrounded, for any camera position. False on the line at infinity.
    [[nodiscard]] bool MapExact(double x, double y, double& screenX, double& screenY) const;
    // Fits m_dParam to m_ptCamera and m_ptTargetF, ending with the parameters of the lowest
    // error reached. False, with the model left as it was, when either point set is
    // degenerate (all on one line or one spot, or not finite).
    [[nodiscard]] bool FitModel();

    // Steps of the fit, public so each can be checked on its own.
    // Projects every camera point through the current parameters into m_ptCorrected and
    // m_ptProjected. False when some point lies on the line at infinity: its projection is
    // not stored, and a fit takes the step that led there back.
    [[nodiscard]] bool ProjectAll();
    // Squared distance of the projected points from the float targets, summed.
    double SumSquaredError() const;
    // Accumulates m_dNormal and m_dGradient at the current parameters from the stored
    // projection. False when a stored point lies on the line at infinity.
    [[nodiscard]] bool BuildNormalEquations();
    // Damps m_dNormal by m_dLambda in place, solves for the step and adds it to m_dParam. A
    // matrix that has no inverse gives a zero step.
    void SolveDampedStep();

    // A model maps points only once a fit or a load has given it values.
    bool IsModelValid() const { return m_bModelValid; }
    // For the settings loader after it has filled m_dParam. Returns the resulting state: a
    // model with a value that is not finite stays invalid.
    bool SetModelValid(bool valid);
    // Rounds of building and solving in the last fit, why it ended, the error of the
    // parameters it kept (the lowest it reached) and the error of its last round.
    int LastFitRounds() const { return m_nFitRounds; }
    FIT_END LastFitEnd() const { return m_nFitEnd; }
    double LastFitError() const { return m_dFitError; }
    double LastRoundError() const { return m_dLastRoundError; }

    // Levenberg-Marquardt damping factor.
    double m_dLambda = 0.0;
    // A target the fit leaves out (-1: none), so that the calibration report can see how well
    // the other fifteen predict it.
    int m_nLeftOut = -1;
    // This camera's monitor in virtual-screen pixels, copied from the monitor table.
    CALIB_RECT m_rcMonitor;
    // Screen targets in virtual-screen pixels, row-major: index 4 * row + column.
    CALIB_POINT m_ptTarget[POINT_COUNT];
    // Captured camera points, already mirrored for the mounting; indexed as the targets. The
    // camera unit stores these, truncated.
    CALIB_POINT_F m_ptCamera[POINT_COUNT];
    // The targets as floats; filled before each fit.
    CALIB_POINT_F m_ptTargetF[POINT_COUNT];
    // Camera points after the distortion of the last projection.
    CALIB_POINT_F m_ptCorrected[POINT_COUNT];
    // Corrected points after the projective transform of the last projection, unrounded.
    CALIB_POINT_F m_ptProjected[POINT_COUNT];
    // h11, h12, h13, h21, h22, h23, h31, h32, cx, cy, k1, k2, k3 (PARAM_ indices); the model's
    // result and what the settings file keeps.
    double m_dParam[PARAM_COUNT];
    // Accumulated J^T J, row-major.
    double m_dNormal[PARAM_COUNT][PARAM_COUNT];
    // Accumulated J^T (target - projection).
    double m_dGradient[PARAM_COUNT];
    // Derivatives of the projected x (row 0) and y (row 1) for the current point.
    double m_dJacobian[2][PARAM_COUNT];

private:
    struct WORK_MATRICES;

    // One round of the fit: normal equations, damped step, projection and its error. False
    // when the step could not be evaluated; the step is then taken back.
    bool RunRound(double& error);

    // Damped normal matrix, its inverse, right-hand side and step; only during a fit.
    std::unique_ptr<WORK_MATRICES> m_pWork;
    bool m_bModelValid = false;
    int m_nFitRounds = 0;
    FIT_END m_nFitEnd = FIT_END_NONE;
    double m_dFitError = 0.0;
    double m_dLastRoundError = 0.0;
};
