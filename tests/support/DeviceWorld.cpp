#include "tests/support/DeviceWorld.h"

#include "device/CameraLink.h"
#include "device/DeviceGlobals.h"

#include <cstdio>
#include <stdexcept>

CDeviceWorld::CDeviceWorld(const std::string& scenario)
    : m_bus(SIM_BUS_OPTIONS{true, 0}), m_scope(m_platform)
{
    m_platform.m_clock = m_bus->ClockFunction();
    m_platform.m_sleeper = m_bus->SleepFunction();
    m_platform.m_libraries[L"ftd2xx.dll"] = SimD2xxSymbols();
    const auto errors = m_bus->Execute(scenario);
    if (!errors.empty())
        throw std::runtime_error("bad scenario line " + std::to_string(errors[0].line) + ": " +
                                 errors[0].message);
}

std::string HexPacket(const protocol::COMMAND_PACKET& packet)
{
    std::string text;
    char part[4];
    for (std::uint8_t byte : packet)
    {
        std::snprintf(part, sizeof part, "%02X ", byte);
        text += part;
    }
    text.pop_back();
    return text;
}

std::vector<std::string> CDeviceWorld::Packets(int unit)
{
    const auto log = m_bus->PacketLog(unit);
    const std::size_t from =
        static_cast<std::size_t>(unit) < m_packetMarks.size() ? m_packetMarks[unit] : 0;
    std::vector<std::string> packets;
    for (std::size_t i = from; i < log.size(); ++i)
        packets.push_back(HexPacket(log[i].bytes));
    return packets;
}

void CDeviceWorld::ClearPackets()
{
    m_packetMarks.clear();
    for (int unit = 0; unit < m_bus->AttachedUnits(); ++unit)
        m_packetMarks.push_back(m_bus->PacketLog(unit).size());
}

bool OpenUnits(CCameraLink& link, std::uint16_t expected)
{
    (void)link.BindLibrary();
    std::uint32_t locations[LOCATION_SLOTS] = {};
    std::uint16_t count = 0;
    return link.ListDevices(locations, &count) == FT_OK && count == expected &&
           link.OpenAll(locations, count);
}
