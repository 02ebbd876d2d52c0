#include "tests/support/PenScenario.h"

#include "calibration/CalibTables.h"
#include "calibration/CalibratedMapping.h"
#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/DeviceController.h"
#include "device/DeviceGlobals.h"
#include "shell/Driver.h"
#include "tests/support/PenTestKit.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace
{
std::atomic<int> g_nScenarioCaptures{0};
std::atomic<int> g_nScenarioSaves{0};

// A gate in front of the simulator's read and sleep. With a virtual clock the reader would
// otherwise race through simulated time while the scenario is still placing its pens; the gate
// lets the reader's read or sleep start only before the horizon the scenario has opened, so
// "three frames" means three frames. The scenario's own thread plays the main window, whose
// reads (setting replies) always pass; a reader asked to stop always passes too, so a stop
// never waits on the gate. The scenario moves pens only while the reader waits here, never in
// the middle of a read, so which frame shows a pen does not depend on thread timing.
struct READ_GATE
{
    std::mutex lock;
    std::condition_variable opened;
    bool bOpen = true;
    std::uint64_t horizon = 0;
    CSimBus* pBus = nullptr;
    const CCameraLink* pLink = nullptr;
    std::thread::id mainThread;
    int nParked = 0;
};

READ_GATE g_gate;

constexpr std::uint64_t FRAME_MICROS = 10'000; // the units' default 100 frames per second

bool MayPass()
{
    return g_gate.bOpen || g_gate.pBus->NowMicros() < g_gate.horizon ||
           (g_gate.pLink != nullptr && g_gate.pLink->IsReaderStopping());
}

void WaitAtGate()
{
    if (std::this_thread::get_id() == g_gate.mainThread)
        return;
    std::unique_lock guard(g_gate.lock);
    ++g_gate.nParked;
    // The stop flag is set without a word to the gate, so it is looked at every millisecond.
    while (!MayPass())
        g_gate.opened.wait_for(guard, std::chrono::milliseconds(1));
    --g_gate.nParked;
}

FT_STATUS TAVELO_STDCALL GatedRead(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                   std::uint32_t* returned)
{
    WaitAtGate();
    return SimFT_Read(handle, buffer, count, returned);
}

// From now on the reader waits for the scenario to let time pass.
void CloseGate()
{
    std::lock_guard guard(g_gate.lock);
    g_gate.bOpen = false;
    g_gate.horizon = g_gate.pBus->NowMicros();
}

void MoveHorizon(std::uint64_t horizon)
{
    {
        std::lock_guard guard(g_gate.lock);
        g_gate.horizon = horizon;
    }
    g_gate.opened.notify_all();
}

// Where the scenario's own time stands. A read that began before the horizon may end after
// it; less than a frame later is the reader waiting for the frame's next byte, which the
// scenario does not count, so that its time does not drift by the overshoots of a long run. A
// longer overshoot is a silent camera's read time-out, and the scenario goes on from there.
std::uint64_t SceneTime()
{
    std::lock_guard guard(g_gate.lock);
    const std::uint64_t now = g_gate.pBus->NowMicros();
    if (g_gate.bOpen || now >= g_gate.horizon + FRAME_MICROS)
        return now;
    return std::min(now, g_gate.horizon);
}

// Simulated time has reached the instant and the reader waits at the gate.
bool ReaderHeldAt(std::uint64_t micros)
{
    std::lock_guard guard(g_gate.lock);
    return g_gate.pBus->NowMicros() >= micros && g_gate.nParked > 0;
}

constexpr int CAPTURE_FRAMES = 60; // a target must be taken within this
constexpr int LIFT_FRAMES = 5;
constexpr int FINISH_FRAMES = 500; // the solve and save must end within this

std::string ScenarioText(const PEN_SCENARIO_OPTIONS& options)
{
    std::string text = "units " + std::to_string(options.cameras) + "\nseed " +
                       std::to_string(options.seed) + "\n";
    for (int c = 0; c < options.cameras; ++c)
        text +=
            "unit " + std::to_string(c) + " minor " + std::to_string(options.firmwareMinor) + "\n";
    return text;
}
} // namespace

