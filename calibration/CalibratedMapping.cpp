#include "calibration/CalibratedMapping.h"

#include "calibration/CalibTables.h"
#include "core/DriverState.h"

#include <algorithm>
#include <limits>

namespace
{
// 640 - x for any 32-bit x: the packet format allows points far outside the image, and the
// mirror of such a point must not overflow.
std::int32_t Flip(std::int32_t extent, std::int32_t value)
{
    const std::int64_t flipped = static_cast<std::int64_t>(extent) - value;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(flipped, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}
} // namespace

void MirrorCameraPointFor(std::int32_t ceilingMount, std::int32_t rearProjection, std::int32_t x,
                          std::int32_t y, std::int32_t& mirroredX, std::int32_t& mirroredY)
{
    if (ceilingMount == 1 && rearProjection == 0)
    {
        mirroredX = x;
        mirroredY = y;
    }
    else if (ceilingMount == 0 && rearProjection == 1)
    {
        mirroredX = x;
        mirroredY = Flip(CAMERA_IMAGE_HEIGHT, y);
    }
    else if (ceilingMount == 1 && rearProjection == 1)
    {
        mirroredX = Flip(CAMERA_IMAGE_WIDTH, x);
        mirroredY = y;
    }
    else
    {
        mirroredX = Flip(CAMERA_IMAGE_WIDTH, x);
        mirroredY = Flip(CAMERA_IMAGE_HEIGHT, y);
    }
}

void MirrorCameraPoint(std::int32_t x, std::int32_t y, std::int32_t& mirroredX,
                       std::int32_t& mirroredY)
{
    const std::int32_t ceiling =
        g_pMainDlg ? g_pMainDlg->m_bCeilingMount.load(std::memory_order_relaxed) : 0;
    const std::int32_t rear =
        g_pMainDlg ? g_pMainDlg->m_bRearProjection.load(std::memory_order_relaxed) : 0;
    MirrorCameraPointFor(ceiling, rear, x, y, mirroredX, mirroredY);
}

bool MapCameraPoint(std::uint16_t camera, std::int32_t x, std::int32_t y, std::int32_t& screenX,
                    std::int32_t& screenY)
{
    if (!g_pMainDlg)
        return false;
    switch (g_pMainDlg->m_nCalibModel.load(std::memory_order_relaxed))
    {
    case CALIB_MODEL_SIXTEEN:
    {
        const CSixteenPointCalib* model = SixteenPointCalibAt(camera);
        if (!model || !model->IsModelValid())
            return false;
        std::int32_t mx = 0;
        std::int32_t my = 0;
        MirrorCameraPoint(x, y, mx, my);
        return model->MapPoint(mx, my, screenX, screenY);
    }
    case CALIB_MODEL_NINE:
    {
        const CNinePointCalib* model = NinePointCalibAt(camera);
        if (!model || !model->IsModelValid())
            return false;
        std::int32_t cx = 0;
        std::int32_t cy = 0;
        if (!model->CorrectLens(x, y, cx, cy))
            return false;
        return model->ApplyHomography(cx, cy, screenX, screenY);
    }
    default:
        return false;
    }
}
