#pragma once
// The driver as the program and the tests build it: the state record together with the device
// controller it names. The controller is built first and goes last, so no reader thread can
// outlive the record fields it reads.

#include "core/DriverState.h"
#include "device/DeviceController.h"

// Holds the controller in a base that is built before the record (base-from-member).
struct DEVICE_CONTROLLER_HOLDER
{
    CDeviceController m_deviceController;
};

class CDriver : private DEVICE_CONTROLLER_HOLDER, public CDriverState
{
public:
    // Lends the controller the callbacks of the running program (shell/DriverWiring.h).
    CDriver();
    ~CDriver() override;
};
