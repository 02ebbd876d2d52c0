// What a user at the board notices when a camera goes quiet in the middle of a stroke, or when
// a second camera sends more than the first: the whole pen chain on the virtual clock, measured
// against where the pens really were (tests/support/FaultTour.h).

#include "core/Messages.h"
#include "device/Protocol.h"
#include "shell/UnitReplug.h"
#include "tests/support/FaultTour.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace
{
constexpr double FRAME_MS = 10.0;
constexpr double READ_TIMEOUT_MS = protocol::READ_TIMEOUT_MS;

struct FAULT_CASE
{
    bool multi = false;
    FAULT_CONDITION condition = FAULT_CONDITION::Clean;
    double minutes = 1.0;
};

std::string CaseName(const ::testing::TestParamInfo<FAULT_CASE>& info)
{
    std::string name = std::string(info.param.multi ? "Multi" : "Single") + "_" +
                       FaultConditionName(info.param.condition);
    for (char& c : name)
        c = c == '-' ? '_' : c;
    return name;
}

using QuietCamera = ::testing::TestWithParam<FAULT_CASE>;
using SecondCamera = ::testing::TestWithParam<FAULT_CASE>;

// What the driver sent for camera 0's monitor, repeats of one record left out: a camera 0
// frame seen a pass earlier or later only changes how often a position repeats.
std::vector<std::tuple<int, int, int, int>> MonitorZero(const std::vector<PEN_OUTPUT>& outputs)
{
    std::vector<std::tuple<int, int, int, int>> seen;
    for (const PEN_OUTPUT& output : outputs)
    {
        if (output.x >= CFaultTour::MONITOR_WIDTH)
            continue;
        const auto record = std::make_tuple(output.pen, int(output.kind), output.x, output.y);
        if (seen.empty() || seen.back() != record)
            seen.push_back(record);
    }
    return seen;
}
} // namespace

// Stalled or unplugged mid-stroke, with pen 0 and (multi-spot form) a companion pen down.
TEST_P(QuietCamera, ReleasesItsPensWithinOneReadTimeoutAndNeverLeavesOnePressed)
{
    CFaultTour tour(GetParam().multi, GetParam().condition);
    ASSERT_TRUE(tour.Run()) << tour.Error();
    const FAULT_FIGURES figures = tour.Figures();
    EXPECT_LE(figures.lagMs, READ_TIMEOUT_MS + FRAME_MS);
    EXPECT_EQ(figures.stuck, 0);
    EXPECT_EQ(figures.phantom, 0);
    if (GetParam().condition != FAULT_CONDITION::Stall)
        return;

    // Half a second of silence with the pen resting: a lift, then a fresh press where it
    // rests when frames come again, not a double click across the silence.
    std::vector<PEN_OUTPUT> buttons;
    for (const PEN_OUTPUT& output : tour.Outputs())
    {
        if (output.pen == 0 && output.micros >= tour.QuietTimes().at(1) &&
            output.kind != MOUSE_ACTION::Move)
            buttons.push_back(output);
    }
    ASSERT_GE(buttons.size(), 2u);
    EXPECT_EQ(buttons[0].kind, MOUSE_ACTION::Release);
    EXPECT_EQ(buttons[1].kind, MOUSE_ACTION::Press);
    EXPECT_NEAR(buttons[1].x, 300, 5);
    EXPECT_NEAR(buttons[1].y, 200, 5);
}

INSTANTIATE_TEST_SUITE_P(Faults, QuietCamera,
                         ::testing::Values(FAULT_CASE{false, FAULT_CONDITION::Stall},
                                           FAULT_CASE{true, FAULT_CONDITION::Stall},
                                           FAULT_CASE{false, FAULT_CONDITION::Unplug},
                                           FAULT_CASE{true, FAULT_CONDITION::Unplug}),
                         CaseName);

