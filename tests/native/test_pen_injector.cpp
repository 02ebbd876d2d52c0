#include "tests/support/FakePlatform.h"
#include "tests/support/PenTestKit.h"
#include "tracking/PenInjector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

namespace
{
constexpr WindowHandle COMPANION = 0x4711;

class PenGestures : public ::testing::Test
{
protected:
    PenGestures() : m_scope(m_platform) { Restart(); }
    void Restart()
    {
        g_penInjector.Reset();
        g_penInjector.SetArea(0, 0, 1024, 768);
        g_penInjector.SetFilter(FILTER_RAW, PEN_FILTER_T, 1);
        g_penInjector.m_hCompanionWnd = COMPANION;
        Forget();
    }
    ~PenGestures() override { g_penInjector.Reset(); }

    // Pen 0 reported present at one place for a number of samples.
    void Touch(int x, int y, int samples = 1)
    {
        for (int n = 0; n < samples; ++n)
            g_penInjector.PointerMove(x, y);
    }
    // Pen 0 reported absent for a number of samples.
    void Lift(int samples = 1)
    {
        for (int n = 0; n < samples; ++n)
            g_penInjector.PointerUp();
    }
    std::vector<INJECTED_EVENT> Mouse() { return MouseEvents(m_platform); }
    std::vector<INJECTED_EVENT> Buttons() { return ButtonEvents(m_platform); }
    void Forget() { m_platform.m_mouse.clear(); }

    CFakePlatform m_platform;
    CScopedPlatform m_scope;
};

using Events = std::vector<INJECTED_EVENT>;
} // namespace

// A second touch is a double click only near the first (within twenty pixels), soon after it
// (up to 25 absent samples) and after a first press that barely moved (three changes).
TEST_F(PenGestures, DoubleClickNeedsANearQuickSecondPressAfterAStillFirstOne)
{
    const struct
    {
        int changes;
        int lifts;
        int secondX;
        bool doubleClick;
    } cases[] = {{0, 1, 319, true},   {0, 1, 320, false}, {0, 25, 300, true},
                 {0, 26, 300, false}, {3, 1, 300, true},  {4, 1, 300, false}};
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message()
                     << c.changes << " changes, " << c.lifts << " absent, second at " << c.secondX);
        Restart();
        Touch(300, 200);
        for (int n = 1; n <= c.changes; ++n)
            Touch(300 + n, 200);
        Lift(c.lifts);
        Touch(c.secondX, 200);
        const INJECTED_EVENT second = c.doubleClick ? DoubleClick(300, 200) : Press(c.secondX, 200);
        EXPECT_EQ(Buttons(), (Events{Press(300, 200), Release(300 + c.changes, 200), second}));
    }
}

TEST_F(PenGestures, HoldingStillRightClicksOnTheFiftyFourthSampleAndWanderingStartsTheHoldAgain)
{
    Touch(400, 300, 53);
    EXPECT_EQ(Buttons(), (Events{Press(400, 300)}));
    EXPECT_EQ(Mouse().size(), 54u);
    Touch(400, 300);
    EXPECT_EQ(Buttons(), (Events{Press(400, 300), Release(400, 300), RightClick(400, 300)}));
    // Holding on only moves; the lift sends one more left-up.
    Touch(402, 301, 100);
    Lift();
    EXPECT_EQ(Buttons(), (Events{Press(400, 300), Release(400, 300), RightClick(400, 300),
                                 Release(402, 301)}));
    // The next touch presses again, and a hold there right-clicks again.
    Forget();
    Touch(600, 300, 54);
    EXPECT_EQ(Buttons(), (Events{Press(600, 300), Release(600, 300), RightClick(600, 300)}));

    Restart();
    Touch(400, 300, 40);
    Touch(405, 300);
    // Back at the touch point the hold counts from the start: 51 samples are not enough...
    Touch(400, 300, 51);
    EXPECT_EQ(Buttons(), (Events{Press(400, 300)}));
    // ...the 52nd right-clicks.
    Touch(400, 300);
    EXPECT_EQ(Buttons().back(), RightClick(400, 300));
}

TEST_F(PenGestures, MovesOutsideTheAreaAreDroppedWithoutCounting)
{
    g_penInjector.SetArea(100, 100, 500, 400);
    Touch(100, 300, 3); // on the left edge: outside
    Touch(50, 50, 60);
    EXPECT_TRUE(m_platform.m_mouse.empty());
    Touch(500, 400);
    EXPECT_EQ(Mouse(), (Events{Press(500, 400), Move(500, 400)}));
    // Leaving the area keeps the button down until the pen is reported absent.
    Touch(600, 300, 3);
    EXPECT_EQ(Mouse().size(), 2u);
    Lift();
    EXPECT_EQ(Buttons().back(), Release(600, 300));
}

// The system maps an absolute coordinate back to a pixel as (d * size) >> 16.
TEST(PenMouseRecords, EveryPixelOfTheDisplayModeMapsBackToItself)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    const auto pixelOf = [](std::int32_t d, int size) { return (std::int64_t(d) * size) >> 16; };
    for (const int width : {800, 1024, 1366, 1920, 3840})
    {
        const int height = width * 9 / 16;
        g_penInjector.Reset();
        platform.m_nDisplayWidth = width;
        platform.m_nDisplayHeight = height;
        g_penInjector.m_cyPrimary = height;
        // Every pixel up to the right and bottom edges, then pixels of monitors left of,
        // right of, above and below the primary one, which lie beyond 0..65535.
        for (int p = -width; p < 2 * width; ++p)
        {
            const int y = p * height / width;
            platform.m_mouse.clear();
            g_penInjector.SendMouse(p, height - y, PEN_MOVE);
            ASSERT_EQ(platform.m_mouse.size(), 1u);
            ASSERT_EQ(pixelOf(platform.m_mouse[0].dx, width), p) << "width " << width;
            ASSERT_EQ(pixelOf(platform.m_mouse[0].dy, height), y) << "height " << height;
        }
    }
    EXPECT_EQ(platform.m_mouse[0].extraInfo, PEN_EXTRA_INFO);
    g_penInjector.Reset();
}

