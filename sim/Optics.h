#pragma once
// The simulated camera's optics: where a pen at a screen point shows up in the 640 x 480 camera
// image. A projective view of the monitor, lens distortion, the mounting's mirroring, then the
// camera's integer pixels with optional sensor noise. Calibrations done through the driver can
// be checked against it as ground truth.

#include "calibration/CalibTypes.h"

#include <cstdint>
#include <random>

struct SIM_OPTICS_CONFIG
{
    // The monitor the camera watches, in virtual-screen pixels.
    CALIB_RECT monitor{0, 0, 1024, 768};
    // Where the monitor's corners appear in the upright camera view before lens distortion,
    // in camera pixels: top-left, top-right, bottom-right, bottom-left. "Upright" is the frame
    // the driver's mirroring produces, so the mounting changes only the raw pixels.
    double cornerX[4] = {48.0, 592.0, 592.0, 48.0};
    double cornerY[4] = {36.0, 36.0, 444.0, 444.0};
    // Lens: distortion centre in camera pixels and the radius that counts as 1.
    double lensCentreX = 320.0;
    double lensCentreY = 240.0;
    double lensScale = 320.0;
    // Radial coefficients (negative k1: barrel) and tangential ones, on the normalised radius.
    double k1 = 0.0;
    double k2 = 0.0;
    double k3 = 0.0;
    double p1 = 0.0;
    double p2 = 0.0;
    // Mounting, as the driver's flags.
    std::int32_t ceilingMount = 0;
    std::int32_t rearProjection = 0;
    // Standard deviation of the sensor noise per axis, camera pixels; 0 for none.
    double noiseSigma = 0.0;
    std::uint32_t noiseSeed = 1;
};

// Places the monitor centred in the upright view: its width covers `fill` of the image width
// (height by the monitor's aspect), and its top edge is `keystone` (a fraction) narrower than its
// bottom edge, as for a camera looking up or down at the board.
void PlaceCentredView(SIM_OPTICS_CONFIG& config, double fill, double keystone);

class CSimOptics
{
public:
    explicit CSimOptics(const SIM_OPTICS_CONFIG& config);

    const SIM_OPTICS_CONFIG& Config() const { return m_config; }
    // False when the corners do not give a usable view (three on a line, or not finite).
    bool IsValid() const { return m_bValid; }

    // The exact raw camera position of a screen point: view, lens, mounting; no noise and no
    // rounding. False when the point lies on the view's horizon.
    [[nodiscard]] bool ScreenToCameraExact(double screenX, double screenY, double& cameraX,
                                           double& cameraY) const;
    // The pixel the camera reports for a pen at the screen point: exact position plus noise,
    // rounded to the nearest pixel. False when the pen is outside the camera image.
    [[nodiscard]] bool ScreenToCamera(double screenX, double screenY, std::int32_t& cameraX,
                                      std::int32_t& cameraY);
    // The screen point seen at a raw camera position: the inverse of ScreenToCameraExact.
    // False when the lens cannot be undone there or the point lies on the horizon.
    [[nodiscard]] bool CameraToScreen(double cameraX, double cameraY, double& screenX,
                                      double& screenY) const;

    // Restarts the noise sequence.
    void Reseed(std::uint32_t seed) { m_random.seed(seed); }

private:
    void Distort(double x, double y, double& dx, double& dy) const;
    bool Undistort(double dx, double dy, double& x, double& y) const;
    void Mirror(double x, double y, double& mx, double& my) const;

    SIM_OPTICS_CONFIG m_config;
    bool m_bValid = false;
    // Screen to upright camera view and back, row-major with h33 = 1 before inversion.
    double m_dView[9] = {};
    double m_dViewInverse[9] = {};
    std::mt19937 m_random;
    std::normal_distribution<double> m_noise{0.0, 1.0};
};
