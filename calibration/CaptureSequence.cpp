#include "calibration/CaptureSequence.h"

#include "calibration/CalibTables.h"
#include "calibration/CalibratedMapping.h"
#include "calibration/RawSpotParser.h"
#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/DeviceController.h"
#include "device/DeviceGlobals.h"
#include "device/Protocol.h"
#include "device/StallWatch.h"
#include "platform/Platform.h"

std::uint16_t g_nSteadyCount = 0;
std::int32_t g_nSumX = 0;
std::int32_t g_nSumY = 0;
std::uint8_t g_bPointTaken = 0;
std::uint32_t g_nGridRowStep = 0;
std::uint32_t g_nGridColumn = 0;
std::uint32_t g_nCapturedPoints = 0;
std::atomic<std::uint16_t> g_nCalibCamera{0};
CCaptureState g_captureState;
CALIBRATION_HOOKS g_calibrationHooks;

namespace
{
void Redraw()
{
    if (g_calibrationHooks.pfnRedraw)
        g_calibrationHooks.pfnRedraw();
}

void HideWindow()
{
    if (g_calibrationHooks.pfnHideWindow)
        g_calibrationHooks.pfnHideWindow();
}

void SaveSettingsFile()
{
    if (g_calibrationHooks.pfnSaveSettings)
        (void)g_calibrationHooks.pfnSaveSettings();
}

void ClearSteadySamples()
{
    g_nSteadyCount = 0;
    g_nSumX = 0;
    g_nSumY = 0;
}

void ResetSequence()
{
    g_nGridColumn = 0;
    g_nGridRowStep = 0;
    g_nCapturedPoints = 0;
}

CALIB_RECT MonitorOf(CDeviceController& controller, std::uint16_t camera)
{
    const MONITOR_AREA* areas = controller.GetAreas();
    if (areas == nullptr || camera >= controller.m_areas.GetCapacity())
        return CALIB_RECT{};
    const MONITOR_AREA& area = areas[camera];
    return CALIB_RECT{area.rect[0], area.rect[1], area.rect[2], area.rect[3]};
}

// Lays out the selected model's targets for every camera unit, allocating its
// table first.
void PrepareTargets(CDeviceController& controller, std::int32_t model)
{
    const std::uint16_t cameras = CameraCount();
    if (model == CALIB_MODEL_SIXTEEN)
    {
        (void)AllocateSixteenPointCalib(cameras);
        for (std::uint16_t c = 0; c < cameras; ++c)
        {
            CSixteenPointCalib* element = SixteenPointCalibAt(c);
            if (element == nullptr)
                continue;
            element->m_rcMonitor = MonitorOf(controller, c);
            element->SetupTargets();
        }
    }
    else if (model == CALIB_MODEL_NINE)
    {
        (void)AllocateNinePointCalib(cameras);
        for (std::uint16_t c = 0; c < cameras; ++c)
        {
            CNinePointCalib* element = NinePointCalibAt(c);
            if (element == nullptr)
                continue;
            element->m_rcMonitor = MonitorOf(controller, c);
            element->SetupTargets();
            element->SetLensConstants();
        }
    }
}

// Solves the finished camera's model. A degenerate capture (the pen held on one
// spot across targets) leaves the camera's previous model in force; the
// sequence goes on either way.
void Solve(std::int32_t model, std::uint16_t camera)
{
    if (model == CALIB_MODEL_SIXTEEN)
    {
        if (CSixteenPointCalib* element = SixteenPointCalibAt(camera))
        {
            element->CopyTargetsToFloat();
            (void)element->FitModel();
        }
    }
    else if (model == CALIB_MODEL_NINE)
    {
        if (CNinePointCalib* element = NinePointCalibAt(camera))
            (void)element->SolveHomography();
    }
}

void FinishCamera(std::int32_t model, std::uint16_t camera)
{
    g_captureState.m_bArmed = false;
    CDriverState& state = *g_pMainDlg;
    const std::uint16_t cameras = CameraCount();
    const bool last = camera + 1 >= cameras;
    if (last)
    {
        state.m_bMoreCameras = 0;
        Solve(model, camera);
        HideWindow();
        g_captureState.m_nTargetIndex = 0;
        ResetSequence();
        g_nCalibCamera = 0;
        state.m_bCalibrated = 1;
        SaveSettingsFile();
        if (cameras <= 1 && g_bSettingsInDevice.load(std::memory_order_relaxed) != 0 &&
            g_calibrationHooks.pfnWriteCameraStore)
            g_calibrationHooks.pfnWriteCameraStore();
    }
    else
    {
        state.m_bMoreCameras = 1;
        Solve(model, camera);
        g_captureState.m_nTargetIndex = 0;
        g_nCalibCamera = static_cast<std::uint16_t>(camera + 1);
        ResetSequence();
        HideWindow();
        SaveSettingsFile();
    }
    // After the hide, so that the window shows the last camera's report rather than hiding it.
    if (g_calibrationHooks.pfnCameraSolved)
        g_calibrationHooks.pfnCameraSolved(model, camera, last);
    if (last)
    {
        Platform().PostMainMessage(WM_SHOW_CURSOR, 0, 0);
        Platform().PostMainMessage(WM_RESTART_TRACKING, 0, 0);
    }
    else
    {
        Platform().PostMainMessage(WM_CALIBRATE_NEXT, CALIBRATE_NEXT_CAMERA, 0);
    }
}

void CaptureSixteenPoint(std::uint16_t camera, std::int32_t x, std::int32_t y)
{
    const std::uint32_t k = g_nGridRowStep + g_nGridColumn;
    CSixteenPointCalib* element = SixteenPointCalibAt(camera);
    if (element != nullptr && k < CSixteenPointCalib::POINT_COUNT)
    {
        std::int32_t mirroredX = 0;
        std::int32_t mirroredY = 0;
        MirrorCameraPoint(x, y, mirroredX, mirroredY);
        element->m_ptCamera[k] = {static_cast<float>(mirroredX), static_cast<float>(mirroredY)};
    }
    g_nGridRowStep += GRID_ROW_STEP;
    if (g_nGridRowStep > GRID_LAST_ROW_STEP)
    {
        g_nGridColumn += 1;
        g_nGridRowStep = 0;
    }
    g_captureState.m_nTargetIndex = static_cast<std::uint16_t>(g_nGridRowStep + g_nGridColumn);
    g_nCapturedPoints += 1;
    Redraw();
    ClearSteadySamples();
    g_bPointTaken = 1;
    if (g_nCapturedPoints < CSixteenPointCalib::POINT_COUNT)
        return;
    FinishCamera(CALIB_MODEL_SIXTEEN, camera);
}

void CaptureNinePoint(std::uint16_t camera, std::int32_t x, std::int32_t y)
{
    const std::uint16_t i = g_captureState.m_nTargetIndex;
    CNinePointCalib* element = NinePointCalibAt(camera);
    if (element != nullptr && i < CNinePointCalib::POINT_COUNT)
    {
        element->m_ptRaw[i] = {x, y};
        std::int32_t correctedX = x;
        std::int32_t correctedY = y;
        (void)element->CorrectLens(x, y, correctedX, correctedY);
        element->m_ptCorrected[i] = {static_cast<float>(correctedX),
                                     static_cast<float>(correctedY)};
    }
    g_captureState.m_nTargetIndex = static_cast<std::uint16_t>(i + 1);
    Redraw();
    ClearSteadySamples();
    g_bPointTaken = 1;
    if (g_captureState.m_nTargetIndex < CNinePointCalib::POINT_COUNT)
        return;
    FinishCamera(CALIB_MODEL_NINE, camera);
}
} // namespace

