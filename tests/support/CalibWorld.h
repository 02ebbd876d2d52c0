#pragma once
// A driver state record and two cameras' calibration tables for one test, on a fake platform
// with one 1024 x 768 monitor; the previous record is restored and the tables released after.
// And the noise-free capture of a sixteen-point model through simulated optics.

#include "calibration/CalibTables.h"
#include "calibration/CalibratedMapping.h"
#include "core/DriverState.h"
#include "shell/Driver.h"
#include "sim/Optics.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <memory>

class CCalibWorld
{
public:
    CCalibWorld() : m_scope(m_platform)
    {
        m_platform.SetSingleMonitor(1024, 768);
        m_pState = std::make_unique<CDriver>();
        m_pPrevious = g_pMainDlg;
        g_pMainDlg = m_pState.get();
        AllocateCalibTables(2);
    }
    ~CCalibWorld()
    {
        ReleaseCalibTables();
        g_pMainDlg = m_pPrevious;
    }
    CCalibWorld(const CCalibWorld&) = delete;
    CCalibWorld& operator=(const CCalibWorld&) = delete;

    CDriverState& State() { return *m_pState; }
    void Mount(int ceiling, int rear)
    {
        m_pState->m_bCeilingMount = ceiling;
        m_pState->m_bRearProjection = rear;
    }

private:
    CFakePlatform m_platform;
    CScopedPlatform m_scope;
    std::unique_ptr<CDriverState> m_pState;
    CDriverState* m_pPrevious = nullptr;
};

// The simulator's standard front view of a 1024 x 768 monitor through a mild lens.
inline SIM_OPTICS_CONFIG MildLensView(double fill = 0.85)
{
    SIM_OPTICS_CONFIG config;
    PlaceCentredView(config, fill, 0.05);
    config.k1 = -0.05;
    return config;
}

// Fills a sixteen-point model's camera points from the optics, mirrored as the capture does.
inline void CaptureSixteen(CSixteenPointCalib& model, CSimOptics& optics)
{
    for (int k = 0; k < CSixteenPointCalib::POINT_COUNT; ++k)
    {
        std::int32_t x = 0;
        std::int32_t y = 0;
        ASSERT_TRUE(optics.ScreenToCamera(model.m_ptTarget[k].x, model.m_ptTarget[k].y, x, y));
        MirrorCameraPointFor(optics.Config().ceilingMount, optics.Config().rearProjection, x, y, x,
                             y);
        model.m_ptCamera[k] = {static_cast<float>(x), static_cast<float>(y)};
    }
    model.CopyTargetsToFloat();
}
