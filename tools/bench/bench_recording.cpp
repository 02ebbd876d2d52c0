// A recording's size per minute of tracking: one unit with multi-spot firmware, and two units
// with single-spot firmware (the only two-unit board the driver accepts), with a pen drawing
// circles on every monitor, lifted now and then, for a minute of the simulator's virtual time.

#include "Bench.h"

#include "device/StreamRecorder.h"
#include "shell/RecordingControl.h"
#include "tests/support/PenScenario.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

namespace
{
constexpr int SECONDS = 60;

int RunUnits(int cameras)
{
    PEN_SCENARIO_OPTIONS options;
    options.cameras = cameras;
    options.firmwareMinor = cameras == 1 ? 0x23 : 0x10;
    CPenScenario scenario(options);
    if (!scenario.StartDevices() || !scenario.Calibrate() || !scenario.StartTracking())
    {
        std::printf("recording units=%d: %s\n", cameras, scenario.Error().c_str());
        return 1;
    }
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "tavelo_bench_recording.tvrec";
    if (!StartRecording(scenario.State(), file.wstring()))
        return 1;
    for (int frame = 0; frame < SECONDS * 100; frame += 5)
    {
        for (int camera = 0; camera < cameras; ++camera)
        {
            const double angle = 0.01 * frame;
            if ((frame / 100) % 4 == 3)
                scenario.PenUp(camera, 0);
            else
                scenario.PenDown(camera, 0, 1024 * camera + 512 + 300 * std::cos(angle),
                                 384 + 250 * std::sin(angle));
        }
        if (!scenario.Frames(5))
            return 1;
    }
    StopRecording("the bench ends");
    scenario.StopReader();
    const CStreamRecorder& recorder = StreamRecorder();
    std::printf(
        "recording units=%d firmware=1.%02x seconds=%d file_bytes=%llu bytes_per_minute=%llu "
        "unit_bytes=%llu dropped=%llu\n",
        cameras, options.firmwareMinor, SECONDS,
        static_cast<unsigned long long>(recorder.BytesWritten()),
        static_cast<unsigned long long>(recorder.BytesWritten() * 60 / SECONDS),
        static_cast<unsigned long long>(recorder.BytesRecorded()),
        static_cast<unsigned long long>(recorder.BytesDropped()));
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return 0;
}

int RunRecording(const std::vector<std::string>&)
{
    return RunUnits(1) | RunUnits(2);
}

CBenchRegistration g_registration("recording",
                                  "size of a recording per minute of tracking, one and two units",
                                  RunRecording);
} // namespace