void CapturePoint()
{
    if (g_nSteadyCount < STEADY_SAMPLES || g_bPointTaken != 0 || g_pMainDlg == nullptr ||
        !g_captureState.m_bArmed.load())
        return;
    const std::int32_t x = g_nSumX / g_nSteadyCount;
    const std::int32_t y = g_nSumY / g_nSteadyCount;
    const std::uint16_t camera = g_nCalibCamera;
    switch (g_pMainDlg->m_nCalibModel.load(std::memory_order_relaxed))
    {
    case CALIB_MODEL_SIXTEEN:
        CaptureSixteenPoint(camera, x, y);
        break;
    case CALIB_MODEL_NINE:
        CaptureNinePoint(camera, x, y);
        break;
    default:
        // No model selected: nothing is captured.
        break;
    }
}

bool StartCalibration(CDeviceController& controller, std::uint16_t camera)
{
    CDriverState& state = *g_pMainDlg;
    state.m_cxScreen = Platform().GetSystemMetric(METRIC_CXSCREEN);
    state.m_cyScreen = Platform().GetSystemMetric(METRIC_CYSCREEN);

    if (camera == 0)
    {
        controller.m_link.StopReader();
        g_captureState.m_nTargetIndex = 0;
        ResetSequence();
        ClearSteadySamples();
        g_bPointTaken = 0;
        state.m_bMoreCameras = 0;
    }
    if (g_calibrationHooks.pfnShowWindow && !g_calibrationHooks.pfnShowWindow(controller, camera))
        return false;

    controller.m_link.StopReader();
    controller.m_link.SetCurrentDevice(camera);
    if (!controller.RefreshDevices())
        return false;

    PrepareTargets(controller, state.m_nCalibModel.load(std::memory_order_relaxed));

    std::uint32_t written = 0;
    for (const protocol::COMMAND_PACKET& packet : protocol::TRACKING_SETUP)
        controller.m_link.WritePacket(camera, packet.data(), packet.size(), &written);
    controller.m_link.WritePacket(camera, protocol::IMAGE_MODE_OFF.data(),
                                  protocol::IMAGE_MODE_OFF.size(), &written);

    controller.m_link.SetCallback(0, OnCalibrationByte);
    g_captureState.m_bArmed = true;
    controller.m_link.StartReader();
    return true;
}

