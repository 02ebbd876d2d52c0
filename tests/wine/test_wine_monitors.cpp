// Monitor enumeration through the Win32 side of the seam. The test display has two screens
// side by side joined by Xinerama, so Windows reports a primary monitor at (0, 0) and a second
// one to its right.

#include "device/ScreenAreas.h"
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

TEST(WineMonitors, TwoMonitorsSideBySideFillBothAreasWithThePrimaryInAreaZero)
{
    CWin32Platform platform;
    SetPlatform(&platform);
    ASSERT_EQ(platform.GetSystemMetric(METRIC_CMONITORS), 2)
        << "the test display must have two screens";

    std::vector<MONITOR_DESC> seen;
    platform.EnumerateMonitors(
        [&](const MONITOR_DESC& monitor)
        {
            seen.push_back(monitor);
            return true;
        });
    ASSERT_EQ(seen.size(), 2u);
    const int primaries = int(seen[0].primary) + int(seen[1].primary);
    EXPECT_EQ(primaries, 1);
    const MONITOR_DESC& primary = seen[0].primary ? seen[0] : seen[1];
    const MONITOR_DESC& other = seen[0].primary ? seen[1] : seen[0];
    EXPECT_EQ(primary.left, 0);
    EXPECT_EQ(primary.top, 0);
    EXPECT_EQ(other.left, primary.right) << "the second monitor must be beside the primary";
    EXPECT_EQ(other.top, primary.top);

    CScreenAreas areas;
    areas.Init();
    areas.Enumerate();
    ASSERT_EQ(areas.GetCount(), 2);
    const MONITOR_AREA* table = areas.GetAreas();
    EXPECT_EQ(table[0].rect[0], primary.left);
    EXPECT_EQ(table[0].rect[2], primary.right);
    EXPECT_EQ(table[0].rect[3], primary.bottom);
    EXPECT_EQ(table[1].rect[0], other.left);
    EXPECT_EQ(table[1].rect[2], other.right);
    EXPECT_EQ(table[1].rect[3], other.bottom);
    EXPECT_EQ(table[0].primary + table[1].primary, 1);
    EXPECT_EQ(std::wstring(table[0].deviceName, 4), L"\\\\.\\");
    EXPECT_EQ(platform.GetSystemMetric(METRIC_CXSCREEN), primary.right - primary.left);
    int width = 0;
    int height = 0;
    ASSERT_TRUE(platform.GetCurrentDisplayMode(width, height));
    EXPECT_EQ(width, primary.right - primary.left);
    EXPECT_EQ(height, primary.bottom - primary.top);
    SetPlatform(nullptr);
}
