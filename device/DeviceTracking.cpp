// Starting pen tracking, apart from the rest of the lifecycle: it is the one operation that
// ties the device layer to the pen event driver.

#include "device/DeviceController.h"
#include "device/Protocol.h"
#include "tracking/PenEventDriver.h"

bool CDeviceController::StartPenTracking()
{
    const std::uint16_t count = m_link.GetCount();
    for (std::uint16_t i = 0; i < count; ++i)
    {
        m_link.StopReader();
        m_link.SetCurrentDevice(i);
    }
    ResetStallWatch();
    if (!RefreshDevices())
        return false;
    for (std::uint16_t i = 0; i < count; ++i)
    {
        for (const protocol::COMMAND_PACKET& packet : protocol::TRACKING_SETUP)
            m_link.WritePacket(i, packet.data(), protocol::COMMAND_LENGTH, nullptr);
    }
    for (std::uint16_t i = 0; i < count; ++i)
        m_link.WritePacket(i, protocol::IMAGE_MODE_OFF.data(), protocol::COMMAND_LENGTH, nullptr);
    m_link.SetCallback(1, &OnPenByte);
    m_link.StartReader();
    return true;
}