void AbandonCalibration(CDeviceController& controller)
{
    CDriverState& state = *g_pMainDlg;
    controller.m_link.StopReader();
    g_captureState.m_bArmed = false;

    HideWindow();
    g_captureState.m_nTargetIndex = 0;
    ResetSequence();
    state.m_bMoreCameras = 0;
    g_nCalibCamera = 0;
    // A half-counted target must not carry over into the next calibration.
    ClearSteadySamples();
    g_bPointTaken = 0;

    if (CameraCount() == 1 && g_bSettingsInDevice.load(std::memory_order_relaxed) != 0)
    {
        (void)controller.ReadSettings();
        if (g_calibrationHooks.pfnRefreshControls)
            g_calibrationHooks.pfnRefreshControls();
    }
    else if (g_calibrationHooks.pfnReloadCalibration)
    {
        g_calibrationHooks.pfnReloadCalibration();
    }

    Platform().PostMainMessage(WM_SHOW_CURSOR, 0, 0);
    Platform().PostMainMessage(WM_RESTART_TRACKING, 0, 0);
}

void ResetCaptureState()
{
    ClearSteadySamples();
    g_bPointTaken = 0;
    ResetSequence();
    g_nCalibCamera = 0;
    g_captureState.m_nTargetIndex = 0;
    g_captureState.m_bArmed = false;
    g_calibrationHooks = CALIBRATION_HOOKS{};
}

void OnCalibrationByte(CAMERA_RECORD record)
{
    CDriverState* state = g_pMainDlg;
    if (state == nullptr)
        return;
    StallWatch(0, ByteOf(record));
    const SPOT_SLOT result =
        protocol::IsMultiSpotVersion(state->m_dFirmwareVersion.load(std::memory_order_relaxed))
            ? ParseRawMultiSpot(record)
            : ParseRawSingleSpot(record);
    switch (result.state)
    {
    case SPOT_PRESENT:
        g_nSteadyCount = static_cast<std::uint16_t>(g_nSteadyCount + 1);
        // Sums wrap rather than overflow while a pen rests after its capture.
        g_nSumX = static_cast<std::int32_t>(static_cast<std::uint32_t>(g_nSumX) +
                                            static_cast<std::uint32_t>(result.x));
        g_nSumY = static_cast<std::int32_t>(static_cast<std::uint32_t>(g_nSumY) +
                                            static_cast<std::uint32_t>(result.y));
        CapturePoint();
        Platform().SetCursorPosition(result.x, result.y);
        break;
    case SPOT_ABSENT:
        g_nSteadyCount = 0;
        g_nSumX = 0;
        g_nSumY = 0;
        g_bPointTaken = 0;
        break;
    default:
        break;
    }
}
