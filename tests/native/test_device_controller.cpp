// The device lifecycle against simulated units: start-up checks, pen tracking, the image
// stream and the setting store of camera 0, asserted on the packets each unit received.

#include "calibration/CalibTables.h"
#include "calibration/CameraCalibStore.h"
#include "core/DriverState.h"
#include "device/DeviceController.h"
#include "device/DeviceGlobals.h"
#include "shell/Driver.h"
#include "tests/support/DeviceWorld.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
const std::string STREAM_ON = "24 01 00 00 01 26";
const std::string STREAM_OFF = "24 01 00 00 00 26";
const std::string IMAGE_OFF = "24 06 00 00 00 26";

// The driver's state record over a simulated world, published as g_pMainDlg.
struct CControllerWorld : CDeviceWorld
{
    explicit CControllerWorld(const std::string& scenario, int monitors = 2)
        : CDeviceWorld(scenario)
    {
        m_platform.SetMonitors(monitors, 1024, 768);
        m_pState = std::make_unique<CDriver>();
        g_pMainDlg = m_pState.get();
    }
    ~CControllerWorld()
    {
        m_pState.reset();
        g_pMainDlg = nullptr;
    }
    CDeviceController& Controller() { return m_pState->m_controller; }
    std::unique_ptr<CDriverState> m_pState;
};
} // namespace

// Three cameras, or two on one monitor, fail start-up with the flag; none is no failure. A
// refused listing stops start-up before any camera is opened or written to.
TEST(DeviceStartup, TooManyCamerasFailWithTheFlagAndNoneFailsWithout)
{
    const struct
    {
        int units;
        int monitors;
        std::int32_t failed;
    } cases[] = {{3, 2, 1}, {2, 1, 1}, {0, 2, 0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.units << " units, " << c.monitors << " monitors");
        CControllerWorld world("units " + std::to_string(c.units), c.monitors);
        EXPECT_FALSE(world.Controller().StartDevices());
        EXPECT_EQ(world.Controller().IsFailed(), c.failed);
        for (int unit = 0; unit < c.units && c.units > 2; ++unit)
            EXPECT_TRUE(world.Packets(unit).empty()) << unit;
    }
    EXPECT_EQ(g_nDeviceCount, 0);
}

TEST(DeviceStartup, TwoCamerasAreTiedToTheirMonitorsAndTheImageStreamUsesOne)
{
    CControllerWorld world("units 2");
    ASSERT_TRUE(world.Controller().StartDevices());
    EXPECT_EQ(g_nDeviceCount, 2);
    EXPECT_EQ(g_pMonitorAreas.load(), world.Controller().GetAreas());
    const CAMERA_RECORD* records = world.Controller().GetRecords();
    EXPECT_EQ(records[1].monitorIndex, 1);
    EXPECT_EQ(records[1].monitorRect[0], 1024);
    ASSERT_NE(NinePointCalibAt(1), nullptr);
    ASSERT_NE(SixteenPointCalibAt(1), nullptr);
    // Second monitor at (1024, 0): nine-point margins from its right edge.
    EXPECT_EQ(NinePointCalibAt(1)->m_ptTarget[0].x, 1224);
    EXPECT_EQ(SixteenPointCalibAt(0)->m_ptTarget[1].x, 354);

    // The image stream asks the one camera for small frames; tracking stops it first.
    world.ClearPackets();
    ASSERT_TRUE(world.Controller().StartImageStream(1));
    EXPECT_EQ(world.Controller().StopImageStream(), 1);
    EXPECT_EQ(world.Packets(1),
              (std::vector<std::string>{STREAM_OFF, STREAM_ON, "24 06 00 00 05 26",
                                        "24 07 00 00 01 26", STREAM_OFF}));
    EXPECT_EQ(world.Packets(0), (std::vector<std::string>{STREAM_OFF, STREAM_ON, STREAM_OFF}));
    ASSERT_TRUE(world.Controller().StartImageStream(1));
    EXPECT_EQ(world.Controller().GetRecords()[1].imageWidth, 160);
    world.ClearPackets();
    ASSERT_TRUE(world.Controller().StartPenTracking());
    world.Controller().StopDevices();

    for (int unit = 0; unit < 2; ++unit)
    {
        std::vector<std::string> expected = {STREAM_OFF, STREAM_OFF};
        for (const auto& packet : protocol::TRACKING_SETUP)
            expected.push_back(HexPacket(packet));
        expected.insert(expected.end(), {IMAGE_OFF, STREAM_ON, STREAM_OFF});
        EXPECT_EQ(world.Packets(unit), expected) << "unit " << unit;
    }
}

