#include "calibration/CameraCalibStore.h"

#include "calibration/CalibTables.h"
#include "core/DriverState.h"
#include "device/DeviceController.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace
{
// Values are truncated toward zero and only their low 16 bits are stored.
std::uint32_t StoredWord(double value)
{
    if (!std::isfinite(value) || std::fabs(value) >= 2147483648.0)
        return 0;
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(value)) & 0xFFFF;
}
} // namespace

bool WriteCalibrationToCamera(CDeviceController& controller)
{
    std::vector<STORED_POINT> points;
    const std::int32_t model = g_pMainDlg->m_nCalibModel;
    if (const CNinePointCalib* nine = NinePointCalibAt(0); model == CALIB_MODEL_NINE && nine)
    {
        for (const auto& point : nine->m_ptRaw)
            points.push_back({StoredWord(point.x), StoredWord(point.y)});
    }
    else if (const CSixteenPointCalib* sixteen = SixteenPointCalibAt(0);
             model == CALIB_MODEL_SIXTEEN && sixteen)
    {
        for (const auto& point : sixteen->m_ptCamera)
            points.push_back({StoredWord(point.x), StoredWord(point.y)});
    }
    return controller.WriteCalibration(points);
}

bool ReadCalibrationFromCamera(CDeviceController& controller)
{
    const std::int32_t model = g_pMainDlg->m_nCalibModel;
    const auto inImage = [](const STORED_POINT& point)
    {
        return point.x < static_cast<std::uint32_t>(CAMERA_IMAGE_WIDTH) &&
               point.y < static_cast<std::uint32_t>(CAMERA_IMAGE_HEIGHT);
    };
    if (CSixteenPointCalib* sixteen = SixteenPointCalibAt(0);
        model == CALIB_MODEL_SIXTEEN && sixteen)
    {
        const auto points = controller.ReadCalibration(CSixteenPointCalib::POINT_COUNT);
        for (std::size_t i = 0; i < points.size(); ++i)
            sixteen->m_ptCamera[i] = {static_cast<float>(points[i].x),
                                      static_cast<float>(points[i].y)};
        return points.size() == std::size_t{CSixteenPointCalib::POINT_COUNT} &&
               std::all_of(points.begin(), points.end(), inImage);
    }
    if (CNinePointCalib* nine = NinePointCalibAt(0); model == CALIB_MODEL_NINE && nine)
    {
        const auto points = controller.ReadCalibration(CNinePointCalib::POINT_COUNT);
        for (std::size_t i = 0; i < points.size(); ++i)
            nine->m_ptRaw[i] = {static_cast<std::int32_t>(points[i].x),
                                static_cast<std::int32_t>(points[i].y)};
        return points.size() == std::size_t{CNinePointCalib::POINT_COUNT} &&
               std::all_of(points.begin(), points.end(), inImage);
    }
    return true;
}
