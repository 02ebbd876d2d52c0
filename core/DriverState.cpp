#include "core/DriverState.h"

#include "platform/Platform.h"

CDriverState* g_pMainDlg = nullptr;

CDriverState::CDriverState(CDeviceController& controller)
    : m_controller(controller), m_cxScreen(Platform().GetSystemMetric(METRIC_CXSCREEN)),
      m_cyScreen(Platform().GetSystemMetric(METRIC_CYSCREEN))
{
}

CDriverState::~CDriverState() = default;
