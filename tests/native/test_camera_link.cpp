// The camera link against simulated units: listing, opening, numbered commands and
// firmware detection.

#include "device/CameraLink.h"
#include "device/DeviceGlobals.h"
#include "tests/support/DeviceWorld.h"

#include <gtest/gtest.h>

// The version reply decides the firmware form and whether the settings live in the camera; a
// version that is not a number or a unit that never replies fails the detection and leaves the
// settings flag alone. A silent unit's record is marked once the reply wait is over, on the
// simulated clock, though it is no whole number of read time-outs.
TEST(CameraFirmware, TheVersionReplyDecidesTheFormAndWhereTheSettingsLive)
{
    const struct
    {
        const char* scenario;
        bool ok;
        double version;
        std::int32_t valid;
        std::int32_t settingsInDevice;
        int silentUnit;
    } cases[] = {
        {"units 1\nunit 0 minor 0x23", true, 1.23, 1, 1, -1},
        {"units 1\nunit 0 minor 0x05", true, 1.0, 0, 0, -1},
        {"units 1\nunit 0 fault letters", false, 0.0, 0, -7, -1},
        // The minor byte never came: the settings are not trusted to the camera.
        {"units 1\nunit 0 minor 0x23\nunit 0 fault firstversion", true, 1.0, 0, 0, -1},
        {"units 1\nunit 0 fault noversion", false, 0.0, 0, -7, 0},
        {"units 2\nunit 0 minor 0x23\nunit 1 fault noversion", false, 0.0, 0, -7, 1},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.scenario);
        CDeviceWorld world(c.scenario);
        g_bSettingsInDevice = -7;
        CCameraLink link;
        const auto units = static_cast<std::uint16_t>(world.m_bus->AttachedUnits());
        ASSERT_TRUE(OpenUnits(link, units));
        const std::uint64_t before = world.m_bus->NowMicros();
        EXPECT_EQ(link.DetectFirmware(), c.ok);
        EXPECT_EQ(link.m_bFailed, c.ok ? 0 : 1);
        EXPECT_EQ(g_bSettingsInDevice, c.settingsInDevice);
        if (c.ok)
        {
            EXPECT_DOUBLE_EQ(link.GetRecords()[0].firmwareVersion, c.version);
            EXPECT_EQ(link.m_bVersionValid, c.valid);
        }
        if (c.silentUnit < 0)
            continue;
        for (int unit = 0; unit < units; ++unit)
            EXPECT_EQ(link.GetRecords()[unit].count,
                      unit == c.silentUnit ? CAMERA_RECORD_UNREADABLE : units);
        const std::uint64_t waited = world.m_bus->NowMicros() - before;
        EXPECT_GE(waited, VERSION_REPLY_WAIT_MS * 1000u);
        EXPECT_LE(waited, VERSION_REPLY_WAIT_MS * 1000u * units + 2'000u);
    }
}

// Seventeen units are more than the array holds: counted, but none of them listed.
TEST(CameraListing, UnitsAreCountedAndNeverWrittenPastTheArray)
{
    for (const int units : {3, 17})
    {
        CDeviceWorld world("units " + std::to_string(units));
        CCameraLink link;
        (void)link.BindLibrary();
        std::uint32_t locations[LOCATION_SLOTS + 1] = {};
        locations[LOCATION_SLOTS] = 0xDEADBEEF;
        std::uint16_t count = 0;
        ASSERT_EQ(link.ListDevices(locations, &count), FT_OK);
        EXPECT_EQ(count, units);
        EXPECT_EQ(locations[0] != 0u, units == 3) << units;
        EXPECT_EQ(locations[LOCATION_SLOTS], 0xDEADBEEFu) << units;
    }
}

TEST(CameraCommands, OpenConfiguresTheLinkAndCommandsAndSettingReadsGoThrough)
{
    CDeviceWorld world("units 1\nunit 0 set 7 1\nunit 0 set 9 0x26");
    CCameraLink link;
    ASSERT_TRUE(OpenUnits(link, 1));
    const SIM_LINK_RECORD linkRecord = world.m_bus->LinkRecord(0);
    EXPECT_EQ(linkRecord.baudRate, 460800u);
    EXPECT_EQ(linkRecord.readTimeoutMs, 300u);
    EXPECT_EQ(linkRecord.purgesRx, 1);
    // The reset pass writes stream off twice before the camera is opened for good.
    EXPECT_EQ(world.Packets(0),
              (std::vector<std::string>{"24 01 00 00 00 26", "24 01 00 00 00 26"}));
    world.ClearPackets();
    // The image sizes first: the stream commands after them leave the size as it was.
    for (int code : {6, 7, 8, 9, 2, 3, 4, 5})
        EXPECT_TRUE(link.SendCommand(0, code));
    EXPECT_FALSE(link.SendCommand(0, 10));
    EXPECT_FALSE(link.SendCommand(0, 1));
    EXPECT_EQ(world.Packets(0), (std::vector<std::string>{
                                    "24 06 00 00 00 26", "24 06 00 00 01 26", "24 06 00 00 03 26",
                                    "24 06 00 00 05 26", "24 07 00 00 01 26", "24 07 00 00 00 26",
                                    "24 01 00 00 01 26", "24 01 00 00 00 26"}));
    EXPECT_EQ(link.GetRecords()[0].imageWidth, 160);
    EXPECT_EQ(link.GetRecords()[0].imageHeight, 120);

    const auto read7 = protocol::SettingRead(7);
    ASSERT_TRUE(link.WritePacket(0, read7.data(), 6, nullptr));
    EXPECT_EQ(link.ReadReply(0), 1);
    const auto read9 = protocol::SettingRead(9);
    ASSERT_TRUE(link.WritePacket(0, read9.data(), 6, nullptr));
    // A stored '&' ends the reply early at byte 5: it reads back as itself.
    EXPECT_EQ(link.ReadReply(0), 0x26);
    // No read was asked for: nothing comes, and the wait is bounded.
    const std::uint64_t before = world.m_bus->NowMicros();
    EXPECT_EQ(link.ReadReply(0), 0);
    const std::uint64_t waited = world.m_bus->NowMicros() - before;
    EXPECT_GE(waited, SETTING_REPLY_WAIT_MS * 1000u);
    EXPECT_LE(waited, SETTING_REPLY_WAIT_MS * 1000u + 2'000u);
}