TEST_F(PenGestures, APenOnAMonitorBesideThePrimaryReachesItThroughValuesBeyondTheRange)
{
    // A 1024 x 768 primary with monitors to its left, right, above and below: the values are
    // relative to the primary and are not clamped, so the pointer lands on the pen's own monitor
    // once mapped back as Windows and Wine do, left + (dx * width >> 16).
    g_penInjector.SetArea(-800, -600, 1824, 1368);
    const PEN_POINT pens[] = {{1424, 300}, {1823, 767}, {-400, 300}, {400, -300}, {400, 1200}};
    for (const PEN_POINT& pen : pens)
    {
        SCOPED_TRACE(testing::Message() << pen.x << "," << pen.y);
        Forget();
        Touch(pen.x, pen.y);
        ASSERT_FALSE(m_platform.m_mouse.empty());
        const MOUSE_RECORD& record = m_platform.m_mouse.front();
        const std::int64_t x = (std::int64_t{record.dx} * 1024) >> 16;
        const std::int64_t y = (std::int64_t{record.dy} * 768) >> 16;
        EXPECT_LE(std::abs(x - pen.x), 1);
        EXPECT_LE(std::abs(y - pen.y), 1);
        Lift();
    }
}

TEST_F(PenGestures, NothingIsSentBeforeTheFirstAreaOrWithoutADisplayMode)
{
    g_penInjector.Reset();
    Touch(300, 200, 5);
    Lift();
    m_platform.m_nDisplayWidth = 0;
    g_penInjector.SendMouse(100, 500, PEN_DOWN);
    EXPECT_TRUE(m_platform.m_mouse.empty());
}

// Pens one to three are posted to the companion program; pen 0's gestures are its own.
TEST_F(PenGestures, CompanionPensDoubleClickAtTheCurrentPositionStillLiftedAndAHoldRightClicks)
{
    g_penInjector.CompanionPenMove(1, 10, 20);
    g_penInjector.CompanionPenUp(1);
    Touch(12, 20);
    EXPECT_EQ(Buttons(), (Events{Press(12, 20)}));
    m_platform.m_windowMessages.clear();
    m_platform.m_mouse.clear();
    g_penInjector.CompanionPenMove(0, 10, 20);
    g_penInjector.CompanionPenMove(4, 10, 20);
    g_penInjector.CompanionPenUp(-1);
    EXPECT_TRUE(m_platform.m_windowMessages.empty());
    EXPECT_TRUE(m_platform.m_mouse.empty()) << "pen 0 moved as a companion pen";

    g_penInjector.CompanionPenMove(2, 300, 200);
    g_penInjector.CompanionPenUp(2);
    m_platform.m_windowMessages.clear();
    g_penInjector.CompanionPenMove(2, 310, 200);
    g_penInjector.CompanionPenUp(2);
    EXPECT_EQ(CompanionMessages(m_platform.m_windowMessages),
              (std::vector<COMPANION_MESSAGE>{{1140, 0x013600C8, PEN_DBLCLICK},
                                              {1140, 0x013600C8, PEN_MOVE},
                                              {1140, 0x013600C8, PEN_UP}}));

    // A hold right-clicks with the same counts as pen 0's.
    m_platform.m_windowMessages.clear();
    for (int n = 0; n < 54; ++n)
        g_penInjector.CompanionPenMove(3, 500, 500);
    std::vector<std::intptr_t> actions;
    for (const COMPANION_MESSAGE& message : CompanionMessages(m_platform.m_windowMessages))
    {
        if (message.lParam != PEN_MOVE)
            actions.push_back(message.lParam);
    }
    EXPECT_EQ(actions, (std::vector<std::intptr_t>{PEN_DOWN, PEN_UP, PEN_RIGHTCLICK}));
}

TEST(BezierSmoother, FirstSampleIsTheCurveAndRepeatsAreIgnored)
{
    CBezierSmoother smoother;
    smoother.AddSample({100.0, 50.0}, 1);
    EXPECT_EQ(smoother.Evaluate(0.78).x, 100.0);
    smoother.AddSample({200.0, 50.0}, 1);
    smoother.AddSample({300.0, 50.0}, 1);
    // (0.22^2) * 100 + 2 * 0.78 * 0.22 * 200 + 0.78^2 * 300
    EXPECT_NEAR(smoother.Evaluate(0.78).x, 4.84 + 68.64 + 182.52, 1e-9);
    smoother.AddSample({300.0, 50.0}, 1);
    EXPECT_NEAR(smoother.Evaluate(0.78).x, 256.0, 1e-9);
    smoother.AddSample({400.0, 50.0}, 0);
    EXPECT_NEAR(smoother.Evaluate(0.78).x, 256.0, 1e-9);
    smoother.Reset();
    smoother.AddSample({7.0, 9.0}, 1);
    EXPECT_EQ(smoother.Evaluate(0.5).y, 9.0);
}
