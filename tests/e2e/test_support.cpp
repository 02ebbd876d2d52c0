// What support gets from a board, with the real Tavelo.exe under Wine: a session recorded
// through the hidden setting replays into a fresh run, where the hook in another process sees
// the same buttons in the same order at the same places and times; and the log beside the
// program tells the session's story in order.

#include "core/Messages.h"
#include "tests/wine_support/Landing.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(Support, ARecordedSessionReplaysIntoAFreshRunAndTheLogTellsItInOrder)
{
    ASSERT_TRUE(Board().IsCalibrated());
    std::vector<HOOKED_EVENT> recorded;
    std::wstring recording;
    {
        CDriverRun run("support-record");
        Board().WriteConfig(run);
        recording = run.Path("session.tvrec");
        WritePrivateProfileStringW(L"Diagnostics", L"Record", recording.c_str(),
                                   run.Path("Config.ini").c_str());
        CHookProbe probe;
        ASSERT_TRUE(run.StartTracking(probe, RUN_START_MS));
        const std::vector<std::wstring> items = run.MenuItems();
        EXPECT_NE(std::find(items.begin(), items.end(), L"11044 0 0 Stop recording"), items.end());
        const std::size_t skip = probe.Count();
        // A stroke, two quick taps, a pen held for a right click.
        DrawStroke(run, Board().m_optics[0],
                   {{200, 300}, {300, 330}, {400, 360}, {500, 390}, {600, 420}});
        Sleep(300);
        for (int tap = 0; tap < 2; ++tap)
        {
            run.Control(Board().PenAt(0, 0, 400, 500));
            Sleep(60);
            run.Control(CCalibratedBoard::PenUp(0, 0));
            Sleep(60);
        }
        Sleep(300);
        run.Control(Board().PenAt(0, 0, 700, 250));
        Sleep(1000);
        run.Control(CCalibratedBoard::PenUp(0, 0));
        Sleep(500);
        recorded = ButtonEvents(probe, skip, 0);
        ASSERT_TRUE(run.Exit());

        const std::string log = run.ReadText("Tavelo.log");
        const std::vector<std::string> story = {
            " started",
            "Start-up: language texts loaded (",
            "Start-up: units listed and opened (",
            "Units found: 1",
            "Unit 0: \"Tavelo TA\", serial \"TA",
            "Settings read from Config.ini",
            "Calibration loaded from ",
            "Recording the camera stream to " + Narrow(recording),
            "Mode: tracking (was starting)",
            "Start-up: pen tracking started (",
            "Start-up finished in ",
            "Shutdown: Exit chosen from the tray menu",
            "Recording stopped (the program ends): ",
            "Process ends",
        };
        // Each text at or after the one before it.
        std::size_t at = 0;
        for (const std::string& text : story)
        {
            at = log.find(text, at);
            ASSERT_NE(at, std::string::npos) << "missing or out of order: " << text << "\n" << log;
        }
    }
    // Two presses and releases of the stroke and the taps, a double click, a right click.
    ASSERT_GE(recorded.size(), 6u);

    CDriverRun run("support-replay");
    Board().WriteConfig(run);
    run.WriteText("SimScenario.txt", Board().Scenario() + "replay " + Narrow(recording) + "\n");
    CHookProbe probe;
    const std::size_t skip = probe.Count();
    ASSERT_TRUE(run.StartTracking(probe, RUN_START_MS));
    Sleep(DWORD((recorded.back().micros - recorded.front().micros) / 1000) + 2000);
    const std::vector<HOOKED_EVENT> replayed = ButtonEvents(probe, skip, 0);
    EXPECT_TRUE(run.Exit());

    ASSERT_EQ(replayed.size(), recorded.size());
    for (std::size_t i = 0; i < replayed.size(); ++i)
    {
        EXPECT_TRUE(At(replayed[i], recorded[i].message, recorded[i].x, recorded[i].y, 1.0))
            << "event " << i;
        const double recordedMs = double(recorded[i].micros - recorded[0].micros) / 1000.0;
        const double replayedMs = double(replayed[i].micros - replayed[0].micros) / 1000.0;
        EXPECT_NEAR(replayedMs, recordedMs, 10.0) << "event " << i << " (one frame: 10 ms)";
    }
}
