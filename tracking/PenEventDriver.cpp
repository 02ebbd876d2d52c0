#include "tracking/PenEventDriver.h"

#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/DeviceGlobals.h"
#include "device/Protocol.h"
#include "device/ScreenAreas.h"
#include "device/StallWatch.h"
#include "platform/Platform.h"
#include "tracking/PenEventState.h"
#include "tracking/PenInjector.h"
#include "tracking/SpotParser.h"

#include <algorithm>

SPOT_SLOT g_singleSpot[TRACKED_CAMERAS] = {{0, 0, SPOT_ABSENT}, {0, 0, SPOT_ABSENT}};
std::uint16_t g_nPointerCamera = 0;
bool g_bCameraQuiet[TRACKED_CAMERAS] = {};

namespace
{
const char* const COMPANION_MULTI_CLASS = "TfrmMultiPanser";
const char* const COMPANION_CANVAS_CLASS = "TfrmCanvas";

// The companion program's windows, looked up when the first pen event of a pass
// is due and reused for the others of that pass. Bytes that bring no pen event
// never reach the system.
struct COMPANION_WINDOWS
{
    bool bLookedUp = false;
    bool bMultiShown = false;
    bool bCanvasShown = false;
};

void LookUpCompanion(COMPANION_WINDOWS& windows)
{
    if (windows.bLookedUp)
        return;
    CPlatform& platform = Platform();
    const WindowHandle multi = platform.FindWindowByClass(COMPANION_MULTI_CLASS);
    const WindowHandle canvas = platform.FindWindowByClass(COMPANION_CANVAS_CLASS);
    windows.bMultiShown = platform.IsWindowShown(multi);
    windows.bCanvasShown = platform.IsWindowShown(canvas);
    // Neither shown: the pens keep going to the window found last.
    if (windows.bMultiShown)
        g_penInjector.m_hCompanionWnd = multi;
    else if (windows.bCanvasShown)
        g_penInjector.m_hCompanionWnd = canvas;
    windows.bLookedUp = true;
}

void ConfineToActiveMonitor()
{
    const MONITOR_AREA* areas = g_pMonitorAreas.load(std::memory_order_relaxed);
    if (areas == nullptr)
    {
        g_penInjector.SetArea(0, 0, 0, 0);
        return;
    }
    const std::int32_t* rect = areas[g_nActiveMonitor].rect;
    g_penInjector.SetArea(rect[0], rect[1], rect[2], rect[3]);
}

bool IsMultiSpotForm(const CDriverState& state)
{
    return protocol::IsMultiSpotVersion(state.m_dFirmwareVersion.load(std::memory_order_relaxed));
}

std::uint16_t TrackedCameraCount()
{
    return std::min<std::uint16_t>(g_nDeviceCount.load(std::memory_order_relaxed), TRACKED_CAMERAS);
}

// False in a pass where only another camera brought a byte, or where this camera's link went
// quiet after a packet: this camera's old byte was handled before.
bool HasByte(const CAMERA_RECORD& record)
{
    return record.rxState == RX_NEW_BYTE || record.rxState == RX_QUIET;
}

bool Completed(const SPOT_SLOT& slot)
{
    return slot.state == SPOT_PRESENT || slot.state == SPOT_ABSENT;
}

bool InMonitor(std::uint16_t monitor, const SPOT_SLOT& spot)
{
    const MONITOR_AREA* areas = g_pMonitorAreas.load(std::memory_order_relaxed);
    return areas != nullptr && CScreenAreas::Contains(areas[monitor], spot.x, spot.y);
}

// Pen 0 of the single-spot form: the result to act on, which camera's packet it
// is, and whether that packet completed in this pass.
struct POINTER_CHOICE
{
    SPOT_SLOT result{0, 0, SPOT_NO_CHANGE};
    bool bFresh = false;
    std::uint16_t camera = 0;
};

// Two cameras: which camera drives the pointer, from each camera's last
// completed result. Runs only in a pass where a camera completed a packet; a
// spot acts only in the pass that completed it, so a camera's old spot is never
// sent again and a silent camera cannot hold or lift the other camera's pen.
POINTER_CHOICE ChooseBetweenCameras(const bool completed[TRACKED_CAMERAS])
{
    const SPOT_SLOT& spot0 = g_singleSpot[0];
    const SPOT_SLOT& spot1 = g_singleSpot[1];
    POINTER_CHOICE choice;
    if (spot0.state == SPOT_ABSENT && spot1.state == SPOT_ABSENT)
    {
        g_nActiveMonitor = 0;
        choice.result = SPOT_SLOT{0, 0, SPOT_ABSENT};
        choice.bFresh = true;
        return choice;
    }
    if (spot0.state == SPOT_ABSENT && spot1.state == SPOT_PRESENT)
    {
        g_nActiveMonitor = 1;
        choice.result = spot1;
        choice.bFresh = completed[1];
        choice.camera = 1;
        return choice;
    }
    if (spot0.state == SPOT_PRESENT && spot1.state == SPOT_ABSENT)
    {
        g_nActiveMonitor = 0;
        choice.result = spot0;
        choice.bFresh = completed[0];
        return choice;
    }
    // Both see a spot: the pointer follows the camera whose number is the monitor
    // that a spot lies in; the last match wins.
    std::uint16_t source = 1;
    for (std::uint16_t k = 0; k < TRACKED_CAMERAS; ++k)
    {
        for (std::uint16_t m = 0; m < TRACKED_CAMERAS; ++m)
        {
            if (InMonitor(m, g_singleSpot[k]))
            {
                g_nActiveMonitor = m;
                source = m;
            }
        }
    }
    choice.result = g_singleSpot[source];
    choice.bFresh = completed[source];
    choice.camera = source;
    return choice;
}

void SinglePointerEvent(const CDriverState& state, const SPOT_SLOT& result, std::uint16_t camera,
                        COMPANION_WINDOWS& windows)
{
    switch (result.state)
    {
    case SPOT_PRESENT:
        g_nPointerCamera = camera;
        ConfineToActiveMonitor();
        switch (state.m_nInkoraPenMode.load(std::memory_order_relaxed))
        {
        case 0:
            g_penInjector.SetFilter(FILTER_RAW, PEN_FILTER_T, 1);
            break;
        case 1:
            g_penInjector.SetFilter(FILTER_SMOOTHED, PEN_FILTER_T, 1);
            break;
        default:
            // Any other value keeps the filter as it was.
            break;
        }
        LookUpCompanion(windows);
        g_penInjector.m_bCompanionVisible = windows.bCanvasShown ? 1 : 0;
        g_penInjector.PointerMove(result.x, result.y);
        break;
    case SPOT_ABSENT:
        g_nActiveMonitor = 0;
        g_penInjector.PointerUp();
        break;
    default:
        break;
    }
}

void SingleSpotPass(CDriverState& state, CAMERA_RECORD* records, std::uint16_t cameras,
                    bool watchStall)
{
    bool completed[TRACKED_CAMERAS] = {false, false};
    SPOT_SLOT fresh[TRACKED_CAMERAS];
    for (std::uint16_t i = 0; i < cameras; ++i)
    {
        if (!HasByte(records[i]))
            continue;
        if (watchStall)
            StallWatch(i, ByteOf(records[i]));
        fresh[i] = ParseSingleSpot(i, records[i]);
        if (Completed(fresh[i]))
        {
            g_singleSpot[i] = fresh[i];
            completed[i] = true;
        }
    }

    COMPANION_WINDOWS windows;
    if (cameras < TRACKED_CAMERAS)
    {
        g_nActiveMonitor = 0;
        if (cameras == 1)
            SinglePointerEvent(state, fresh[0], 0, windows);
        return;
    }
    if (!completed[0] && !completed[1])
        return;
    const POINTER_CHOICE choice = ChooseBetweenCameras(completed);
    if (choice.bFresh)
        SinglePointerEvent(state, choice.result, choice.camera, windows);
}

void MultiSpotPass(CAMERA_RECORD* records, std::uint16_t cameras, bool watchStall)
{
    // The tracked pens are confined to monitor 0 in this form.
    g_nActiveMonitor = 0;
    SPOT_SLOT slots[PEN_SLOTS];
    for (std::uint16_t i = 0; i < cameras; ++i)
    {
        if (i == 0 && records[i].rxState == RX_LINK_IDLE)
            CloseMultiSpotFrame(i, slots);
        if (!HasByte(records[i]))
            continue;
        if (watchStall)
            StallWatch(i, ByteOf(records[i]));
        // The tracker follows camera 0's pens. Another camera's spots lie on its own monitor
        // and never enter it, but its frames would close or clear camera 0's, lifting and
        // swapping camera 0's pens every frame.
        if (i == 0)
            ParseMultiSpot(i, records[i], slots);
    }

    COMPANION_WINDOWS windows;
    for (int k = 0; k < PEN_SLOTS; ++k)
    {
        switch (slots[k].state)
        {
        case SPOT_PRESENT:
            ConfineToActiveMonitor();
            g_penInjector.SetFilter(FILTER_RAW, PEN_FILTER_T, 1);
            LookUpCompanion(windows);
            g_penInjector.m_bCompanionVisible = windows.bMultiShown || windows.bCanvasShown ? 1 : 0;
            if (k == 0)
                g_penInjector.PointerMove(slots[k].x, slots[k].y);
            else
                g_penInjector.CompanionPenMove(k, slots[k].x, slots[k].y);
            break;
        case SPOT_ABSENT:
            g_nActiveMonitor = 0;
            if (k == 0)
                g_penInjector.PointerUp();
            else
                g_penInjector.CompanionPenUp(k);
            break;
        default:
            break;
        }
    }
}
} // namespace

