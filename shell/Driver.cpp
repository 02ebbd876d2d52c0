#include "shell/Driver.h"

#include "shell/DriverWiring.h"

CDriver::CDriver() : CDriverState(m_deviceController)
{
    m_deviceController.SetCallbacks(DriverDeviceCallbacks());
}

CDriver::~CDriver()
{
    // The reader reads the record, which goes before the controller does.
    m_deviceController.StopReaderThread();
}