TEST(DeviceTracking, TrackingAsksTheBridgeForEachPacketAtOnceWhenTheLibraryCan)
{
    for (const bool bridgeSettings : {true, false})
    {
        CControllerWorld world("units 1");
        if (!bridgeSettings)
            world.m_platform.m_libraries[L"ftd2xx.dll"].erase("FT_SetChars");
        ASSERT_TRUE(world.Controller().StartDevices());
        ASSERT_TRUE(world.Controller().StartPenTracking());
        world.Controller().StopDevices();
        EXPECT_TRUE(world.m_platform.m_boxes.empty());
        const SIM_BRIDGE_SETTINGS bridge =
            world.m_bus->WithUnit(0, [](CSimUnit& u) { return u.Bridge().Settings(); });
        EXPECT_EQ(bridge.latencyMs, 16u);
        EXPECT_EQ(bridge.eventCharOn, bridgeSettings);
        EXPECT_EQ(bridge.eventChar, bridgeSettings ? '&' : 0);
    }
}

TEST(DeviceSettingStore, SettingsAndOptionsRoundTripThroughTheCamera)
{
    CControllerWorld world("units 1\nunit 0 minor 0x23");
    ASSERT_TRUE(world.Controller().StartDevices());
    CDriverState& state = *world.m_pState;
    state.m_nDeviceSetting2 = 9;
    state.m_nDeviceSetting3 = 2;
    state.m_bCalibrated = 1;
    state.m_bCeilingMount = 0;
    state.m_nDeviceSetting6 = 1;
    state.m_nCalibModel = CALIB_MODEL_NINE;
    state.m_nInkoraPenMode = 2;
    state.m_bRearProjection = 1;
    world.ClearPackets();
    world.m_platform.m_sleeps.clear();
    world.Controller().WriteSettings();
    const auto written = world.Packets(0);
    EXPECT_EQ(written, (std::vector<std::string>{
                           STREAM_OFF, "24 0B 00 02 09 26", "24 0B 00 03 02 26",
                           "24 0B 00 04 01 26", "24 0B 00 05 00 26", "24 0B 00 06 01 26",
                           "24 0B 00 07 01 26", "24 0B 00 08 02 26", "24 0B 00 0B 01 26"}));
    // The pauses go through the platform's clock: ten of 15 ms, none of them real.
    EXPECT_EQ(world.m_platform.m_sleeps, std::vector<std::uint32_t>(10, 15));

    // Every value is overwritten by what the camera holds; ceiling and rear differ, so neither
    // can be read from the other's address.
    state.m_nDeviceSetting2 = state.m_nDeviceSetting3 = state.m_bCalibrated = 5;
    state.m_bCeilingMount = state.m_nDeviceSetting6 = state.m_nCalibModel = 5;
    state.m_nInkoraPenMode = state.m_bRearProjection = 5;
    const auto settings = [&state]
    {
        return std::vector<std::int32_t>{state.m_nDeviceSetting2, state.m_nDeviceSetting3,
                                         state.m_bCalibrated,     state.m_bCeilingMount,
                                         state.m_nDeviceSetting6, state.m_nCalibModel,
                                         state.m_nInkoraPenMode,  state.m_bRearProjection};
    };
    world.Controller().ReadSettings();
    EXPECT_EQ(settings(), (std::vector<std::int32_t>{9, 2, 1, 0, 1, CALIB_MODEL_NINE, 2, 1}));

    // Settings 3 and 6 out of their range read back as zero; setting 2 has no range.
    world.m_bus->Execute("unit 0 set 3 3\nunit 0 set 6 3\nunit 0 set 2 200");
    world.Controller().ReadSettings();
    EXPECT_EQ(settings(), (std::vector<std::int32_t>{200, 0, 1, 0, 0, CALIB_MODEL_NINE, 2, 1}));

    // The options alone, in their order after stream off.
    state.m_bCeilingMount = 1;
    state.m_nCalibModel = 1;
    state.m_bRearProjection = 0;
    world.ClearPackets();
    world.Controller().WriteOptions();
    EXPECT_EQ(world.Packets(0),
              (std::vector<std::string>{STREAM_OFF, "24 0B 00 05 01 26", "24 0B 00 07 01 26",
                                        "24 0B 00 0B 00 26", "24 0B 00 04 01 26"}));
}

