#pragma once
// The monitor table: area 0 is always the primary monitor, area 1 the other one; camera
// i serves area i. An area index is valid below GetCapacity(), which is never less than
// AREA_ROLES, so the tracker's active monitor (a camera number) is always in the table.

#include "platform/Platform.h"

#include <cstdint>
#include <memory>

// One area per role, present even without a monitor for it: an empty rectangle contains no
// point.
constexpr std::uint16_t AREA_ROLES = 2;

struct MONITOR_AREA
{
    std::int32_t rect[4] = {0, 0, 0, 0}; // left, top, right, bottom
    // The first 16 characters of the device name, not terminated when it is longer.
    wchar_t deviceName[16] = {};
    std::uint8_t primary = 0;
    MonitorHandle hMonitor = 0;
};

// Index of the next entry during an enumeration. User-interface thread.
extern std::uint16_t g_nAreaIndex;

class CScreenAreas
{
public:
    virtual ~CScreenAreas() = default;

    void Init();
    void Enumerate();
    // One monitor of the enumeration; false ends it.
    bool MonitorEnumProc(const MONITOR_DESC& monitor);

    MONITOR_AREA* GetAreas() { return m_pTable.get(); }
    std::uint16_t GetCount() const { return m_nCount; }
    // Entries the table was allocated with; never read or written beyond.
    std::uint16_t GetCapacity() const { return m_nCapacity; }

    // True when the point lies in the area: left < x <= right and top < y <= bottom.
    static bool Contains(const MONITOR_AREA& area, std::int32_t x, std::int32_t y)
    {
        return area.rect[0] < x && x <= area.rect[2] && area.rect[1] < y && y <= area.rect[3];
    }

private:
    std::uint16_t m_nCount = 0;
    std::uint16_t m_nCapacity = 0;
    std::unique_ptr<MONITOR_AREA[]> m_pTable;
};
