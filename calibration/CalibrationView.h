#pragma once
// What the calibration window shows, as data: where a model's targets lie in a window that
// covers the monitor, which picture is drawn for each target (its arrow always points in from
// the middle of the screen), the background of each skin, and where the instruction goes.

#include "calibration/CalibTypes.h"

#include <cstdint>
#include <vector>

constexpr int TARGET_PICTURE_SIZE = 129;
constexpr int TARGET_PICTURE_CENTRE = 64;
// The backgrounds are drawn for this screen and stretched to the monitor.
constexpr int CALIB_BACKGROUND_WIDTH = 1024;
constexpr int CALIB_BACKGROUND_HEIGHT = 768;

// The targets the selected model's solver expects, less the monitor's top-left corner: nine
// for the nine-point model, sixteen for the sixteen-point one, none for another model.
std::vector<CALIB_POINT> TargetsInWindow(std::int32_t model, const CALIB_RECT& monitor);

// Bitmap of the target shown at index; 0 when the index is past the model's last target.
std::uint16_t TargetPicture(std::int32_t model, std::uint16_t index);

// Calibration background of a skin.
std::uint16_t CalibrationBackground(std::uint16_t skin);

// The instruction text's rectangle, from the primary screen's size.
struct TEXT_PLACE
{
    int x = 0;
    int y = 0;
    int width = 440;
    int height = 100;
};
TEXT_PLACE InstructionPlace(int cxScreen, int cyScreen);
