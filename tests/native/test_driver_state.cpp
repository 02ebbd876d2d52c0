#include "shell/DriverState.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

TEST(DriverState, FreshRecordSelectsSixteenPointModelWithoutMountingFlags)
{
    CFakePlatform platform;
    platform.SetSingleMonitor(1280, 1024);
    CScopedPlatform scope(platform);
    CDriverState state;
    EXPECT_EQ(state.m_nWizardOrigin, -1);
    EXPECT_EQ(state.m_nCalibModel, CALIB_MODEL_SIXTEEN);
    EXPECT_EQ(state.m_bCeilingMount, 0);
    EXPECT_EQ(state.m_bRearProjection, 0);
    EXPECT_EQ(state.m_nRunState, RUN_STATE_BUSY);
    EXPECT_EQ(state.m_cxScreen, 1280);
    EXPECT_EQ(state.m_cyScreen, 1024);
}
