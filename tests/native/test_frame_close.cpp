// The multi-spot frame reported as soon as the link goes quiet after it, replayed against the
// frame step that reports each frame on the next frame's '7', over generated streams: random
// pens touching, moving, jumping and lifting, bytes between packets, broken packets, and the
// link going quiet after every frame and, in the split streams, inside frames too.

#include "calibration/CalibTypes.h"
#include "device/Protocol.h"
#include "device/SpotPacket.h"
#include "tests/support/NextSevenTracker.h"
#include "tests/support/PenTestKit.h"
#include "tracking/SpotParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace protocol;

namespace
{
constexpr int WIDTH = 1024;
constexpr int HEIGHT = 768;

// One packet as the unit sends it, with what comes before it and whether the link then goes
// quiet.
struct PACKET_ON_LINK
{
    std::vector<std::uint8_t> bytes;
    bool bFrameStart = false;
    bool bQuietAfter = false;
};

class CStreamMaker
{
public:
    // Split streams: the link goes quiet inside frames too, not only after them, and pens keep
    // to their own quarter of the monitor, away from its corner, so no spot is within the
    // matching distance of another pen's.
    CStreamMaker(std::uint32_t seed, bool split) : m_random(seed), m_bSplit(split) {}

    std::vector<PACKET_ON_LINK> Frames(int frames)
    {
        std::vector<PACKET_ON_LINK> stream;
        for (int n = 0; n < frames; ++n)
        {
            MovePens();
            const std::size_t first = stream.size();
            int spots = 0;
            for (int pen = 0; pen < PEN_SLOTS; ++pen)
            {
                if (!m_pens[pen].down)
                    continue;
                const auto type = static_cast<std::uint8_t>(TYPE_FIRST_SPOT + spots++);
                // Now and then a frame begins with a '7' that carries no spot.
                stream.push_back({type == TYPE_FIRST_SPOT && Chance(3)
                                      ? NoSpotBytes(type)
                                      : MultiSpotBytes(type, m_pens[pen].x, m_pens[pen].y)});
                if (type != TYPE_FIRST_SPOT && Chance(5))
                    stream.back().bytes.back() = '%';
            }
            if (spots == 0)
                stream.push_back({NoSpotBytes(TYPE_NO_SPOT)});
            stream[first].bFrameStart = true;
            for (std::size_t p = first; p < stream.size(); ++p)
            {
                std::vector<std::uint8_t> between(Uniform(0, 3));
                // Never a '$': these bytes lose no packet.
                for (std::uint8_t& byte : between)
                {
                    byte = static_cast<std::uint8_t>(Uniform(0, 255));
                    byte = byte == PACKET_START ? 0 : byte;
                }
                stream[p].bytes.insert(stream[p].bytes.begin(), between.begin(), between.end());
                stream[p].bQuietAfter = p + 1 == stream.size() || (m_bSplit && Chance(30));
            }
        }
        return stream;
    }

private:
    struct PEN
    {
        bool down = false;
        int x = 0;
        int y = 0;
    };

    int Uniform(int low, int high)
    {
        return std::uniform_int_distribution<int>(low, high)(m_random);
    }
    bool Chance(int percent) { return Uniform(0, 99) < percent; }

    // Where pen k may be: its quarter of the monitor less a border, or the whole monitor.
    CALIB_RECT Bounds(int pen) const
    {
        if (!m_bSplit)
            return {1, 1, WIDTH, HEIGHT};
        const int left = (pen % 2) * WIDTH / 2 + 100;
        const int top = (pen / 2) * HEIGHT / 2 + 100;
        return {left, top, left + WIDTH / 2 - 200, top + HEIGHT / 2 - 200};
    }

    void MovePens()
    {
        for (int pen = 0; pen < PEN_SLOTS; ++pen)
        {
            PEN& p = m_pens[pen];
            const CALIB_RECT b = Bounds(pen);
            if (Chance(p.down ? 6 : 10))
                p.down = !p.down;
            if (!p.down)
                continue;
            if (p.x == 0 || Chance(4))
            {
                p.x = Uniform(b.left, b.right);
                p.y = Uniform(b.top, b.bottom);
                continue;
            }
            p.x = std::clamp(p.x + Uniform(-30, 30), b.left, b.right);
            p.y = std::clamp(p.y + Uniform(-30, 30), b.top, b.bottom);
        }
    }

