#pragma once
// Starting and stopping a recording of the camera stream from the program: the header from
// what the driver knows now, and a line in the log for each start and end. User-interface
// thread.

#include "device/StreamRecording.h"

#include <cstdint>
#include <string>

class CDriverState;

// The units, their monitors and firmware, the settings and each unit's model in force.
RECORDING_HEADER RecordingHeaderOf(CDriverState& state);

// Where to record: the path given, or else the hidden setting Record of [Diagnostics] in
// Config.ini; "" when neither names one.
std::wstring ChooseRecordingPath(CDriverState& state, const std::wstring& fromArguments);

bool StartRecording(CDriverState& state, const std::wstring& path,
                    std::uint64_t limitBytes = 256ull << 20);
// Ends a running recording and logs why and how much it holds.
void StopRecording(const char* why);
// WM_RECORDING_ENDED: the recorder stopped by itself.
void OnRecordingEnded();
