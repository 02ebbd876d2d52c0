#pragma once
// The step every live pen point takes from camera pixels to virtual-screen pixels, through
// the selected model of the camera that reported it. No state, no allocation: it runs on the
// reader thread for every point.

#include <cstdint>

// Mirrors a camera point for the mounting, by the two mounting flags given:
// ceiling only: unchanged; rear only: y flipped; both: x flipped; neither (or any other
// combination): both flipped. Each mirror is its own inverse.
void MirrorCameraPointFor(std::int32_t ceilingMount, std::int32_t rearProjection, std::int32_t x,
                          std::int32_t y, std::int32_t& mirroredX, std::int32_t& mirroredY);
// The same by the driver state's current mounting flags.
void MirrorCameraPoint(std::int32_t x, std::int32_t y, std::int32_t& mirroredX,
                       std::int32_t& mirroredY);

// Maps camera unit `camera`'s point to the screen. Sixteen-point model: mirrored, then the
// model; nine-point model: lens correction, then the homography, never mirrored. False, with
// the result untouched, when no model is selected, the camera has no solved or loaded model,
// or the model cannot map this point.
[[nodiscard]] bool MapCameraPoint(std::uint16_t camera, std::int32_t x, std::int32_t y,
                                  std::int32_t& screenX, std::int32_t& screenY);
