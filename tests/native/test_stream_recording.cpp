// A recording of the camera stream as support uses it: what the reader read during a stroke,
// a double click and a right click goes into the file with its units and times, and replayed
// by a simulated unit into a fresh driver it gives the same mouse events at the same places
// and, within a frame, the same times. A recording stops at its size limit and says so.

#include "core/DriverState.h"
#include "core/Messages.h"
#include "device/StreamRecorder.h"
#include "shell/RecordingControl.h"
#include "tests/native/test_sim_helpers.h"
#include "tests/support/PenScenario.h"
#include "tests/support/PenTestKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

namespace
{
constexpr std::uint64_t FRAME_MICROS = 10'000;

struct MOUSE_RUN
{
    std::vector<INJECTED_EVENT> events;
    std::vector<std::uint64_t> micros;
};

MOUSE_RUN MouseOf(CPenScenario& scenario)
{
    MOUSE_RUN run;
    run.events = MouseEvents(scenario.MouseRecords(), scenario.m_options.monitorWidth,
                             scenario.m_options.monitorHeight);
    run.micros = scenario.MouseTimes();
    return run;
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

// The demo's gestures with pen 0: a stroke, a double click, a hold for the right click.
bool Gestures(CPenScenario& scenario)
{
    const double stroke[][2] = {{200, 300}, {300, 330}, {400, 360}, {500, 390}, {600, 420}};
    for (const auto& point : stroke)
    {
        scenario.PenDown(0, 0, point[0], point[1]);
        if (!scenario.Frames(3))
            return false;
    }
    scenario.PenUp(0, 0);
    bool ok = scenario.Frames(40);
    for (int tap = 0; tap < 2 && ok; ++tap)
    {
        scenario.PenDown(0, 0, 400, 500);
        ok = scenario.Frames(3);
        scenario.PenUp(0, 0);
        ok = ok && scenario.Frames(5);
    }
    ok = ok && scenario.Frames(40);
    scenario.PenDown(0, 0, 700, 250);
    ok = ok && scenario.Frames(120);
    scenario.PenUp(0, 0);
    return ok && scenario.Frames(20);
}
} // namespace

TEST(StreamRecording, ReplayOfARecordedSessionGivesTheSameMouseEventsInAFreshDriver)
{
    simtest::CTempDir dir("recording");
    const std::filesystem::path file = dir.Path() / "board.tvrec";
    MOUSE_RUN recorded;
    std::uint64_t recordedMicros = 0;
    {
        CPenScenario scenario;
        ASSERT_TRUE(scenario.StartDevices()) << scenario.Error();
        ASSERT_TRUE(scenario.Calibrate()) << scenario.Error();
        ASSERT_TRUE(scenario.StartTracking()) << scenario.Error();
        ASSERT_TRUE(StartRecording(scenario.State(), file.wstring()));
        const std::uint64_t readBefore = scenario.m_world.m_bus->Stats(0).bytesRead;
        scenario.ClearRecords();
        ASSERT_TRUE(Gestures(scenario)) << scenario.Error();
        // The reader waits for the next frame here, so this is what it read while recording.
        const std::uint64_t bytesRead = scenario.m_world.m_bus->Stats(0).bytesRead - readBefore;
        StopRecording("the test ends");
        scenario.StopReader();
        recorded = MouseOf(scenario);

        RECORDING_HEADER header;
        std::vector<RECORDED_BYTE> bytes;
        ASSERT_TRUE(ReadFile(file, header, bytes));
        ASSERT_EQ(header.units.size(), 1u);
        EXPECT_DOUBLE_EQ(header.units[0].firmwareVersion, 1.23);
        EXPECT_EQ(header.units[0].monitorRect[2], 1024);
        EXPECT_EQ(header.units[0].calibration.size(), 13u);
        EXPECT_EQ(header.calibrated, scenario.State().m_bCalibrated.load());
        // Every byte the reader read while recording, none twice, none made up.
        EXPECT_EQ(bytes.size(), bytesRead);
        EXPECT_EQ(StreamRecorder().BytesDropped(), 0u);
        ASSERT_FALSE(bytes.empty());
        recordedMicros = bytes.back().micros;
    }
    ASSERT_GE(recorded.events.size(), 10u);

    CPenScenario scenario;
    ASSERT_TRUE(scenario.StartDevices()) << scenario.Error();
    ASSERT_TRUE(scenario.Calibrate()) << scenario.Error();
    // The replay starts with the next stream; the calibration's reader must not take it.
    scenario.StopReader();
    ASSERT_TRUE(scenario.m_world.m_bus->Execute("replay " + simtest::Utf8(file)).empty());
    scenario.ClearRecords();
    ASSERT_TRUE(scenario.StartTracking()) << scenario.Error();
    ASSERT_TRUE(scenario.Frames(int(recordedMicros / FRAME_MICROS) + 100)) << scenario.Error();
    EXPECT_TRUE(scenario.m_world.m_bus->Errors().empty());
    EXPECT_EQ(scenario.m_world.m_bus->WithUnit(0, [](CSimUnit& unit) { return unit.ReplayLeft(); }),
              0u);
    const MOUSE_RUN replayed = MouseOf(scenario);

    EXPECT_EQ(replayed.events, recorded.events);
    ASSERT_EQ(replayed.micros.size(), recorded.micros.size());
    for (std::size_t i = 1; i < replayed.micros.size(); ++i)
    {
        const auto since = [](const MOUSE_RUN& run, std::size_t n)
        { return double(run.micros[n] - run.micros[0]); };
        EXPECT_NEAR(since(replayed, i), since(recorded, i), double(FRAME_MICROS)) << "event " << i;
    }
}

TEST(StreamRecording, StopsAtItsSizeLimitAndTellsTheMainWindow)
{
    simtest::CTempDir dir("recording_limit");
    const std::filesystem::path file = dir.Path() / "short.tvrec";
    CPenScenario scenario;
    ASSERT_TRUE(scenario.StartDevices()) << scenario.Error();
    ASSERT_TRUE(scenario.Calibrate()) << scenario.Error();
    ASSERT_TRUE(scenario.StartTracking()) << scenario.Error();
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
    const std::vector<std::uint32_t> messages = scenario.MainMessages();
    EXPECT_EQ(std::count(messages.begin(), messages.end(), std::uint32_t{WM_RECORDING_ENDED}), 1);
    RECORDING_HEADER header;
    std::vector<RECORDED_BYTE> bytes;
    EXPECT_TRUE(ReadFile(file, header, bytes));
}
