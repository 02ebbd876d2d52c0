#include "shell/DriverState.h"

#include "platform/Platform.h"

CDriverState* g_pMainDlg = nullptr;

CDriverState::CDriverState()
    : m_cxScreen(Platform().GetSystemMetric(METRIC_CXSCREEN)),
      m_cyScreen(Platform().GetSystemMetric(METRIC_CYSCREEN))
{
}