    std::mt19937 m_random;
    bool m_bSplit;
    PEN m_pens[PEN_SLOTS];
};

bool Changed(const SPOT_SLOT& slot)
{
    return slot.state != SPOT_NO_CHANGE;
}

bool Reported(const REPORT& report)
{
    return std::any_of(report.begin(), report.end(), Changed);
}

// Reports as printed: a present pen with its position, any other slot by its state only.
const auto Describe = [](const auto& reports) { return ::testing::PrintToString(reports); };

// The reports of each frame, from both trackers: a '7' reports the frame before it, a quiet
// link the frame it follows, a '6' itself.
struct REPLAY
{
    std::vector<std::vector<REPORT>> driver;
    std::vector<std::vector<REPORT>> nextSeven;
    // A '6' came after the frame.
    std::vector<bool> cutOff;
    // Reports the quiet link gave.
    int quietReports = 0;
};

REPLAY Replay(const std::vector<PACKET_ON_LINK>& stream)
{
    ResetSpotTracking();
    REPLAY replay;
    CNextSevenTracker reference(WIDTH, HEIGHT);
    for (const PACKET_ON_LINK& packet : stream)
    {
        if (packet.bFrameStart)
        {
            replay.driver.emplace_back();
            replay.nextSeven.emplace_back();
            replay.cutOff.push_back(false);
        }
        const std::size_t frame = replay.driver.size() - 1;
        // Only a frame's first packet reports, on its last byte; a '7' the frame before it.
        const std::size_t size = packet.bytes.size();
        const std::uint8_t type = packet.bFrameStart ? packet.bytes[size - 11] : 0;
        const std::size_t owner = type == TYPE_FIRST_SPOT && frame > 0 ? frame - 1 : frame;
        if (type == TYPE_NO_SPOT && frame > 0)
            replay.cutOff[frame - 1] = true;
        for (std::size_t n = 0; n < size; ++n)
        {
            // A '6' cuts off the frame before it, which the quiet link may have reported.
            REPORT report;
            if (type == TYPE_NO_SPOT && frame > 0 && n + 1 == size && reference.WouldReport(report))
                replay.nextSeven[frame - 1].push_back(report);
            if (reference.Feed(packet.bytes[n], report))
                replay.nextSeven[owner].push_back(report);

            CAMERA_RECORD record;
            record.rxByte = packet.bytes[n];
            REPORT slots(PEN_SLOTS);
            ParseMultiSpot(0, record, slots.data());
            if (Reported(slots))
                replay.driver[owner].push_back(slots);
        }
        if (packet.bQuietAfter)
        {
            REPORT slots(PEN_SLOTS);
            CloseMultiSpotFrame(0, slots.data());
            if (Reported(slots))
            {
                replay.driver[frame].push_back(slots);
                ++replay.quietReports;
            }
        }
    }
    return replay;
}
} // namespace

// Frames arrive whole: the quiet link reports each frame once, with exactly the slots the '7'
// after it would report, in the same order; a frame that lacks a pen of the frame before waits
// for that '7'. The one addition: a frame that a '6' follows was reported before the '6' came.
TEST(FrameClose, WholeFramesAreReportedOnceWithTheSlotsTheNextSevenWouldReport)
{
    // The state record and monitor areas that the driver's tracker reads.
    CPenWorld world;
    int early = 0;
    int frames = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed)
    {
        const REPLAY replay = Replay(CStreamMaker(seed, false).Frames(300));
        ASSERT_EQ(replay.driver.size(), replay.nextSeven.size());
        // The last frame has no '7' after it.
        for (std::size_t frame = 0; frame + 1 < replay.driver.size(); ++frame)
            ASSERT_EQ(Describe(replay.driver[frame]), Describe(replay.nextSeven[frame]))
                << "seed " << seed << " frame " << frame;
        early += replay.quietReports;
        frames += static_cast<int>(replay.driver.size());
    }
    // Most frames went out as soon as the link went quiet.
    EXPECT_GT(early, frames / 2);
}

// The link goes quiet inside frames: a frame reported early and then amended by its late
// packets lifts no pen and presses none that the frame's own report does not, moves none by
// the matching distance, and leaves every pen where the '7' after the frame puts it.
TEST(FrameClose, FrameSplitByAGapGivesNoLiftPressOrJumpItsWholeReportDoesNot)
{
    // The state record and monitor areas that the driver's tracker reads.
    CPenWorld world;
    int amended = 0;
    for (std::uint32_t seed = 1; seed <= 40; ++seed)
    {
        const REPLAY replay = Replay(CStreamMaker(seed, true).Frames(300));
        REPORT shown(PEN_SLOTS, SPOT_SLOT{0, 0, SPOT_ABSENT});
        for (std::size_t frame = 0; frame < replay.driver.size(); ++frame)
        {
            if (replay.nextSeven[frame].empty())
                continue;
            const REPORT& whole = replay.nextSeven[frame].back();
            for (const REPORT& report : replay.driver[frame])
            {
                amended += Reported(report) && !std::all_of(report.begin(), report.end(), Changed);
                for (int k = 0; k < PEN_SLOTS; ++k)
                {
                    const SPOT_SLOT& was = shown[k];
                    const SPOT_SLOT& now = report[k];
                    const std::string where = "seed " + std::to_string(seed) + " frame " +
                                              std::to_string(frame) + " pen " + std::to_string(k);
                    const bool lift = was.state == SPOT_PRESENT && now.state == SPOT_ABSENT;
                    const bool press = was.state != SPOT_PRESENT && now.state == SPOT_PRESENT;
                    const bool move = was.state == SPOT_PRESENT && now.state == SPOT_PRESENT;
                    EXPECT_TRUE(!lift || whole[k].state == SPOT_ABSENT) << where << ": lift";
                    EXPECT_TRUE(!press || whole[k].state == SPOT_PRESENT) << where << ": press";
                    EXPECT_TRUE(!move ||
                                PenDistance(was.x, was.y, now.x, now.y) < MATCH_DISTANCE_NEAR)
                        << where << ": jump";
                    if (now.state != SPOT_NO_CHANGE)
                        shown[k] = now;
                }
            }
            // A '6' forgets what came late in the frame before it.
            if (!replay.cutOff[frame])
            {
                ASSERT_EQ(Describe(shown), Describe(whole))
                    << "seed " << seed << " frame " << frame;
            }
        }
    }
    // The gaps did split frames that were then amended.
    EXPECT_GT(amended, 100);
}
