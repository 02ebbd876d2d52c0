#pragma once
// A test world for the device layer: a recording platform whose clock is a simulated bus's
// virtual clock and whose "Ftd2xx.dll" is the simulator, so the driver's one binding routine
// binds simulated units exactly as it binds the real library.

#include "sim/SimBus.h"
#include "tests/support/FakePlatform.h"

#include <string>
#include <vector>

class CDeviceWorld
{
public:
    // scenario: simulator commands, e.g. "units 2\nunit 0 minor 0x23".
    explicit CDeviceWorld(const std::string& scenario = "units 1\nunit 0 minor 0x23");

    // Command packets unit `unit` received, as hex text ("24 01 00 00 01 26"), in order.
    std::vector<std::string> Packets(int unit);
    void ClearPackets();

    CFakePlatform m_platform;
    CScopedSimBus m_bus;

private:
    CScopedPlatform m_scope;
    std::vector<std::size_t> m_packetMarks;
};

std::string HexPacket(const protocol::COMMAND_PACKET& packet);

class CCameraLink;
// Binds the link to the simulated library and opens every unit; true when `expected` units
// were listed and all of them opened.
bool OpenUnits(CCameraLink& link, std::uint16_t expected);
