// A recording of the camera stream as support uses it: what the reader read during a stroke,
// a double click and a right click (on one unit, on each of two units, or on a unit that goes
// silent mid-stroke and later stalls for good) goes into the file with its units and times,
// and replayed by simulated units into a fresh driver it gives the same mouse events at the
// same places and, within a frame, the same times, and the main window hears the same of
// quiet units and of the stall watch. A recording stops at its size limit and says so.

#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/Protocol.h"
#include "device/StallWatch.h"
#include "device/StreamRecorder.h"
#include "shell/RecordingControl.h"
#include "tests/native/test_sim_helpers.h"
#include "tests/support/PenScenario.h"
#include "tests/support/PenTestKit.h"
#include "tests/support/ProfileWorld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace
{
constexpr std::uint64_t FRAME_MICROS = 10'000;
constexpr int TIMEOUT_FRAMES = int(protocol::READ_TIMEOUT_MS * 1000 / FRAME_MICROS);

struct DRIVER_RUN
{
    std::vector<INJECTED_EVENT> events;
    std::vector<std::uint64_t> micros;
    // What the reader posted to the main window: quiet units, the stall watch.
    std::vector<COMPANION_MESSAGE> posted;
    int failed = 0;
};

// What the driver did since the mark, up to the instant given.
DRIVER_RUN RunOf(CPenScenario& scenario, std::size_t postedFrom, std::uint64_t until)
{
    DRIVER_RUN run;
    run.events = MouseEvents(scenario.m_world.m_platform);
    run.micros = scenario.MouseTimes();
    std::lock_guard guard(scenario.m_world.m_platform.m_lock);
    const std::vector<RECORDED_MESSAGE>& posted = scenario.m_world.m_platform.m_mainMessages;
    for (std::size_t n = postedFrom; n < posted.size() && posted[n].micros <= until; ++n)
        run.posted.push_back({posted[n].message, posted[n].wParam, posted[n].lParam});
    run.failed = scenario.State().m_controller.m_link.m_bFailed;
    return run;
}

int Count(const DRIVER_RUN& run, std::uint32_t message, std::intptr_t lParam)
{
    return int(std::count_if(run.posted.begin(), run.posted.end(),
                             [&](const COMPANION_MESSAGE& posted)
                             { return posted.message == message && posted.lParam == lParam; }));
}

bool ReadFile(const std::filesystem::path& path, RECORDING_HEADER& header,
              std::vector<RECORDED_BYTE>& bytes)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)),
                                         std::istreambuf_iterator<char>());
    bool truncated = true;
    return ReadRecording(file, header, bytes, &truncated) && !truncated;
}

// Pen 0 of a unit at a screen point, or lifted, for some frames.
bool Hold(CPenScenario& scenario, int unit, double x, double y, int frames)
{
    scenario.PenDown(unit, 0, x, y);
    return scenario.Frames(frames);
}

bool Lift(CPenScenario& scenario, int unit, int frames)
{
    scenario.PenUp(unit, 0);
    return scenario.Frames(frames);
}

// The demo's gestures with pen 0 on a unit's monitor: a stroke, a double click, a hold for
// the right click.
bool Gestures(CPenScenario& scenario, int unit)
{
    const double left = unit * scenario.m_options.monitorWidth;
    const double stroke[][2] = {{200, 300}, {300, 330}, {400, 360}, {500, 390}, {600, 420}};
    for (const auto& point : stroke)
    {
        if (!Hold(scenario, unit, left + point[0], point[1], 3))
            return false;
    }
    bool ok = Lift(scenario, unit, 40);
    for (int tap = 0; tap < 2; ++tap)
        ok = ok && Hold(scenario, unit, left + 400, 500, 3) && Lift(scenario, unit, 5);
    return ok && scenario.Frames(40) && Hold(scenario, unit, left + 700, 250, 120) &&
           Lift(scenario, unit, 20);
}

// Unit 1 is dark when the recording starts (see REPLAY_CASES) and wakes for its own gestures.
bool TwoUnits(CPenScenario& scenario)
{
    if (!Gestures(scenario, 0))
        return false;
    scenario.m_world.m_bus->Execute("unit 1 fault stall off");
    return Gestures(scenario, 1);
}