CPenScenario::CPenScenario(const PEN_SCENARIO_OPTIONS& options)
    : m_options(options), m_world(ScenarioText(options))
{
    const int width = options.monitorWidth;
    const int height = options.monitorHeight;
    m_world.m_platform.SetMonitors(std::max(1, options.cameras), width, height);
    {
        std::lock_guard guard(m_world.m_platform.m_lock);
        // The library is bound when the state record is built, so the gate goes in first.
        m_world.m_platform.m_libraries[L"ftd2xx.dll"]["FT_Read"] =
            reinterpret_cast<void*>(&GatedRead);
        m_world.m_platform.m_sleeper = [sleep = m_world.m_bus->SleepFunction()](std::uint32_t ms)
        {
            WaitAtGate();
            sleep(ms);
        };
    }
    g_gate.pBus = &m_world.m_bus.Bus();
    g_gate.mainThread = std::this_thread::get_id();
    OpenReadGate();

    m_pState = std::make_unique<CDriver>();
    g_gate.pLink = &m_pState->m_controller.m_link;
    g_pMainDlg = m_pState.get();
    m_pState->m_nCalibModel = options.calibModel;
    m_pState->m_bCeilingMount = options.ceilingMount;
    m_pState->m_bRearProjection = options.rearProjection;
    m_pState->m_nRunState = RUN_STATE_RUNNING;
    m_pState->m_nInkoraPenMode = 0;
    m_pState->m_strMsgText[0] = L"The camera stopped sending.";

    for (int c = 0; c < options.cameras; ++c)
    {
        SIM_OPTICS_CONFIG config;
        config.monitor = CALIB_RECT{c * width, 0, (c + 1) * width, height};
        PlaceCentredView(config, options.viewFill, options.keystone);
        config.k1 = options.k1;
        config.lensScale = options.lensScale;
        config.ceilingMount = options.ceilingMount;
        config.rearProjection = options.rearProjection;
        config.noiseSeed = options.seed + static_cast<std::uint32_t>(c);
        m_optics.push_back(std::make_unique<CSimOptics>(config));
        // The unit's picture shows its monitor through the optics that place its spots.
        m_world.m_bus->WithUnit(c, [&](CSimUnit& unit) { unit.SetOptics(config); });
    }

    ResetPenPipeline();
    g_calibrationHooks.pfnRedraw = [] { ++g_nScenarioCaptures; };
    g_calibrationHooks.pfnSaveSettings = []
    {
        ++g_nScenarioSaves;
        return true;
    };
    g_nScenarioCaptures = 0;
    g_nScenarioSaves = 0;
}

CPenScenario::~CPenScenario()
{
    StopReader();
    g_gate.pLink = nullptr;
    g_gate.pBus = nullptr;
    ResetPenPipeline();
    m_pState.reset();
    g_pMainDlg = nullptr;
}

bool CPenScenario::StartDevices()
{
    CDeviceController& controller = m_pState->m_controller;
    if (!controller.StartDevices())
        return Fail("the devices did not start");
    if (!controller.DetectFirmware())
        return Fail("the firmware was not detected");
    m_pState->m_dFirmwareVersion = controller.GetDeviceVersion(0);
    return true;
}

bool CPenScenario::WaitForSimTime(std::uint64_t micros)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!ReaderHeldAt(micros))
    {
        if (std::chrono::steady_clock::now() > deadline)
            return Fail("simulated time stood still");
        std::this_thread::yield();
    }
    return true;
}

bool CPenScenario::Frames(int frames)
{
    // Counted from the last horizon rather than from now: a read that began before the horizon
    // may end after it, and a scenario counted from there would drift by each such overshoot.
    const std::uint64_t until = SceneTime() + std::uint64_t(frames) * FRAME_MICROS;
    if (!m_pState->m_controller.m_link.IsReaderRunning())
    {
        m_world.m_bus->Clock().AdvanceTo(until);
        MoveHorizon(until);
        return true;
    }
    MoveHorizon(until);
    return WaitForSimTime(until);
}

bool CPenScenario::WaitForCapture(int capturesBefore)
{
    for (int n = 0; n < CAPTURE_FRAMES; ++n)
    {
        if (g_nScenarioCaptures > capturesBefore)
            return true;
        if (!Frames(1))
            return false;
    }
    return g_nScenarioCaptures > capturesBefore;
}

bool CPenScenario::TakeMainMessage(std::uint32_t message)
{
    std::lock_guard guard(m_world.m_platform.m_lock);
    const auto& messages = m_world.m_platform.m_mainMessages;
    for (std::size_t n = m_nMainMessagesSeen; n < messages.size(); ++n)
    {
        if (messages[n].message == message)
        {
            m_nMainMessagesSeen = n + 1;
            return true;
        }
    }
    return false;
}