// Strokes, taps and holds on both monitors by turns; camera 1 one frame a second faster
// gains a frame period on camera 0 every 100 seconds, so it runs for ten minutes.
TEST_P(SecondCamera, EachCameraKeepsPaceAndCameraZeroIsUndisturbed)
{
    CFaultTour tour(GetParam().multi, GetParam().condition, GetParam().minutes);
    ASSERT_TRUE(tour.Run()) << tour.Error();
    const FAULT_FIGURES figures = tour.Figures();
    EXPECT_GT(figures.presses, 30);
    EXPECT_LE(figures.lagMs, 2 * FRAME_MS + READ_TIMEOUT_MS);
    EXPECT_EQ(figures.phantom, 0);
    EXPECT_EQ(figures.stuck, 0);

    // The same rounds with camera 1 as clean as camera 0, for the first minute.
    CFaultTour plain(GetParam().multi, FAULT_CONDITION::TwoCamerasClean, 1.0);
    ASSERT_TRUE(plain.Run()) << plain.Error();
    const auto expected = MonitorZero(plain.Outputs());
    auto seen = MonitorZero(tour.Outputs());
    ASSERT_GE(seen.size(), expected.size());
    seen.resize(expected.size());
    EXPECT_EQ(seen, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SecondCamera,
    ::testing::Values(FAULT_CASE{false, FAULT_CONDITION::TwoCamerasFast, 10.0},
                      FAULT_CASE{false, FAULT_CONDITION::TwoCamerasGarbage, 1.0},
                      FAULT_CASE{true, FAULT_CONDITION::TwoCamerasGarbage, 1.0}),
    CaseName);

// Unplugged mid-stroke and plugged in again: the driver reopens the unit by itself and the
// pens land where they did, without a restart or a new calibration.
TEST(UnitReplug, TheSameUnitBackIsReopenedAndTrackedAsBefore)
{
    for (bool multi : {false, true})
    {
        SCOPED_TRACE(multi ? "multi-spot" : "single-spot");
        CFaultTour tour(multi, FAULT_CONDITION::UnplugReplug);
        ASSERT_TRUE(tour.Run()) << tour.Error();
        const FAULT_FIGURES figures = tour.Figures();
        EXPECT_EQ(figures.resumed, 1);
        EXPECT_EQ(figures.stuck, 0);
        EXPECT_EQ(figures.phantom, 0);
        EXPECT_LE(figures.maxPx, 3.0);
        // Back within one look of the listing.
        EXPECT_LE(figures.lagMs, double(UNIT_LOOK_MS));
        const std::vector<std::uint32_t> messages = tour.MainMessages();
        EXPECT_EQ(std::ranges::count(messages, WM_UNIT_GONE), 1);
        EXPECT_EQ(std::ranges::count(messages, WM_UNIT_BACK), 1);
        EXPECT_EQ(std::ranges::count(messages, WM_CAMERA_STALLED), 0);
    }
}

// Long after the reads began to fail, an unplugged unit is still only gone; a unit that is
// there but silent still ends in the stall message.
TEST(UnitReplug, TheStallWatchCountsASilentUnitButNotAGoneOne)
{
    const struct
    {
        const char* fault;
        int gone;
        bool stalled;
    } cases[] = {{"unplug", 1, false}, {"stall", 0, true}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.fault);
        CPenScenario scenario;
        ASSERT_TRUE(scenario.StartDevices() && scenario.StartTracking() && scenario.Frames(10))
            << scenario.Error();
        scenario.m_world.m_bus->Execute(std::string("unit 0 fault ") + c.fault);
        // Half as many again as the thousand read time-outs the watch needs.
        ASSERT_TRUE(scenario.Frames(1500 * int(READ_TIMEOUT_MS / FRAME_MS))) << scenario.Error();
        scenario.StopReader();
        const std::vector<std::uint32_t> messages = scenario.MainMessages();
        EXPECT_EQ(std::ranges::count(messages, WM_UNIT_GONE), c.gone);
        // The main window reports a stall once, however often the watch asks.
        EXPECT_EQ(std::ranges::count(messages, WM_CAMERA_STALLED) > 0, c.stalled);
    }
}