// Unit 0 goes silent for a second in the middle of a stroke and comes back with the pen still
// on the board; later it stalls for good with the pen down, until the stall watch gives up.
bool StallingUnit(CPenScenario& scenario)
{
    bool ok = Hold(scenario, 0, 200, 300, 10);
    scenario.m_world.m_bus->Execute("unit 0 fault stall");
    ok = ok && Hold(scenario, 0, 300, 330, 100);
    scenario.m_world.m_bus->Execute("unit 0 fault stall off");
    ok = ok && scenario.Frames(10) && Hold(scenario, 0, 400, 360, 10) && Lift(scenario, 0, 40) &&
         Hold(scenario, 0, 500, 390, 10);
    scenario.m_world.m_bus->Execute("unit 0 fault stall");
    // A tenth more read time-outs than the watch needs.
    return ok && scenario.Frames((STALL_LIMIT + STALL_LIMIT / 10) * TIMEOUT_FRAMES);
}

struct REPLAY_CASE
{
    const char* name;
    int units;
    // Two units of the multi-spot firmware end the program at start-up.
    std::uint8_t firmwareMinor;
    // Simulator commands before tracking starts, in the recorded run only.
    const char* before;
    bool (*session)(CPenScenario&);
    // What the recorded session itself must show: quiet marks and the stall watch's end.
    int quiet;
    bool stalled;
};

const REPLAY_CASE REPLAY_CASES[] = {
    {"one unit", 1, 0x23, "", [](CPenScenario& scenario) { return Gestures(scenario, 0); }, 0,
     false},
    {"two units", 2, 0x22, "unit 1 fault stall", &TwoUnits, 1, false},
    {"a unit that stalls", 1, 0x23, "", &StallingUnit, 2, true},
};
} // namespace

