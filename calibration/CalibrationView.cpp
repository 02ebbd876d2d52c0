#include "calibration/CalibrationView.h"

#include "calibration/NinePointCalib.h"
#include "calibration/SixteenPointCalib.h"
#include "core/DriverState.h"
#include "core/Language.h"
#include "resources/resource.h"

#include <array>

namespace
{
constexpr std::array<std::uint16_t, CNinePointCalib::POINT_COUNT> NINE_POINT_PICTURES = {
    IDB_TARGET_FROM_LOWER_RIGHT, IDB_TARGET_FROM_RIGHT, IDB_TARGET_FROM_UPPER_RIGHT,
    IDB_TARGET_FROM_BELOW,       IDB_TARGET_FROM_BELOW, IDB_TARGET_FROM_ABOVE,
    IDB_TARGET_FROM_LOWER_LEFT,  IDB_TARGET_FROM_LEFT,  IDB_TARGET_FROM_UPPER_LEFT,
};

constexpr std::array<std::uint16_t, CSixteenPointCalib::POINT_COUNT> SIXTEEN_POINT_PICTURES = {
    IDB_TARGET_FROM_LOWER_RIGHT, IDB_TARGET_FROM_BELOW, IDB_TARGET_FROM_BELOW,
    IDB_TARGET_FROM_LOWER_LEFT,  IDB_TARGET_FROM_RIGHT, IDB_TARGET_FROM_BELOW,
    IDB_TARGET_FROM_BELOW,       IDB_TARGET_FROM_LEFT,  IDB_TARGET_FROM_UPPER_RIGHT,
    IDB_TARGET_FROM_ABOVE,       IDB_TARGET_FROM_ABOVE, IDB_TARGET_FROM_UPPER_LEFT,
    IDB_TARGET_FROM_UPPER_RIGHT, IDB_TARGET_FROM_ABOVE, IDB_TARGET_FROM_ABOVE,
    IDB_TARGET_FROM_UPPER_LEFT,
};

template <typename MODEL> std::vector<CALIB_POINT> Layout(const CALIB_RECT& monitor)
{
    MODEL model;
    model.m_rcMonitor = monitor;
    model.SetupTargets();
    std::vector<CALIB_POINT> targets;
    for (const CALIB_POINT& target : model.m_ptTarget)
        targets.push_back({target.x - monitor.left, target.y - monitor.top});
    return targets;
}
} // namespace

std::vector<CALIB_POINT> TargetsInWindow(std::int32_t model, const CALIB_RECT& monitor)
{
    switch (model)
    {
    case CALIB_MODEL_NINE:
        return Layout<CNinePointCalib>(monitor);
    case CALIB_MODEL_SIXTEEN:
        return Layout<CSixteenPointCalib>(monitor);
    default:
        return {};
    }
}

std::uint16_t TargetPicture(std::int32_t model, std::uint16_t index)
{
    if (model == CALIB_MODEL_NINE && index < NINE_POINT_PICTURES.size())
        return NINE_POINT_PICTURES[index];
    if (model == CALIB_MODEL_SIXTEEN && index < SIXTEEN_POINT_PICTURES.size())
        return SIXTEEN_POINT_PICTURES[index];
    return 0;
}

std::uint16_t CalibrationBackground(std::uint16_t skin)
{
    switch (skin)
    {
    case SKIN_JAPANESE:
        return IDB_CALIB_BACK_JAPANESE;
    case SKIN_VELMARA:
        return IDB_CALIB_BACK_VELMARA;
    default:
        return IDB_CALIB_BACK;
    }
}

TEXT_PLACE InstructionPlace(int cxScreen, int cyScreen)
{
    TEXT_PLACE place;
    place.x = cxScreen / 2 - 225;
    place.y = cyScreen / 2 + 80;
    return place;
}
