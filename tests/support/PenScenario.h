#pragma once
// The driver's whole pen chain against simulated camera units, driven the way a user and the
// main window would drive it: start the devices, calibrate each camera by holding a pen on
// every target shown until it is taken, then track pens placed in screen coordinates. The
// reader thread runs for real; the simulator's clock is virtual, so time passes only as the
// reader reads. The main window's part (handling WM_CALIBRATE_NEXT and WM_RESTART_TRACKING)
// is played by the calling thread.

#include "calibration/CaptureSequence.h"
#include "sim/Optics.h"
#include "tests/support/DeviceWorld.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CDriverState;

struct PEN_SCENARIO_OPTIONS
{
    int cameras = 1;
    std::uint8_t firmwareMinor = 0x23;
    std::int32_t calibModel = 0; // CALIB_MODEL_SIXTEEN
    std::int32_t ceilingMount = 0;
    std::int32_t rearProjection = 0;
    int monitorWidth = 1024;
    int monitorHeight = 768;
    // Camera view: share of the image width the monitor fills, keystone, radial distortion.
    double viewFill = 0.8;
    double keystone = 0.06;
    double k1 = -0.04;
    double lensScale = 320.0;
    std::uint32_t seed = 7;
};

// One target as the calibration took it.
struct TARGET_TOUCH
{
    int camera = 0;
    int target = 0;
    int screenX = 0;
    int screenY = 0;
};

class CPenScenario
{
public:
    explicit CPenScenario(const PEN_SCENARIO_OPTIONS& options = PEN_SCENARIO_OPTIONS());
    ~CPenScenario();

    // Start-up's device part: list, open, firmware; the state record takes camera 0's
    // version. False with the reason in Error().
    bool StartDevices();
    // Calibrates every camera through the driver's capture. False when it did not finish.
    bool Calibrate();
    bool StartTracking();
    void StopReader();
    // Lets the reader read freely from now on, for a test that stops it through the driver's
    // own calls.
    void OpenReadGate();
    // A main-window step that reads the units itself (reopening them, starting tracking), run
    // on this thread while the reader waits; the reader may then go on to the time the step
    // has reached. Its result.
    bool AsMainWindow(bool (*step)(CDriverState&));

    // A pen of a camera placed at a screen point through that camera's optics, or lifted.
    void PenDown(int camera, int pen, double screenX, double screenY);
    void PenUp(int camera, int pen);
    // Lets simulated time pass: the reader reads what the cameras send in that time.
    bool Frames(int frames);

    // Where the driver's model of a camera maps the pen the camera sees at a screen point.
    bool DriverMaps(int camera, double screenX, double screenY, int& mappedX, int& mappedY);

    // The simulated time each mouse record was sent at.
    std::vector<std::uint64_t> MouseTimes() { return Locked(m_world.m_platform.m_mouseMicros); }
    std::vector<RECORDED_MESSAGE> WindowMessages()
    {
        return Locked(m_world.m_platform.m_windowMessages);
    }
    std::vector<std::uint32_t> MainMessages() { return m_world.m_platform.PostedToMain(); }
    void ClearRecords();

    const std::string& Error() const { return m_strError; }
    const std::vector<TARGET_TOUCH>& Touches() const { return m_touches; }
    int Saves() const;
    CDriverState& State() { return *m_pState; }
    CSimOptics& Optics(int camera) { return *m_optics[static_cast<std::size_t>(camera)]; }

    PEN_SCENARIO_OPTIONS m_options;
    CDeviceWorld m_world;

private:
    // A copy of a record the reader thread adds to.
    template <typename T> T Locked(const T& record)
    {
        std::lock_guard guard(m_world.m_platform.m_lock);
        return record;
    }
    bool WaitForSimTime(std::uint64_t micros);
    bool WaitForCapture(int capturesBefore);
    // Holds the pen on the target shown until it is taken, then lifts it.
    bool TouchShownTarget();
    bool TakeMainMessage(std::uint32_t message);
    bool Fail(const char* why)
    {
        m_strError = why;
        return false;
    }

    std::unique_ptr<CDriverState> m_pState;
    std::vector<std::unique_ptr<CSimOptics>> m_optics;
    std::vector<TARGET_TOUCH> m_touches;
    std::string m_strError;
    std::size_t m_nMainMessagesSeen = 0;
};
