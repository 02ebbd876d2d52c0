#pragma once
// The nine-point model: a fixed lens correction with built-in constants, then a plane
// homography from the corrected camera point to the screen, solved by the direct linear
// transform from a 3 x 3 grid of targets.

#include "calibration/CalibTypes.h"

#include <cstdint>
#include <memory>

class CNinePointCalib
{
public:
    static constexpr int POINT_COUNT = 9;

    CNinePointCalib();
    virtual ~CNinePointCalib();
    CNinePointCalib(const CNinePointCalib&) = delete;
    CNinePointCalib& operator=(const CNinePointCalib&) = delete;
    CNinePointCalib(CNinePointCalib&&) noexcept;
    CNinePointCalib& operator=(CNinePointCalib&&) noexcept;

    // Lays out the nine targets from m_rcMonitor.
    void SetupTargets();
    // Installs the built-in lens constants.
    void SetLensConstants();
    // Corrects a raw camera point for the lens. False (result untouched) when the lens
    // constants are not set yet or the corrected point has no 32-bit pixel.
    [[nodiscard]] bool CorrectLens(std::int32_t x, std::int32_t y, std::int32_t& correctedX,
                                   std::int32_t& correctedY) const;
    // The same correction unrounded, for any camera position. False without lens constants.
    [[nodiscard]] bool CorrectLensExact(double x, double y, double& correctedX,
                                        double& correctedY) const;
    // Maps a corrected camera point to the screen, rounding half up. False (result untouched)
    // when the point lies on the homography's line at infinity or maps beyond 32 bits.
    [[nodiscard]] bool ApplyHomography(std::int32_t x, std::int32_t y, std::int32_t& screenX,
                                       std::int32_t& screenY) const;
    // Solves m_dH from m_ptCorrected and m_ptTarget. False, with the model left as it was, when
    // either point set is degenerate (all on one line or one spot, or not finite) or the
    // decomposition fails.
    [[nodiscard]] bool SolveHomography();

    // A model maps points only once a solve or a load has given it values.
    bool IsModelValid() const { return m_bModelValid; }
    // For the settings loader after it has filled m_dH. Returns the resulting state: a model
    // with a value that is not finite stays invalid.
    bool SetModelValid(bool valid);
    // The four lens constants k1, k2, p1, p2, or null until SetLensConstants has run.
    const double* LensConstants() const { return m_pLensConstants.get(); }

    // Screen targets in virtual-screen pixels, in capture order: down the left column, then
    // the middle one, then the right one.
    CALIB_POINT m_ptTarget[POINT_COUNT];
    // This camera's monitor in virtual-screen pixels, copied from the monitor table.
    CALIB_RECT m_rcMonitor;
    // Point pairs the solver uses; set before every solve.
    std::int32_t m_nPointCount = 0;
    // A target the solve leaves out (-1: none), so that the calibration report can see how
    // well the other eight predict it.
    std::int32_t m_nLeftOut = -1;
    // Lens-corrected camera points of the nine targets: the solver's input.
    CALIB_POINT_F m_ptCorrected[POINT_COUNT];
    // Averaged camera points as captured, before correction; the camera unit stores these.
    CALIB_POINT m_ptRaw[POINT_COUNT];
    // Homography h0 ... h8, row-major, from corrected camera point to screen; the model's
    // result and what the settings file keeps.
    double m_dH[9];

private:
    struct WORK_MATRICES;

    // k1, k2, p1, p2; absent until set.
    std::unique_ptr<double[]> m_pLensConstants;
    // A, its transpose, their product, eigenvalues and eigenvectors; only during a solve.
    std::unique_ptr<WORK_MATRICES> m_pWork;
    bool m_bModelValid = false;
};
