#include "device/ScreenAreas.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

namespace
{
MONITOR_DESC Monitor(int left, int top, int right, int bottom, bool primary, const wchar_t* name)
{
    const auto handle = static_cast<MonitorHandle>(0x100 + left + 7 * top);
    return {handle, left, top, right, bottom, name, primary};
}

std::vector<int> Rect(const MONITOR_AREA& area)
{
    return {area.rect[0], area.rect[1], area.rect[2], area.rect[3]};
}

class ScreenAreas : public ::testing::Test
{
protected:
    ScreenAreas() : m_scope(m_platform) {}
    // The monitors the system lists (none given: the fake's single 1024 x 768 one), then the
    // areas built from them.
    void Enumerate(std::vector<MONITOR_DESC> monitors = {})
    {
        if (!monitors.empty())
        {
            m_platform.m_metrics[METRIC_CMONITORS] = static_cast<int>(monitors.size());
            m_platform.m_monitors = std::move(monitors);
        }
        m_areas.Init();
        m_areas.Enumerate();
    }

    CFakePlatform m_platform;
    CScopedPlatform m_scope;
    CScreenAreas m_areas;
};
} // namespace

TEST_F(ScreenAreas, SecondaryLeftOfThePrimaryEnumeratedFirstKeepsItsNegativeEdgeInAreaOne)
{
    Enumerate({Monitor(-1280, -200, 0, 824, false, L"\\\\.\\DISPLAY2"),
               Monitor(0, 0, 1920, 1080, true, L"\\\\.\\DISPLAY1")});
    ASSERT_EQ(m_areas.GetCount(), 2);
    MONITOR_AREA* table = m_areas.GetAreas();
    EXPECT_EQ(Rect(table[0]), (std::vector<int>{0, 0, 1920, 1080}));
    EXPECT_EQ(Rect(table[1]), (std::vector<int>{-1280, -200, 0, 824}));
    EXPECT_TRUE(CScreenAreas::Contains(table[1], -5, 0));
    EXPECT_FALSE(CScreenAreas::Contains(table[1], -1280, 0));
    // Flags, names and handles follow the enumeration order.
    EXPECT_EQ(table[0].primary, 0);
    EXPECT_EQ(table[1].primary, 1);
    EXPECT_EQ(std::wstring(table[0].deviceName, 12), L"\\\\.\\DISPLAY2");
    EXPECT_EQ(table[1].hMonitor, static_cast<MonitorHandle>(0x100));
}

TEST_F(ScreenAreas, OneMonitorGivesTheSecondCameraAnEmptyAreaAndMoreLaterNeverWritePastIt)
{
    m_platform.SetSingleMonitor(1280, 1024);
    Enumerate();
    // The tracker indexes the table by camera number; a pen seen only by camera 1 must find
    // an area there that holds no point.
    ASSERT_GE(m_areas.GetCapacity(), 2);
    EXPECT_EQ(Rect(m_areas.GetAreas()[0]), (std::vector<int>{0, 0, 1280, 1024}));
    EXPECT_EQ(Rect(m_areas.GetAreas()[1]), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_FALSE(CScreenAreas::Contains(m_areas.GetAreas()[1], 0, 0));

    // Three monitors appear later; the table keeps the size it was first given.
    Enumerate({Monitor(0, 0, 1024, 768, false, L"\\\\.\\DISPLAY3"),
               Monitor(1024, 0, 2048, 768, false, L"\\\\.\\DISPLAY2"),
               Monitor(0, 0, 800, 600, true, L"\\\\.\\DISPLAY1")});
    EXPECT_EQ(m_areas.GetCount(), 3);
    EXPECT_EQ(m_areas.GetCapacity(), 2);
    EXPECT_EQ(g_nAreaIndex, 2);
    // The enumeration stopped before the primary monitor, so area 0 keeps the old one.
    EXPECT_EQ(Rect(m_areas.GetAreas()[0]), (std::vector<int>{0, 0, 1280, 1024}));
    EXPECT_EQ(Rect(m_areas.GetAreas()[1]), (std::vector<int>{1024, 0, 2048, 768}));
}
