#include "shell/DiagEvents.h"
#include "device/DeviceController.h"

#include "core/DiagLog.h"
#include "core/DriverState.h"
#include "platform/Platform.h"
#include "shell/MainFlows.h"

#include <string>

namespace
{
std::string g_strShutdownReason;

unsigned long long MillisBetween(std::uint64_t from, std::uint64_t to)
{
    return static_cast<unsigned long long>((to - from) / 1000);
}

const char* ModelName(std::int32_t model)
{
    switch (model)
    {
    case CALIB_MODEL_SIXTEEN:
        return "sixteen-point";
    case CALIB_MODEL_NINE:
        return "nine-point";
    default:
        return "unknown";
    }
}
} // namespace

CStartupSteps::CStartupSteps() : m_nStart(Platform().MonotonicMicros()), m_nLast(m_nStart) {}

void CStartupSteps::Step(const char* what)
{
    const std::uint64_t now = Platform().MonotonicMicros();
    DiagLog().Printf("Start-up: %s (%llu ms)", what, MillisBetween(m_nLast, now));
    m_nLast = now;
}

void CStartupSteps::Done()
{
    DiagLog().Printf("Start-up finished in %llu ms",
                     MillisBetween(m_nStart, Platform().MonotonicMicros()));
}

void LogProgramStart(const std::wstring& version, const std::wstring& commandLine)
{
    DiagLog().Write("Tavelo " + Utf8Of(version) + " started" +
                    (commandLine.empty() ? std::string() : ", arguments: " + Utf8Of(commandLine)));
}

void LogUnits(CDriverState& state)
{
    CDeviceController& controller = state.m_controller;
    const std::uint16_t count = controller.GetDeviceCount();
    DiagLog().Printf("Units found: %u", static_cast<unsigned>(count));
    const CAMERA_RECORD* records = controller.GetRecords();
    for (std::uint16_t i = 0; records != nullptr && i < count; ++i)
    {
        const UNIT_IDENTITY identity =
            i < controller.m_openedUnits.size() ? controller.m_openedUnits[i] : UNIT_IDENTITY();
        DiagLog().Printf("Unit %u: \"%s\", serial \"%s\", location 0x%08X, firmware %.2f%s",
                         static_cast<unsigned>(i), identity.description.c_str(),
                         identity.serial.c_str(), records[i].location, records[i].firmwareVersion,
                         records[i].count == CAMERA_RECORD_UNREADABLE ? " (unreadable)" : "");
    }
}

void LogSettingsSource(CDriverState& state, bool fromUnit)
{
    DiagLog().Printf("Settings read from %s: calibrated %d, model %s, ceiling mount %d, rear "
                     "projection %d",
                     fromUnit ? "Config.ini and the unit's own store" : "Config.ini",
                     state.m_bCalibrated.load(), ModelName(state.m_nCalibModel.load()),
                     state.m_bCeilingMount.load(), state.m_bRearProjection.load());
}

void LogCalibration(CDriverState& state, bool fromUnit)
{
    DiagLog().Printf("Calibration loaded from %s: %s model, screen %d x %d",
                     fromUnit ? "the unit's store" : "Config.ini",
                     ModelName(state.m_nCalibModel.load()), state.m_cxScreen.load(),
                     state.m_cyScreen.load());
}

void LogCalibrationStarted(std::uint16_t camera)
{
    DiagLog().Printf("Calibration started for unit %u", static_cast<unsigned>(camera));
}

void LogCalibrationFinished(CDriverState& state)
{
    DiagLog().Printf("Calibration finished: %s model, screen %d x %d",
                     ModelName(state.m_nCalibModel.load()), state.m_cxScreen.load(),
                     state.m_cyScreen.load());
}

void LogWizardResult(bool finished)
{
    DiagLog().Write(finished ? "Start wizard finished" : "Start wizard cancelled");
}

void LogDisplayGeometry(CDriverState& state, const char* why)
{
    CPlatform& platform = Platform();
    int width = 0;
    int height = 0;
    (void)platform.GetCurrentDisplayMode(width, height);
    DiagLog().Printf("%s: display %d x %d, %d monitor(s)", why, width, height,
                     platform.GetSystemMetric(METRIC_CMONITORS));
    const CAMERA_RECORD* records = state.m_controller.GetRecords();
    const std::uint16_t count = state.m_controller.GetDeviceCount();
    for (std::uint16_t i = 0; records != nullptr && i < count; ++i)
    {
        const std::int32_t* rect = records[i].monitorRect;
        DiagLog().Printf("Unit %u serves monitor %d: (%d, %d) to (%d, %d)",
                         static_cast<unsigned>(i), static_cast<int>(records[i].monitorIndex),
                         rect[0], rect[1], rect[2], rect[3]);
    }
}

void LogPowerEvent(std::uint32_t event)
{
    if (event == POWER_SUSPEND)
        DiagLog().Write("The system is suspending");
    else if (event == POWER_RESUME_SUSPEND)
        DiagLog().Write("The system resumed; pen tracking restarts");
}

void LogCameraQuiet(std::uint16_t camera, bool quiet)
{
    if (quiet)
        DiagLog().Printf("Unit %u went quiet: no byte for a whole read time-out; its pens are "
                         "released",
                         static_cast<unsigned>(camera));
    else
        DiagLog().Printf("Unit %u is sending again", static_cast<unsigned>(camera));
}

void LogCameraStalled(std::uint16_t camera)
{
    DiagLog().Printf("Stall watch: unit %u repeated one byte too often; the program ends",
                     static_cast<unsigned>(camera));
}

void LogUpdateCheck(const std::wstring& server, const std::wstring& version, bool newer,
                    std::uint64_t tookMicros)
{
    const unsigned long long took = MillisBetween(0, tookMicros);
    if (version.empty())
        DiagLog().Printf("Update check: no version read from %s (%llu ms)", Utf8Of(server).c_str(),
                         took);
    else
        DiagLog().Printf("Update check: %s names version %s, %s (%llu ms)", Utf8Of(server).c_str(),
                         Utf8Of(version).c_str(), newer ? "newer than this one" : "not newer",
                         took);
}

void LogMessageBox(CDriverState& state, const std::wstring& text)
{
    for (int i = 0; i < MSG_TEXT_COUNT; ++i)
    {
        if (!text.empty() && text == state.m_strMsgText[i])
        {
            DiagLog().Printf("Message box M%d shown", i + 1);
            return;
        }
    }
    // The few fixed texts are the program's own and carry no user data.
    DiagLog().Write("Message box shown with a fixed text: " + Utf8Of(text.substr(0, 60)));
}

void SetShutdownReason(const char* reason)
{
    if (g_strShutdownReason.empty())
        g_strShutdownReason = reason;
}

void LogShutdown()
{
    DiagLog().Write("Shutdown: " + (g_strShutdownReason.empty()
                                        ? std::string("the main window was destroyed")
                                        : g_strShutdownReason));
}