void OnPenByte(CAMERA_RECORD* records)
{
    CDriverState* state = g_pMainDlg;
    if (state == nullptr || records == nullptr)
        return;
    const std::uint16_t cameras = TrackedCameraCount();
    const bool watchStall = state->m_nRunState.load(std::memory_order_relaxed) == RUN_STATE_RUNNING;
    if (IsMultiSpotForm(*state))
        MultiSpotPass(records, cameras, watchStall);
    else
        SingleSpotPass(*state, records, cameras, watchStall);

    // After the pass's own events, so nothing the quiet camera sent before presses again.
    for (std::uint16_t i = 0; i < cameras; ++i)
    {
        if (records[i].rxState == RX_NEW_BYTE && g_bCameraQuiet[i])
        {
            g_bCameraQuiet[i] = false;
            Platform().PostMainMessage(WM_CAMERA_QUIET, i, 0);
        }
        if (records[i].rxState == RX_QUIET && !g_bCameraQuiet[i])
        {
            g_bCameraQuiet[i] = true;
            ReleaseCameraPens(i);
            Platform().PostMainMessage(WM_CAMERA_QUIET, i, 1);
        }
    }
}

void ReleaseCameraPens(std::uint16_t camera)
{
    if (camera >= TRACKED_CAMERAS)
        return;
    const CDriverState* state = g_pMainDlg;
    if (state != nullptr && IsMultiSpotForm(*state))
    {
        if (camera != 0)
            return;
        // Forgotten too, so another camera's frame cannot report them present again.
        ForgetTrackedPens();
        for (int pen = 0; pen < PEN_SLOTS; ++pen)
            g_penInjector.ReleasePen(pen);
        return;
    }
    g_singleSpot[camera] = SPOT_SLOT{0, 0, SPOT_ABSENT};
    if (g_nPointerCamera != camera)
        return;
    g_nActiveMonitor = 0;
    g_penInjector.ReleasePen(0);
}

void ReleaseAllPens()
{
    ForgetTrackedPens();
    for (SPOT_SLOT& spot : g_singleSpot)
        spot = SPOT_SLOT{0, 0, SPOT_ABSENT};
    g_nActiveMonitor = 0;
    for (int pen = 0; pen < PEN_SLOTS; ++pen)
        g_penInjector.ReleasePen(pen);
}

void ResetPenEventDriver()
{
    ResetStallWatch();
    for (SPOT_SLOT& spot : g_singleSpot)
        spot = SPOT_SLOT{0, 0, SPOT_ABSENT};
    g_nPointerCamera = 0;
    for (bool& quiet : g_bCameraQuiet)
        quiet = false;
}
