#include "device/StallWatch.h"

#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/DeviceController.h"
#include "platform/Platform.h"

std::uint8_t g_lastByte[TRACKED_CAMERAS] = {};
std::uint16_t g_sameByteCount[TRACKED_CAMERAS] = {};

void StallWatch(std::uint16_t camera, std::uint8_t byte)
{
    if (camera >= TRACKED_CAMERAS)
        return;
    if (byte == g_lastByte[camera])
    {
        ++g_sameByteCount[camera];
    }
    else
    {
        g_lastByte[camera] = byte;
        g_sameByteCount[camera] = 0;
    }
    if (g_sameByteCount[camera] < STALL_LIMIT)
        return;
    g_sameByteCount[camera] = 0;
    CDriverState* state = g_pMainDlg;
    if (state == nullptr)
        return;
    CDeviceController& controller = state->m_controller;
    if (controller.Callbacks().pfnReleasePens)
        controller.Callbacks().pfnReleasePens();
    // The message and the quit belong to the user-interface thread: a box shown here would
    // block this thread while that one may be waiting for it to end.
    controller.m_link.m_bFailed = 1;
    Platform().PostMainMessage(WM_CAMERA_STALLED, camera, 0);
}

void ResetStallWatch()
{
    for (int i = 0; i < TRACKED_CAMERAS; ++i)
    {
        g_lastByte[i] = 0;
        g_sameByteCount[i] = 0;
    }
}
