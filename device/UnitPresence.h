#pragma once
// Units that go away and come back: who the listed units are, and the reopening of the same
// units after their reads failed, without a restart.

#include "device/UnitIdentity.h"

#include <vector>

class CCameraLink;
class CDeviceController;

// True when the listing shows the units the controller opened at start-up again: the same
// count, descriptions and serial numbers, in order.
bool AreOpenedUnitsListed(CDeviceController& controller);

// Reopens the units the controller opened at start-up once they are listed again: the reader
// is ended, the old handles closed, the units opened and configured as at start-up and their
// firmware read. The screen areas and calibration targets are laid out again when tracking
// starts. False when they are not all back or do not answer yet; the link is then left
// closed and not failed, so the next look may try again.
bool ReopenOpenedUnits(CDeviceController& controller);
