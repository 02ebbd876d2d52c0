#pragma once
// Small value types shared by the calibration models, the mapping and the simulator optics.

#include <cstdint>

// A point in integer pixels: camera pixels or virtual-screen pixels, by context.
struct CALIB_POINT
{
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// A point held in single precision; the models store their point arrays this way.
struct CALIB_POINT_F
{
    float x = 0.0f;
    float y = 0.0f;
};

// A monitor rectangle in virtual-screen pixels.
struct CALIB_RECT
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The camera image every model works in.
constexpr int CAMERA_IMAGE_WIDTH = 640;
constexpr int CAMERA_IMAGE_HEIGHT = 480;

// Converts a model result to an integer pixel by truncation toward zero. A value that is not
// a number or lies outside the 32-bit range has no pixel, and converting it would be
// undefined, so it is refused.
[[nodiscard]] bool TruncateToPixel(double value, std::int32_t& pixel);

// True when the points spread over an area rather than lying on one line or one spot, which
// every plane-to-plane solve needs; also false for a value that is not finite.
[[nodiscard]] bool PointsSpanPlane(const double* xs, const double* ys, int count);
