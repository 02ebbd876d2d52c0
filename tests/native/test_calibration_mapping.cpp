// Live pen points through the calibration: mirroring for the mounting, and the choice of model
// and table element.

#include "calibration/CalibTables.h"
#include "calibration/CalibratedMapping.h"
#include "core/DriverState.h"
#include "tests/support/CalibWorld.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <tuple>

namespace
{
const double IDENTITY_PARAMS[PARAM_COUNT] = {1, 0, 0, 0, 1, 0, 0, 0, 320, 240, 0, 0, 0};
const double IDENTITY_H[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

void LoadIdentitySixteen(std::uint16_t camera)
{
    CSixteenPointCalib& model = *SixteenPointCalibAt(camera);
    std::memcpy(model.m_dParam, IDENTITY_PARAMS, sizeof(IDENTITY_PARAMS));
    ASSERT_TRUE(model.SetModelValid(true));
}

void LoadIdentityNine(std::uint16_t camera)
{
    CNinePointCalib& model = *NinePointCalibAt(camera);
    std::memcpy(model.m_dH, IDENTITY_H, sizeof(IDENTITY_H));
    model.SetLensConstants();
    ASSERT_TRUE(model.SetModelValid(true));
}

// Whether the point mapped, and where.
using MAPPED = std::tuple<bool, int, int>;

// Unmapped results keep the caller's value, so the caller's marker shows through.
MAPPED Map(std::uint16_t camera, int x, int y)
{
    std::int32_t sx = -99999;
    std::int32_t sy = -99999;
    const bool mapped = MapCameraPoint(camera, x, y, sx, sy);
    return {mapped, sx, sy};
}
} // namespace

TEST(CalibMirror, SixteenPointModelSeesTheMountingTableAndPointsBeyondTheImageStillMap)
{
    CCalibWorld world;
    LoadIdentitySixteen(0);
    world.State().m_nCalibModel = CALIB_MODEL_SIXTEEN;
    struct CASE
    {
        int ceiling, rear, x, y;
    };
    const CASE cases[] = {{0, 0, 540, 430}, {1, 0, 100, 50},  {0, 1, 100, 430},
                          {1, 1, 540, 50},  {2, 0, 540, 430}, {1, -1, 540, 430}};
    for (const CASE& c : cases)
    {
        SCOPED_TRACE(testing::Message() << "ceiling " << c.ceiling << " rear " << c.rear);
        world.Mount(c.ceiling, c.rear);
        // The identity model shows the mirrored point itself.
        EXPECT_EQ(Map(0, 100, 50), (MAPPED{true, c.x, c.y}));
    }
    world.Mount(0, 0);
    EXPECT_EQ(Map(0, 700, 500), (MAPPED{true, -60, -20}));

    // The far ends of the 32-bit range saturate rather than overflow.
    std::int32_t mx = 0;
    std::int32_t my = 0;
    MirrorCameraPointFor(0, 0, std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max(), mx, my);
    EXPECT_EQ(mx, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(my, 480 - std::numeric_limits<std::int32_t>::max());
}

TEST(CalibMapping, NinePointModelIgnoresTheMountingAndRoundsHalfUp)
{
    CCalibWorld world;
    LoadIdentityNine(0);
    world.State().m_nCalibModel = CALIB_MODEL_NINE;
    for (int ceiling = 0; ceiling <= 1; ++ceiling)
        for (int rear = 0; rear <= 1; ++rear)
        {
            SCOPED_TRACE(testing::Message() << "ceiling " << ceiling << " rear " << rear);
            world.Mount(ceiling, rear);
            EXPECT_EQ(Map(0, 320, 240), (MAPPED{true, 320, 240}));
            // The lens sends (0, 0) to (-52, -42); adding 0.5 moves it toward zero.
            EXPECT_EQ(Map(0, 0, 0), (MAPPED{true, -51, -41}));
        }
}

// Unsolved models and other model values map nothing; each camera uses its own element (the
// two-camera pen tests see the sixteen-point model's), and a camera past the tables maps
// nothing in either model.
TEST(CalibMapping, EachCameraUsesItsOwnSolvedElementOfAKnownModel)
{
    CCalibWorld world;
    world.State().m_nCalibModel = CALIB_MODEL_SIXTEEN;
    EXPECT_EQ(Map(0, 320, 240), (MAPPED{false, -99999, -99999}));
    world.State().m_nCalibModel = CALIB_MODEL_NINE;
    NinePointCalibAt(0)->SetLensConstants();
    EXPECT_EQ(Map(0, 320, 240), (MAPPED{false, -99999, -99999}));

    LoadIdentitySixteen(0);
    LoadIdentityNine(0);
    LoadIdentityNine(1);
    // Camera 1 watches the monitor to the right: its model shifts by 1024.
    NinePointCalibAt(1)->m_dH[2] = 1024.0;
    EXPECT_EQ(Map(0, 320, 240), (MAPPED{true, 320, 240}));
    EXPECT_EQ(Map(1, 320, 240), (MAPPED{true, 1344, 240}));
    EXPECT_EQ(Map(2, 320, 240), (MAPPED{false, -99999, -99999}));
    world.State().m_nCalibModel = CALIB_MODEL_SIXTEEN;
    EXPECT_EQ(Map(2, 100, 50), (MAPPED{false, -99999, -99999}));
    for (int model : {2, -1, 1000})
    {
        world.State().m_nCalibModel = model;
        EXPECT_EQ(Map(0, 320, 240), (MAPPED{false, -99999, -99999})) << "model " << model;
    }
}
