#include "shell/UnitReplug.h"
#include "device/DeviceController.h"

#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/UnitPresence.h"
#include "platform/Platform.h"

const wchar_t* const UNIT_GONE_TIP = L"Tavelo: the camera is not connected. Waiting for it...";

bool OnUnitGone(CDriverState& state)
{
    CDeviceController& controller = state.m_controller;
    // A stalled link is ending the program; a wait changes nothing then.
    if (controller.IsFailed() != 0 || controller.m_bWaitingForUnit)
        return false;
    controller.StopReaderThread();
    controller.m_bWaitingForUnit = true;
    return true;
}

bool LookForGoneUnit(CDriverState& state)
{
    if (!state.m_controller.m_bWaitingForUnit || !AreOpenedUnitsListed(state.m_controller))
        return false;
    Platform().PostMainMessage(WM_UNIT_BACK, 0, 0);
    return true;
}

bool OnUnitBack(CDriverState& state)
{
    CDeviceController& controller = state.m_controller;
    if (!controller.m_bWaitingForUnit)
        return true;
    if (!ReopenOpenedUnits(controller))
        return false;
    controller.m_bWaitingForUnit = false;
    if (state.m_nRunState == RUN_STATE_RUNNING)
        (void)controller.StartPenTracking();
    return true;
}

bool IsWaitingForUnit(const CDriverState& state)
{
    return state.m_controller.m_bWaitingForUnit;
}
