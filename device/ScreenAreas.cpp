#include "device/ScreenAreas.h"

#include <algorithm>

std::uint16_t g_nAreaIndex = 0;

void CScreenAreas::Init()
{
    const int monitors = Platform().GetSystemMetric(METRIC_CMONITORS);
    m_nCount = static_cast<std::uint16_t>(std::clamp(monitors, 0, 0xFFFF));
    g_nAreaIndex = 0;
    // The table keeps the size of the first Init: a monitor added later is not tracked.
    if (!m_pTable)
    {
        m_nCapacity = std::max(m_nCount, AREA_ROLES);
        m_pTable = std::make_unique<MONITOR_AREA[]>(m_nCapacity);
    }
}

void CScreenAreas::Enumerate()
{
    Platform().EnumerateMonitors([this](const MONITOR_DESC& monitor)
                                 { return MonitorEnumProc(monitor); });
}

bool CScreenAreas::MonitorEnumProc(const MONITOR_DESC& monitor)
{
    const std::uint16_t limit = std::min(m_nCount, m_nCapacity);
    if (!m_pTable || g_nAreaIndex >= limit)
        return false;
    MONITOR_AREA& entry = m_pTable[g_nAreaIndex];
    entry.hMonitor = monitor.hMonitor;
    std::fill(std::begin(entry.deviceName), std::end(entry.deviceName), L'\0');
    std::copy_n(monitor.deviceName.begin(),
                std::min<std::size_t>(monitor.deviceName.size(), std::size(entry.deviceName)),
                entry.deviceName);
    // Rectangles go by role, not by enumeration order.
    const std::uint16_t target = monitor.primary ? 0 : 1;
    entry.primary = monitor.primary ? 1 : 0;
    if (target < m_nCapacity)
    {
        MONITOR_AREA& area = m_pTable[target];
        area.rect[0] = monitor.left;
        area.rect[1] = monitor.top;
        area.rect[2] = monitor.right;
        area.rect[3] = monitor.bottom;
    }
    ++g_nAreaIndex;
    return true;
}
