#pragma once
// A driver state record and two cameras' calibration tables for one test, on a fake platform
// with one 1024 x 768 monitor; the previous record is restored and the tables released after.

#include "calibration/CalibTables.h"
#include "core/DriverState.h"
#include "shell/Driver.h"
#include "sim/Optics.h"
#include "tests/support/FakePlatform.h"

class CCalibWorld
{
public:
    CCalibWorld() : m_scope(m_platform)
    {
        g_pMainDlg = &m_state;
        AllocateCalibTables(2);
    }
    ~CCalibWorld()
    {
        ReleaseCalibTables();
        g_pMainDlg = m_pPrevious;
    }

    CDriverState& State() { return m_state; }
    void Mount(int ceiling, int rear)
    {
        m_state.m_bCeilingMount = ceiling;
        m_state.m_bRearProjection = rear;
    }

private:
    CFakePlatform m_platform;
    CScopedPlatform m_scope;
    CDriver m_state;
    CDriverState* m_pPrevious = g_pMainDlg;
};

// The simulator's standard front view of a 1024 x 768 monitor through a mild lens.
inline SIM_OPTICS_CONFIG MildLensView(double fill = 0.85)
{
    SIM_OPTICS_CONFIG config;
    PlaceCentredView(config, fill, 0.05);
    config.k1 = -0.05;
    return config;
}
