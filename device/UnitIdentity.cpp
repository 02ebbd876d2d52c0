#include "device/UnitIdentity.h"

#include "device/CameraLink.h"
#include "device/DeviceGlobals.h"

std::vector<UNIT_IDENTITY> ListUnitIdentities(CCameraLink& link)
{
    std::uint32_t locations[LOCATION_SLOTS] = {};
    std::uint16_t count = 0;
    std::vector<UNIT_IDENTITY> units;
    if (link.ListDevices(locations, &count) != FT_OK)
        return units;
    for (std::uint16_t i = 0; i < count && i < LOCATION_SLOTS; ++i)
    {
        units.push_back({link.ListedText(i, FT_OPEN_BY_DESCRIPTION),
                         link.ListedText(i, FT_OPEN_BY_SERIAL_NUMBER)});
    }
    return units;
}
