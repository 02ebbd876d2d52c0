// The reader thread: callbacks per mode, and stopping while a unit streams.

#include "device/CameraLink.h"
#include "device/DeviceGlobals.h"
#include "tests/support/DeviceWorld.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <vector>

namespace
{
std::atomic<int> g_nCalls{0};
std::atomic<bool> g_bStopped{false};
std::atomic<int> g_nLateCalls{0};

void CountRecord(CAMERA_RECORD)
{
    if (g_bStopped)
        ++g_nLateCalls;
    ++g_nCalls;
}

void CountTable(CAMERA_RECORD* records)
{
    CountRecord(records[0]);
}

// What the reader handed on for each camera, in order, with its simulated time and whether the
// stop had begun; passes with nothing new for a camera are left out. Reader thread only while
// it runs.
struct LINK_EVENT
{
    std::uint8_t state;
    int byte;
    std::uint64_t micros;
    bool stopping;
};
std::vector<LINK_EVENT> g_linkEvents[2];
std::atomic<bool> g_bStopping{false};

void RecordLinkEvents(CAMERA_RECORD* records)
{
    for (std::uint16_t i = 0; i < records[0].count && i < 2; ++i)
    {
        if (records[i].rxState != RX_NOTHING_NEW)
            g_linkEvents[i].push_back({records[i].rxState, ByteOf(records[i]),
                                       Platform().MonotonicMicros(), g_bStopping});
    }
    ++g_nCalls;
}

std::vector<std::uint64_t> TimesOf(int camera, std::uint8_t state, std::uint64_t until = UINT64_MAX)
{
    std::vector<std::uint64_t> times;
    for (const LINK_EVENT& event : g_linkEvents[camera])
    {
        if (event.state == state && event.micros <= until)
            times.push_back(event.micros);
    }
    return times;
}

// Waits (without a clock) until the reader has called back at least `calls` times.
bool WaitForCalls(int calls)
{
    for (int spin = 0; spin < 20'000'000 && g_nCalls < calls; ++spin)
        std::this_thread::yield();
    return g_nCalls >= calls;
}

// Starts the reader and lets it run until the units' clock has moved on that far; returns
// the clock's time at the start.
std::uint64_t RunReaderFor(CCameraLink& link, CDeviceWorld& world, std::uint64_t micros)
{
    const std::uint64_t start = world.m_bus->NowMicros();
    EXPECT_TRUE(link.StartReader());
    for (int spin = 0; spin < 200'000'000 && world.m_bus->NowMicros() < start + micros; ++spin)
        std::this_thread::yield();
    return start;
}

// An FT_Write that, once armed, dawdles after each stream-off: the unit is silent from then
// on, and the stop takes as long to go on as a write to a hung unit would.
PFN_FT_Write g_pfnSimWrite = nullptr;
CSimBus* g_pDawdleBus = nullptr;
std::atomic<bool> g_bDawdle{false};

FT_STATUS TAVELO_STDCALL WriteThenDawdle(FT_HANDLE handle, void* buffer, std::uint32_t count,
                                         std::uint32_t* written)
{
    const FT_STATUS status = g_pfnSimWrite(handle, buffer, count, written);
    if (g_bDawdle && count == protocol::COMMAND_LENGTH &&
        std::memcmp(buffer, protocol::STREAM_OFF.data(), count) == 0)
    {
        g_bStopping = true;
        const std::uint64_t until =
            g_pDawdleBus->NowMicros() + 2 * std::uint64_t{protocol::READ_TIMEOUT_MS} * 1000;
        const auto cap = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
        while (g_pDawdleBus->NowMicros() < until && std::chrono::steady_clock::now() < cap)
            std::this_thread::yield();
    }
    return status;
}
} // namespace

