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

// Stalled or unplugged mid-stroke, with pen 0 and (multi-spot form) a companion pen down. A
// unit plugged in again is reopened by the driver itself and the pens land where they did,
// without a restart or a new calibration.
TEST(Faults, AQuietCameraReleasesItsPensInTimeAndAUnitPluggedBackIsTrackedAsBefore)
{
    for (const FAULT_CONDITION condition :
         {FAULT_CONDITION::Stall, FAULT_CONDITION::Unplug, FAULT_CONDITION::UnplugReplug})
    {
        for (const bool multi : {false, true})
        {
            SCOPED_TRACE(testing::Message()
                         << FaultConditionName(condition) << (multi ? " multi" : ""));
            CFaultTour tour(multi, condition);
            ASSERT_TRUE(tour.Run()) << tour.Error();
            const FAULT_FIGURES figures = tour.Figures();
            EXPECT_EQ(figures.stuck, 0);
            EXPECT_EQ(figures.phantom, 0);
            if (condition == FAULT_CONDITION::UnplugReplug)
            {
                EXPECT_EQ(figures.resumed, 1);
                EXPECT_LE(figures.maxPx, 3.0);
                // Back within one look of the listing.
                EXPECT_LE(figures.lagMs, double(UNIT_LOOK_MS));
                const std::vector<std::uint32_t> messages = tour.MainMessages();
                EXPECT_EQ(std::ranges::count(messages, WM_UNIT_GONE), 1);
                EXPECT_EQ(std::ranges::count(messages, WM_UNIT_BACK), 1);
                EXPECT_EQ(std::ranges::count(messages, WM_CAMERA_STALLED), 0);
                continue;
            }
            EXPECT_LE(figures.lagMs, READ_TIMEOUT_MS + FRAME_MS);
            if (condition != FAULT_CONDITION::Stall)
                continue;

            // Half a second of silence with the pen resting: a lift, then a fresh press where
            // it rests when frames come again, not a double click across the silence.
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
    }
}

// Strokes, taps and holds on both monitors by turns; camera 1 one frame a second faster
// gains a frame period on camera 0 every 100 seconds, so it runs for ten minutes.
TEST(Faults, WithASecondCameraEachKeepsPaceAndCameraZeroIsUndisturbed)
{
    const struct
    {
        bool multi;
        FAULT_CONDITION condition;
        double minutes;
    } cases[] = {{false, FAULT_CONDITION::TwoCamerasFast, 10.0},
                 {false, FAULT_CONDITION::TwoCamerasGarbage, 1.0},
                 {true, FAULT_CONDITION::TwoCamerasGarbage, 1.0}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << FaultConditionName(c.condition) << (c.multi ? " multi" : ""));
        CFaultTour tour(c.multi, c.condition, c.minutes);
        ASSERT_TRUE(tour.Run()) << tour.Error();
        const FAULT_FIGURES figures = tour.Figures();
        EXPECT_GT(figures.presses, 30);
        EXPECT_LE(figures.lagMs, 2 * FRAME_MS + READ_TIMEOUT_MS);
        EXPECT_EQ(figures.phantom, 0);
        EXPECT_EQ(figures.stuck, 0);

        // The same rounds with camera 1 as clean as camera 0, for the first minute.
        CFaultTour plain(c.multi, FAULT_CONDITION::TwoCamerasClean, 1.0);
        ASSERT_TRUE(plain.Run()) << plain.Error();
        const auto expected = MonitorZero(plain.Outputs());
        auto seen = MonitorZero(tour.Outputs());
        ASSERT_GE(seen.size(), expected.size());
        seen.resize(expected.size());
        EXPECT_EQ(seen, expected);
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
