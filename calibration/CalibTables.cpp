#include "calibration/CalibTables.h"

#include "core/DriverState.h"

#include <utility>

CNinePointCalib* g_pNinePointCalib = nullptr;
CSixteenPointCalib* g_pSixteenPointCalib = nullptr;
std::uint16_t g_nNinePointCalibCount = 0;
std::uint16_t g_nSixteenPointCalibCount = 0;

namespace
{
template <typename T> bool AllocateTable(T*& table, std::uint16_t& count, std::uint16_t needed)
{
    if (needed == 0)
        return table != nullptr;
    if (table && count >= needed)
        return true;
    T* grown = new T[needed];
    for (std::uint16_t k = 0; k < count; ++k)
        grown[k] = std::move(table[k]);
    delete[] table;
    table = grown;
    count = needed;
    return true;
}

template <typename T> void ReleaseTable(T*& table, std::uint16_t& count)
{
    delete[] table;
    table = nullptr;
    count = 0;
}
} // namespace

bool AllocateNinePointCalib(std::uint16_t cameraCount)
{
    return AllocateTable(g_pNinePointCalib, g_nNinePointCalibCount, cameraCount);
}

bool AllocateSixteenPointCalib(std::uint16_t cameraCount)
{
    return AllocateTable(g_pSixteenPointCalib, g_nSixteenPointCalibCount, cameraCount);
}

bool AllocateCalibTables(std::uint16_t cameraCount)
{
    const bool nine = AllocateNinePointCalib(cameraCount);
    const bool sixteen = AllocateSixteenPointCalib(cameraCount);
    return nine && sixteen;
}

void ReleaseCalibTables()
{
    ReleaseTable(g_pNinePointCalib, g_nNinePointCalibCount);
    ReleaseTable(g_pSixteenPointCalib, g_nSixteenPointCalibCount);
}

CNinePointCalib* NinePointCalibAt(std::uint16_t camera)
{
    return g_pNinePointCalib && camera < g_nNinePointCalibCount ? &g_pNinePointCalib[camera]
                                                                : nullptr;
}

CSixteenPointCalib* SixteenPointCalibAt(std::uint16_t camera)
{
    return g_pSixteenPointCalib && camera < g_nSixteenPointCalibCount
               ? &g_pSixteenPointCalib[camera]
               : nullptr;
}

bool PrepareCalibTargets(std::uint16_t camera, const CALIB_RECT& monitor)
{
    CNinePointCalib* nine = NinePointCalibAt(camera);
    CSixteenPointCalib* sixteen = SixteenPointCalibAt(camera);
    if (!nine || !sixteen)
        return false;
    nine->m_rcMonitor = monitor;
    sixteen->m_rcMonitor = monitor;
    nine->SetupTargets();
    sixteen->SetupTargets();
    nine->SetLensConstants();
    return true;
}

bool RecomputeCalibration()
{
    if (!g_pMainDlg)
        return false;
    switch (g_pMainDlg->m_nCalibModel.load(std::memory_order_relaxed))
    {
    case CALIB_MODEL_NINE:
    {
        CNinePointCalib* nine = NinePointCalibAt(0);
        if (!nine)
            return false;
        for (int i = 0; i < CNinePointCalib::POINT_COUNT; ++i)
        {
            std::int32_t x = 0;
            std::int32_t y = 0;
            if (!nine->CorrectLens(nine->m_ptRaw[i].x, nine->m_ptRaw[i].y, x, y))
                return false;
            nine->m_ptCorrected[i] = {static_cast<float>(x), static_cast<float>(y)};
        }
        return nine->SolveHomography();
    }
    case CALIB_MODEL_SIXTEEN:
    {
        CSixteenPointCalib* sixteen = SixteenPointCalibAt(0);
        if (!sixteen)
            return false;
        sixteen->CopyTargetsToFloat();
        return sixteen->FitModel();
    }
    default:
        return false;
    }
}
