#include "device/UnitPresence.h"

#include "device/CameraLink.h"
#include "device/DeviceController.h"
#include "device/DeviceGlobals.h"

bool AreOpenedUnitsListed(CDeviceController& controller)
{
    return !controller.m_openedUnits.empty() &&
           ListUnitIdentities(controller.m_link) == controller.m_openedUnits;
}

bool ReopenOpenedUnits(CDeviceController& controller)
{
    CCameraLink& link = controller.m_link;
    link.StopReaderThread();
    if (!AreOpenedUnitsListed(controller))
        return false;
    // The old handles belong to the units as they were before they went; the library keeps
    // them until they are closed.
    (void)link.CloseAll();
    std::uint32_t locations[LOCATION_SLOTS] = {};
    std::uint16_t count = 0;
    const bool reopened = link.ListDevices(locations, &count) == FT_OK &&
                          count == controller.m_openedUnits.size() &&
                          link.OpenAll(locations, count) && link.DetectFirmware();
    if (!reopened)
    {
        // Not back for good yet: the next look tries again.
        (void)link.CloseAll();
        link.m_bFailed = 0;
        return false;
    }
    g_nDeviceCount = count;
    return true;
}