TEST(ReaderStop, NoCallbackRunsAfterTheStopReturns)
{
    CDeviceWorld world("units 2\nunit 0 minor 0x23\nunit 0 pen 0 100 100\nunit 1 pen 0 300 200");
    CCameraLink link;
    ASSERT_TRUE(OpenUnits(link, 2));
    g_nLateCalls = 0;
    for (int round = 0; round < 200; ++round)
    {
        const bool tableMode = round % 2 == 0;
        link.SetCurrentDevice(static_cast<std::uint16_t>(round % 4 == 1));
        ASSERT_TRUE(tableMode ? link.SetCallback(1, &CountTable)
                              : link.SetCallback(0, &CountRecord));
        g_bStopped = false;
        g_nCalls = 0;
        ASSERT_TRUE(link.StartReader());
        ASSERT_TRUE(WaitForCalls(1 + round % 7));
        link.StopReader();
        g_bStopped = true;
        // Anything still running would call back now.
        world.m_bus->Advance(10'000);
        std::this_thread::yield();
    }
    EXPECT_EQ(g_nLateCalls, 0);
    EXPECT_FALSE(link.IsReaderRunning());
}

// The stop turns the units' streams off before the reader ends. A unit silent because of that
// stop is no camera going quiet, even when the stop is slow to go on: nothing may log it or
// release its pens as if its cable had been pulled.
TEST(ReaderStop, TheDriversOwnStopIsNoCameraGoingQuiet)
{
    for (const int units : {1, 2})
    {
        CDeviceWorld world(units == 1 ? "units 1\nunit 0 pen 0 320 240"
                                      : "units 2\nunit 0 pen 0 320 240\nunit 1 pen 0 100 100");
        std::map<std::string, void*>& symbols = world.m_platform.m_libraries[L"ftd2xx.dll"];
        g_pfnSimWrite = reinterpret_cast<PFN_FT_Write>(symbols["FT_Write"]);
        symbols["FT_Write"] = reinterpret_cast<void*>(&WriteThenDawdle);
        g_pDawdleBus = &world.m_bus.Bus();
        CCameraLink link;
        ASSERT_TRUE(OpenUnits(link, static_cast<std::uint16_t>(units)));
        ASSERT_TRUE(link.SetCallback(1, &RecordLinkEvents));
        g_nCalls = 0;
        g_bStopping = false;
        g_linkEvents[0].clear();
        g_linkEvents[1].clear();
        ASSERT_TRUE(link.StartReader());
        ASSERT_TRUE(WaitForCalls(50));
        g_bDawdle = true;
        link.StopReader();
        g_bDawdle = false;
        EXPECT_TRUE(g_bStopping);
        for (const std::vector<LINK_EVENT>& events : g_linkEvents)
            EXPECT_FALSE(std::ranges::any_of(events, [](const LINK_EVENT& e)
                                             { return e.stopping && e.state == RX_QUIET; }))
                << units << " units";
    }
}

// On the real clock: a reader blocked in a read of a silent camera ends within one read
// time-out of the stop.
TEST(ReaderStop, StopEndsABlockedReadWithinOneReadTimeout)
{
    CDeviceWorld world("units 1\nunit 0 pen 0 320 240");
    CScopedSimBus realBus(SIM_BUS_OPTIONS{false, 1});
    world.m_platform.m_clock = realBus->ClockFunction();
    world.m_platform.m_sleeper = realBus->SleepFunction();
    realBus->Execute("unit 0 fault stall");
    CCameraLink link;
    ASSERT_TRUE(OpenUnits(link, 1));
    link.SetCurrentDevice(0);
    ASSERT_TRUE(link.SetCallback(0, &CountRecord));
    for (int round = 0; round < 3; ++round)
    {
        g_nCalls = 0;
        ASSERT_TRUE(link.StartReader());
        // Let the reader block in a read that nothing will satisfy.
        realBus->Advance(50'000);
        const std::uint64_t before = realBus->NowMicros();
        link.StopReader();
        const std::uint64_t took = realBus->NowMicros() - before;
        // Generous slack for a loaded machine; a reader that missed the flag would take a
        // further full time-out or never end.
        EXPECT_LT(took, std::uint64_t{protocol::READ_TIMEOUT_MS} * 1000 + 250'000);
    }
}

// A cleared callback is never called, though the reader goes on reading for 50 ms of the
// units' time; a camera that falls silent still hands its previous byte on, once per read.
TEST(ReaderCallbacks, ClearedCallbackIsNeverCalledAndASilentCameraStillHandsOnItsByte)
{
    CDeviceWorld world("units 1\nunit 0 pen 0 320 240");
    CCameraLink link;
    ASSERT_TRUE(OpenUnits(link, 1));
    g_nCalls = 0;
    link.SetCurrentDevice(0);
    ASSERT_TRUE(link.SetCallback(0, &CountRecord));
    ASSERT_TRUE(link.SetCallback(0, nullptr));
    RunReaderFor(link, world, 50'000);
    link.StopReader();
    EXPECT_EQ(g_nCalls, 0);

    ASSERT_TRUE(link.SetCallback(0, &CountRecord));
    ASSERT_TRUE(link.StartReader());
    ASSERT_TRUE(WaitForCalls(20));
    world.m_bus->Execute("unit 0 fault stall");
    const int atStall = g_nCalls;
    // Each empty read is one read time-out of simulated time and still one callback.
    ASSERT_TRUE(WaitForCalls(atStall + 200));
    link.StopReader();
    EXPECT_EQ(link.GetRecords()[0].bytesRead, 0u);
    EXPECT_EQ(link.GetRecords()[0].rxState, RX_QUIET);
}

// Camera 0 stalled or unplugged, camera 1 sending more than a clean camera would: camera 1's
// every byte is handed on once; a stalled camera 0's old byte once per read time-out (so the
// stall watch still needs 1000 time-outs), not once per pass; an unplugged one once, quiet,
// then no more (it is reported gone instead).
TEST(ReaderTwoCameras, EachCameraIsReadAsItSendsAndASilentOneIsQuietOncePerReadTimeout)
{
    const std::uint64_t timeout = std::uint64_t{protocol::READ_TIMEOUT_MS} * 1000;
    for (const char* fault : {"stall", "unplug"})
    {
        CDeviceWorld world("units 2\nunit 1 pen 0 320 240\nunit 1 fault garbage");
        CCameraLink link;
        ASSERT_TRUE(OpenUnits(link, 2));
        world.m_bus->Execute(std::string("unit 0 fault ") + fault);
        g_linkEvents[0].clear();
        g_linkEvents[1].clear();
        ASSERT_TRUE(link.SetCallback(1, &RecordLinkEvents));
        const std::uint64_t start = RunReaderFor(link, world, 3'500'000);
        // Stopping turns camera 1's stream off first, so it may go quiet after this.
        const std::uint64_t stop = world.m_bus->NowMicros();
        link.StopReader();

        // Only the marks before the stop: the reader runs on while this thread stops it (on
        // a loaded machine for a long while), and once camera 1's stream is off both are silent.
        const std::vector<std::uint64_t> quiet = TimesOf(0, RX_QUIET, stop);
        const bool unplugged = std::string(fault) == "unplug";
        ASSERT_GE(quiet.size(), unplugged ? 1u : 10u) << fault;
        EXPECT_LE(quiet.size(), (stop - start) / timeout + 1) << fault;
        if (unplugged)
        {
            EXPECT_EQ(TimesOf(0, RX_QUIET).size(), 1u) << "gone is handed on once";
        }
        EXPECT_LE(quiet[0], start + timeout + 10'000) << fault;
        for (std::size_t n = 1; n < quiet.size(); ++n)
        {
            const std::uint64_t gap = quiet[n] - quiet[n - 1];
            EXPECT_GE(gap, timeout) << fault << " mark " << n;
            EXPECT_LE(gap, timeout + 20'000) << fault << " mark " << n;
        }
        EXPECT_TRUE(TimesOf(0, RX_NEW_BYTE).empty()) << fault;
        EXPECT_TRUE(TimesOf(1, RX_QUIET, stop).empty()) << fault;
        const std::size_t received = TimesOf(1, RX_NEW_BYTE).size();
        // The stop may come between the last read and its callback.
        EXPECT_NEAR(double(received), double(world.m_bus->Stats(1).bytesRead), 1.0) << fault;
        EXPECT_GT(received, 3000u) << fault;
    }
}

// Two pens, so every frame is a '7' and an '8' packet back to back. With the bridge handing
// each packet on at its '&', the link goes idle once per frame, the quiet gap after the '8'
// ends, never between the two packets; one camera or two. Without the event character the
// reader never waits for the gap.
TEST(ReaderQuietGap, TheLinkGoesIdleOnceAfterEachFrameAndNeverInsideOne)
{
    for (const int cameras : {1, 2})
    {
        // Not asked for, asked for, and asked for of bridges that refuse it.
        for (const char* bridge : {"", "event character", "refused"})
        {
            const bool refused = bridge == std::string("refused");
            const bool eventChar = bridge == std::string("event character");
            const std::string where = std::to_string(cameras) + " cameras " + bridge;
            CDeviceWorld world("units " + std::to_string(cameras) +
                               "\nunit 0 pen 0 100 100\nunit 0 pen 1 300 200"
                               "\nunit 1 pen 0 200 100\nunit 1 pen 1 400 300" +
                               (refused ? "\nunit 0 bridge refuse\nunit 1 bridge refuse" : ""));
            CCameraLink link;
            ASSERT_TRUE(OpenUnits(link, static_cast<std::uint16_t>(cameras)));
            if (bridge[0] != '\0')
                link.SetLowLatency();
            EXPECT_EQ(link.EndsPackets(), eventChar) << where;
            g_linkEvents[0].clear();
            g_linkEvents[1].clear();
            ASSERT_TRUE(link.SetCallback(1, &RecordLinkEvents));
            RunReaderFor(link, world, 300'000);
            link.StopReader();

            for (int i = 0; i < cameras; ++i)
            {
                const std::vector<LINK_EVENT>& events = g_linkEvents[i];
                int idle = 0;
                for (std::size_t n = 0; n < events.size(); ++n)
                {
                    if (events[n].state != RX_LINK_IDLE)
                        continue;
                    ++idle;
                    // Right after the last byte of an '8' packet, by the gap.
                    ASSERT_GE(n, 12u) << where;
                    EXPECT_EQ(events[n - 1].byte, '&') << where;
                    EXPECT_EQ(events[n - 11].byte, '8') << where << " camera " << i;
                    const std::uint64_t gap = events[n].micros - events[n - 1].micros;
                    EXPECT_GE(gap, QUIET_GAP_MS * 1000) << where;
                    EXPECT_LE(gap, QUIET_GAP_MS * 1000 + 500) << where;
                }
                // About 30 frames in 300 ms of the unit's time.
                if (eventChar)
                    EXPECT_GE(idle, 25) << where << " camera " << i;
                else
                    EXPECT_EQ(idle, 0) << where << " camera " << i;
            }
        }
    }
}

// The reader injects input for as long as tracking runs; it must keep its own message queue
// empty as it goes, in both modes, one camera or two.
TEST(ReaderQueue, TheReaderEmptiesItsOwnMessageQueueWhileItRuns)
{
    const struct
    {
        const char* scenario;
        int mode;
        std::uint16_t units;
    } cases[] = {
        {"units 1\nunit 0 pen 0 320 240", 1, 1},
        {"units 1\nunit 0 pen 0 320 240", 0, 1},
        {"units 2\nunit 0 pen 0 320 240\nunit 1 pen 0 100 100", 1, 2},
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.scenario);
        CDeviceWorld world(c.scenario);
        CCameraLink link;
        ASSERT_TRUE(OpenUnits(link, c.units));
        g_nCalls = 0;
        link.SetCurrentDevice(0);
        ASSERT_TRUE(c.mode == 1 ? link.SetCallback(1, &CountTable)
                                : link.SetCallback(0, &CountRecord));
        ASSERT_TRUE(link.StartReader());
        ASSERT_TRUE(WaitForCalls(10'000));
        link.StopReader();
        const std::vector<std::thread::id> drains = world.m_platform.m_drainThreads;
        // At least one drain per 2000 passes, every one on the reader thread.
        EXPECT_GE(drains.size() * 2000, static_cast<std::size_t>(g_nCalls.load()));
        for (const std::thread::id& id : drains)
            EXPECT_NE(id, std::this_thread::get_id());
    }
}
