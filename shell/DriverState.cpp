#include "shell/DriverState.h"

#include "platform/Platform.h"
#include "shell/DriverWiring.h"

CDriverState* g_pMainDlg = nullptr;

CDriverState::CDriverState()
    : m_cxScreen(Platform().GetSystemMetric(METRIC_CXSCREEN)),
      m_cyScreen(Platform().GetSystemMetric(METRIC_CYSCREEN))
{
    m_controller.SetCallbacks(DriverDeviceCallbacks());
}

CDriverState::~CDriverState()
{
    // The reader reads members declared after the controller, which go first.
    m_controller.StopReaderThread();
}
