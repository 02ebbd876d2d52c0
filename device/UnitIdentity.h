#pragma once
// Who a unit is, as the device listing names it: the controller keeps the units it opened, so
// that the same ones can be found again after they were unplugged.

#include <string>
#include <vector>

class CCameraLink;

// A unit as the device listing names it.
struct UNIT_IDENTITY
{
    std::string description;
    std::string serial;
    bool operator==(const UNIT_IDENTITY&) const = default;
};

// The listed units' descriptions and serial numbers, in listing order.
std::vector<UNIT_IDENTITY> ListUnitIdentities(CCameraLink& link);
