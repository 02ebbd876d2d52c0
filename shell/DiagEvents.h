#pragma once
// What the driver tells its diagnostic log, in the words a supporter reads: start-up steps and
// their durations, the units found, where the settings and the calibration came from, display,
// power and camera events, the message boxes shown, and why the program ended. All of it runs
// on the user-interface thread; the reader's events reach it as posted messages.

#include <cstdint>
#include <string>

class CDriverState;

// Times the steps of start-up: each Step writes how long it took since the one before.
class CStartupSteps
{
public:
    CStartupSteps();
    void Step(const char* what);
    // Writes the whole start-up's duration.
    void Done();

private:
    std::uint64_t m_nStart = 0;
    std::uint64_t m_nLast = 0;
};

void LogProgramStart(const std::wstring& version, const std::wstring& commandLine);
// Every unit that was opened: its place on the bus and the firmware it reported.
void LogUnits(CDriverState& state);
void LogSettingsSource(CDriverState& state, bool fromUnit);
void LogCalibration(CDriverState& state, bool fromUnit);
void LogCalibrationStarted(std::uint16_t camera);
// The last camera's calibration is done: the model now in force.
void LogCalibrationFinished(CDriverState& state);
void LogWizardResult(bool finished);
// The monitor each unit serves now.
void LogDisplayGeometry(CDriverState& state, const char* why);
void LogPowerEvent(std::uint32_t event);
// A unit went quiet (no byte for a whole read time-out) or was heard again.
void LogCameraQuiet(std::uint16_t camera, bool quiet);
void LogCameraStalled(std::uint16_t camera);
// The update check of start-up has ended: the server asked, the version its upgrade
// description names ("" when none was read) and whether that is newer than this program.
void LogUpdateCheck(const std::wstring& server, const std::wstring& version, bool newer,
                    std::uint64_t tookMicros);
// By its language key (M1 to M12) when it is one of the program's message texts.
void LogMessageBox(CDriverState& state, const std::wstring& text);

// Why the program is about to end; the first reason given stands.
void SetShutdownReason(const char* reason);
void LogShutdown();