bool CPenScenario::Calibrate()
{
    CDeviceController& controller = m_pState->m_controller;
    // The main window hides the cursor and starts with camera 0.
    Platform().ShowMouseCursor(false);
    g_nCalibCamera = 0;
    CloseGate();
    if (!StartCalibration(controller, g_nCalibCamera))
        return Fail("the calibration did not start");
    CloseGate();
    const int targets = m_options.calibModel == CALIB_MODEL_NINE ? 9 : 16;
    for (int camera = 0; camera < m_options.cameras; ++camera)
    {
        for (int taken = 0; taken < targets; ++taken)
        {
            if (!TouchShownTarget())
                return false;
        }
        // The last target's capture solves and saves on the reader thread before it posts
        // what the main window does next.
        bool next = false;
        for (int frame = 0; frame < FINISH_FRAMES && !next; ++frame)
        {
            if (TakeMainMessage(WM_RESTART_TRACKING))
                return true;
            next = TakeMainMessage(WM_CALIBRATE_NEXT);
            if (!next && !Frames(1))
                return false;
        }
        if (!next)
            break;
        const bool started = StartCalibration(controller, g_nCalibCamera);
        CloseGate();
        if (!started)
            return Fail("the next camera's calibration did not start");
    }
    return Fail("the calibration did not end after the last target");
}

bool CPenScenario::TouchShownTarget()
{
    const int camera = g_nCalibCamera;
    const int target = g_captureState.m_nTargetIndex;
    CALIB_POINT point;
    if (m_options.calibModel == CALIB_MODEL_NINE)
        point = NinePointCalibAt(static_cast<std::uint16_t>(camera))->m_ptTarget[target];
    else
        point = SixteenPointCalibAt(static_cast<std::uint16_t>(camera))->m_ptTarget[target];

    const int before = g_nScenarioCaptures;
    PenDown(camera, 0, point.x, point.y);
    if (!WaitForCapture(before))
    {
        if (m_strError.empty())
            m_strError = "target " + std::to_string(target) + " of camera " +
                         std::to_string(camera) + " was not taken";
        return false;
    }
    m_touches.push_back({camera, target, point.x, point.y});
    PenUp(camera, 0);
    return Frames(LIFT_FRAMES);
}

bool CPenScenario::StartTracking()
{
    CloseGate();
    if (!m_pState->m_controller.StartPenTracking())
        return Fail("pen tracking did not start");
    CloseGate();
    return true;
}

void CPenScenario::OpenReadGate()
{
    {
        std::lock_guard guard(g_gate.lock);
        g_gate.bOpen = true;
    }
    g_gate.opened.notify_all();
}

bool CPenScenario::AsMainWindow(bool (*step)(CDriverState&))
{
    const bool result = step(*m_pState);
    CloseGate();
    return result;
}

// The gate stays as it is: a reader asked to stop passes it anyway, and an open gate would let
// it race through simulated time between the stream-off commands and the stop, where a silent
// unit's read time-outs cost nothing but count for the stall watch.
void CPenScenario::StopReader()
{
    if (m_pState)
        m_pState->m_controller.m_link.StopReader();
}

void CPenScenario::PenDown(int camera, int pen, double screenX, double screenY)
{
    double cameraX = 0.0;
    double cameraY = 0.0;
    if (!Optics(camera).ScreenToCameraExact(screenX, screenY, cameraX, cameraY))
        return;
    m_world.m_bus->WithUnit(camera, [&](CSimUnit& unit) { unit.SetPen(pen, cameraX, cameraY); });
}

void CPenScenario::PenUp(int camera, int pen)
{
    m_world.m_bus->WithUnit(camera, [&](CSimUnit& unit) { unit.LiftPen(pen); });
}

bool CPenScenario::DriverMaps(int camera, double screenX, double screenY, int& mappedX,
                              int& mappedY)
{
    double cameraX = 0.0;
    double cameraY = 0.0;
    if (!Optics(camera).ScreenToCameraExact(screenX, screenY, cameraX, cameraY))
        return false;
    return MapCameraPoint(static_cast<std::uint16_t>(camera),
                          static_cast<std::int32_t>(std::floor(cameraX)),
                          static_cast<std::int32_t>(std::floor(cameraY)), mappedX, mappedY);
}

void CPenScenario::ClearRecords()
{
    std::lock_guard guard(m_world.m_platform.m_lock);
    m_world.m_platform.m_mouse.clear();
    m_world.m_platform.m_mouseMicros.clear();
    m_world.m_platform.m_windowMessages.clear();
}

int CPenScenario::Saves() const
{
    return g_nScenarioSaves;
}
