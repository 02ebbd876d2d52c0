#include "shell/RecordingControl.h"
#include "device/DeviceController.h"

#include "calibration/CalibTables.h"
#include "calibration/NinePointCalib.h"
#include "calibration/SixteenPointCalib.h"
#include "core/DiagLog.h"
#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/StreamRecorder.h"
#include "platform/Platform.h"

namespace
{
// Long enough for any path Windows accepts.
constexpr std::size_t RECORD_PATH_CHARS = 32768;

void LogAmount(const char* how)
{
    CStreamRecorder& recorder = StreamRecorder();
    DiagLog().Printf("Recording %s: %llu bytes from the units, %llu bytes in the file, %llu "
                     "dropped",
                     how, static_cast<unsigned long long>(recorder.BytesRecorded()),
                     static_cast<unsigned long long>(recorder.BytesWritten()),
                     static_cast<unsigned long long>(recorder.BytesDropped()));
}
} // namespace

RECORDING_HEADER RecordingHeaderOf(CDriverState& state)
{
    RECORDING_HEADER header;
    header.calibModel = static_cast<std::uint8_t>(state.m_nCalibModel.load());
    header.calibrated = static_cast<std::uint8_t>(state.m_bCalibrated.load());
    header.ceilingMount = static_cast<std::uint8_t>(state.m_bCeilingMount.load());
    header.rearProjection = static_cast<std::uint8_t>(state.m_bRearProjection.load());
    header.screenWidth = state.m_cxScreen.load();
    header.screenHeight = state.m_cyScreen.load();
    const CAMERA_RECORD* records = state.m_controller.GetRecords();
    const std::uint16_t count = state.m_controller.GetDeviceCount();
    for (std::uint16_t i = 0; records != nullptr && i < count; ++i)
    {
        RECORDING_UNIT unit;
        unit.firmwareVersion = records[i].firmwareVersion;
        unit.location = records[i].location;
        for (int edge = 0; edge < 4; ++edge)
            unit.monitorRect[edge] = records[i].monitorRect[edge];
        if (header.calibModel == CALIB_MODEL_SIXTEEN)
        {
            if (const CSixteenPointCalib* model = SixteenPointCalibAt(i))
                unit.calibration.assign(model->m_dParam, model->m_dParam + PARAM_COUNT);
        }
        else if (header.calibModel == CALIB_MODEL_NINE)
        {
            if (const CNinePointCalib* model = NinePointCalibAt(i))
                unit.calibration.assign(model->m_dH, model->m_dH + 9);
        }
        header.units.push_back(unit);
    }
    return header;
}

std::wstring ChooseRecordingPath(CDriverState& state, const std::wstring& fromArguments)
{
    if (!fromArguments.empty())
        return fromArguments;
    return Platform().ReadProfileText(state.m_strConfigPath, L"Diagnostics", L"Record", L"",
                                      RECORD_PATH_CHARS);
}

bool StartRecording(CDriverState& state, const std::wstring& path, std::uint64_t limitBytes)
{
    if (!StreamRecorder().Start(path, RecordingHeaderOf(state), limitBytes, WM_RECORDING_ENDED))
    {
        DiagLog().Write("Recording could not start: cannot write " + Utf8Of(path));
        return false;
    }
    DiagLog().Printf("Recording the camera stream to %s (at most %llu MiB)", Utf8Of(path).c_str(),
                     static_cast<unsigned long long>(limitBytes >> 20));
    return true;
}

void StopRecording(const char* why)
{
    CStreamRecorder& recorder = StreamRecorder();
    if (!recorder.IsRecording())
        return;
    recorder.Stop();
    LogAmount((std::string("stopped (") + why + ")").c_str());
}

void OnRecordingEnded()
{
    CStreamRecorder& recorder = StreamRecorder();
    recorder.Stop();
    switch (recorder.End())
    {
    case RECORDING_END::LIMIT_REACHED:
        LogAmount("stopped at its size limit");
        break;
    case RECORDING_END::WRITE_FAILED:
        LogAmount("stopped: the file could not be written");
        break;
    case RECORDING_END::RUNNING:
    case RECORDING_END::STOPPED:
        break;
    }
}