TEST(StreamRecording, ReplayOfARecordedSessionGivesTheSameDriverOutputInAFreshDriver)
{
    for (const REPLAY_CASE& c : REPLAY_CASES)
    {
        SCOPED_TRACE(c.name);
        const PEN_SCENARIO_OPTIONS options{.cameras = c.units, .firmwareMinor = c.firmwareMinor};
        CTempFolder dir;
        const std::filesystem::path file = std::filesystem::path(dir.Path()) / "board.tvrec";
        DRIVER_RUN recorded;
        std::uint64_t spanMicros = 0;
        {
            CPenScenario scenario(options);
            ASSERT_TRUE(scenario.StartDevices() && scenario.Calibrate()) << scenario.Error();
            const std::size_t postedFrom = scenario.MainMessages().size();
            ASSERT_TRUE(scenario.m_world.m_bus->Execute(c.before).empty());
            ASSERT_TRUE(scenario.StartTracking()) << scenario.Error();
            ASSERT_TRUE(StartRecording(scenario.State(), file.wstring()));
            const auto readSoFar = [&]
            {
                std::uint64_t read = 0;
                for (int unit = 0; unit < c.units; ++unit)
                    read += scenario.m_world.m_bus->Stats(unit).bytesRead;
                return read;
            };
            const std::uint64_t readBefore = readSoFar();
            const std::uint64_t start = scenario.m_world.m_bus->NowMicros();
            scenario.ClearRecords();
            ASSERT_TRUE(c.session(scenario)) << scenario.Error();
            // The reader waits for the next frame here, so this is what it read while
            // recording.
            const std::uint64_t bytesRead = readSoFar() - readBefore;
            spanMicros = scenario.m_world.m_bus->NowMicros() - start;
            // Before the stop, which lets the reader run free for a moment.
            recorded = RunOf(scenario, postedFrom, UINT64_MAX);
            StopRecording("the test ends");
            scenario.StopReader();

            RECORDING_HEADER header;
            std::vector<RECORDED_BYTE> bytes;
            ASSERT_TRUE(ReadFile(file, header, bytes));
            ASSERT_EQ(header.units.size(), std::size_t(c.units));
            for (int unit = 0; unit < c.units; ++unit)
            {
                const RECORDING_UNIT& recordedUnit = header.units[std::size_t(unit)];
                EXPECT_DOUBLE_EQ(recordedUnit.firmwareVersion, 1.0 + (c.firmwareMinor >> 4) / 10.0 +
                                                                   (c.firmwareMinor & 15) / 100.0);
                EXPECT_EQ(recordedUnit.monitorRect[2], (unit + 1) * options.monitorWidth);
                EXPECT_EQ(recordedUnit.calibration.size(), 13u);
            }
            EXPECT_EQ(header.calibrated, scenario.State().m_bCalibrated.load());
            // Every byte the reader read while recording, none twice, none made up.
            EXPECT_EQ(bytes.size(), bytesRead);
            EXPECT_EQ(StreamRecorder().BytesDropped(), 0u);
        }
        ASSERT_GE(recorded.events.size(), 5u * std::size_t(c.units));
        EXPECT_EQ(Count(recorded, WM_CAMERA_QUIET, 1), c.quiet);
        EXPECT_EQ(Count(recorded, WM_CAMERA_STALLED, 0), c.stalled ? 1 : 0);

        CPenScenario scenario(options);
        ASSERT_TRUE(scenario.StartDevices() && scenario.Calibrate()) << scenario.Error();
        // The replay starts with the next stream; the calibration's reader must not take it.
        scenario.StopReader();
        ASSERT_TRUE(scenario.m_world.m_bus->Execute("replay " + simtest::Utf8(file)).empty());
        scenario.ClearRecords();
        const std::size_t postedFrom = scenario.MainMessages().size();
        ASSERT_TRUE(scenario.StartTracking()) << scenario.Error();
        const std::uint64_t start = scenario.m_world.m_bus->NowMicros();
        ASSERT_TRUE(scenario.Frames(int(spanMicros / FRAME_MICROS) + 10)) << scenario.Error();
        // Where the recording ends its units fall silent, which the recorded run never saw.
        const DRIVER_RUN replayed = RunOf(scenario, postedFrom, start + spanMicros);
        scenario.StopReader();
        EXPECT_TRUE(scenario.m_world.m_bus->Errors().empty());
        for (int unit = 0; unit < c.units; ++unit)
        {
            EXPECT_EQ(scenario.m_world.m_bus->WithUnit(unit, [](CSimUnit& simUnit)
                                                       { return simUnit.ReplayLeft(); }),
                      0u);
        }

        EXPECT_EQ(replayed.events, recorded.events);
        EXPECT_EQ(replayed.posted, recorded.posted);
        EXPECT_EQ(replayed.failed, recorded.failed);
        ASSERT_EQ(replayed.micros.size(), recorded.micros.size());
        for (std::size_t i = 1; i < replayed.micros.size(); ++i)
            EXPECT_NEAR(double(replayed.micros[i] - replayed.micros[0]),
                        double(recorded.micros[i] - recorded.micros[0]), double(FRAME_MICROS))
                << "event " << i;
    }
}

TEST(StreamRecording, StopsAtItsSizeLimitAndTellsTheMainWindow)
{
    CTempFolder dir;
    const std::filesystem::path file = std::filesystem::path(dir.Path()) / "short.tvrec";
    CPenScenario scenario;
    ASSERT_TRUE(scenario.StartDevices() && scenario.Calibrate() && scenario.StartTracking())
        << scenario.Error();
    constexpr std::uint64_t LIMIT = 4096;
    ASSERT_TRUE(StartRecording(scenario.State(), file.wstring(), LIMIT));
    scenario.PenDown(0, 0, 500, 400);
    ASSERT_TRUE(scenario.Frames(200)) << scenario.Error();
    scenario.StopReader();
    // The writer wakes on its own; the end is final once it has been told to stop.
    StreamRecorder().Stop();

    EXPECT_EQ(StreamRecorder().End(), RECORDING_END::LIMIT_REACHED);
    EXPECT_FALSE(StreamRecorder().IsRecording());
    const auto size = std::filesystem::file_size(file);
    EXPECT_LE(size, LIMIT);
    EXPECT_GT(size, LIMIT - 16);
    EXPECT_EQ(std::ranges::count(scenario.MainMessages(), WM_RECORDING_ENDED), 1);
    RECORDING_HEADER header;
    std::vector<RECORDED_BYTE> bytes;
    EXPECT_TRUE(ReadFile(file, header, bytes));
}