// Sixteen-point camera points come back truncated, nine-point raw points as their low 16 bits.
// Point 3 lies below the camera image and point 8 left of it: no calibration can have taken them,
// so the read fails, but they are read all the same.
TEST(DeviceSettingStore, CalibrationPointsComeBackAsTheirStoredWords)
{
    CControllerWorld world("units 1");
    ASSERT_TRUE(world.Controller().StartDevices());
    world.m_pState->m_nCalibModel = CALIB_MODEL_SIXTEEN;
    CSixteenPointCalib& sixteen = *SixteenPointCalibAt(0);
    const auto sixteenPoint = [](int i)
    {
        return i == 3 ? CALIB_POINT_F{300.5f, 65535.9f}
                      : CALIB_POINT_F{40.75f + 37.0f * float(i), 479.9f - 11.5f * float(i)};
    };
    for (int i = 0; i < CSixteenPointCalib::POINT_COUNT; ++i)
        sixteen.m_ptCamera[i] = sixteenPoint(i);
    ASSERT_TRUE(WriteCalibrationToCamera(world.Controller()));
    const auto store = world.m_bus->SettingStore(0);
    // Point 0 x is word 0: high byte at 13, low byte at 45.
    EXPECT_EQ(store[13] * 256 + store[45], 40);
    for (auto& point : sixteen.m_ptCamera)
        point = {-1.0f, -1.0f};
    EXPECT_FALSE(ReadCalibrationFromCamera(world.Controller()));
    for (int i = 0; i < CSixteenPointCalib::POINT_COUNT; ++i)
    {
        EXPECT_EQ(sixteen.m_ptCamera[i].x, std::trunc(sixteenPoint(i).x)) << i;
        EXPECT_EQ(sixteen.m_ptCamera[i].y, std::trunc(sixteenPoint(i).y)) << i;
    }

    world.m_pState->m_nCalibModel = CALIB_MODEL_NINE;
    CNinePointCalib& nine = *NinePointCalibAt(0);
    const auto ninePoint = [](int i) {
        return i == 8 ? CALIB_POINT{-2, 65636} : CALIB_POINT{100 + 50 * i, 400 - 30 * i};
    };
    for (int i = 0; i < CNinePointCalib::POINT_COUNT; ++i)
        nine.m_ptRaw[i] = ninePoint(i);
    world.ClearPackets();
    world.m_platform.m_sleeps.clear();
    ASSERT_TRUE(WriteCalibrationToCamera(world.Controller()));
    // Two bytes per word, two words per point, each byte after a pause.
    EXPECT_EQ(world.Packets(0).size(), 9u * 2 * 2);
    EXPECT_EQ(world.m_platform.m_sleeps.size(), 9u * 2 * 2);
    for (auto& point : nine.m_ptRaw)
        point = {0, 0};
    EXPECT_FALSE(ReadCalibrationFromCamera(world.Controller()));
    for (int i = 0; i < CNinePointCalib::POINT_COUNT; ++i)
    {
        EXPECT_EQ(nine.m_ptRaw[i].x, ninePoint(i).x & 0xFFFF) << i;
        EXPECT_EQ(nine.m_ptRaw[i].y, ninePoint(i).y & 0xFFFF) << i;
    }
}
