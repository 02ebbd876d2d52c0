#include "tests/native/test_sim_helpers.h"
#include "tests/support/ProfileWorld.h"

#include <filesystem>
#include <fstream>

using namespace simtest;
using protocol::SettingRead;
using protocol::SettingWrite;

TEST(SimSettingStore, PersistsToItsFileAcrossBuses)
{
    CTempFolder dir;
    const std::filesystem::path file = std::filesystem::path(dir.Path()) / "unit0.bin";
    {
        CScopedSimBus bus;
        EXPECT_TRUE(bus->Execute("unit 0 store " + Utf8(file)).empty());
        CPort port(bus.Bus());
        port.Send(SettingWrite(7, 1));
        port.Send(SettingWrite(13, 0xAB));
    }
    ASSERT_EQ(std::filesystem::file_size(file), 256u);
    {
        CScopedSimBus bus;
        bus->Execute("unit 0 store " + Utf8(file));
        CPort port(bus.Bus());
        port.Send(SettingRead(13));
        EXPECT_EQ(port.ReadReply(), 0xAB);
        port.Send(SettingRead(7));
        EXPECT_EQ(port.ReadReply(), 1);
    }
    // A file of the wrong size is not taken as a store; it is replaced by a whole one.
    {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << "0123456789";
    }
    CScopedSimBus bus;
    bus->Execute("unit 0 store " + Utf8(file));
    CPort port(bus.Bus());
    port.Send(SettingRead(7));
    EXPECT_EQ(port.ReadReply(), 0);
    EXPECT_EQ(std::filesystem::file_size(file), 256u);
}

TEST(SimPacing, FramesFollowTheFrameRateOnTheVirtualClock)
{
    for (int fps : {100, 40, 250})
    {
        CScopedSimBus bus;
        bus->Execute("fps " + std::to_string(fps));
        CPort port(bus.Bus());
        const std::uint64_t period = 1'000'000 / std::uint64_t(fps);
        port.Send(protocol::STREAM_ON);
        // One simulated second, offset by half a frame so no frame sits on an edge.
        EXPECT_EQ(Packets(port.ReadFor(1'000'000 + period / 2), 12, "6789:").size(),
                  std::size_t(fps))
            << fps;

        std::vector<std::uint64_t> starts;
        for (int i = 0; i < 5; ++i)
        {
            int b = port.ReadByte();
            while (b >= 0 && b != '$')
                b = port.ReadByte();
            ASSERT_EQ(b, '$') << fps;
            starts.push_back(bus->NowMicros());
        }
        for (std::size_t i = 1; i < starts.size(); ++i)
        {
            EXPECT_NEAR(double(starts[i] - starts[i - 1]), double(period), 1.0) << fps;
        }
    }
}

TEST(SimPort, ReadsTimeOutOnTheVirtualClockAndCommandsSwitchWhatTheUnitSends)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    // The port's own 300 ms; ten minutes pass at once on the virtual clock; without a time-out
    // and with nothing on its way the read gives up at once.
    for (const std::uint32_t ms : {300u, 50u, 600'000u, 0u})
    {
        if (ms != 300u)
            port.D2xx().pFT_SetTimeouts(port.Handle(), ms, ms);
        const std::uint64_t t = bus->NowMicros();
        EXPECT_EQ(port.ReadByte(), -1);
        EXPECT_EQ(bus->NowMicros() - t, ms * 1000ull) << ms;
    }

    // Bytes that have arrived are taken without waiting, whatever the time-out.
    EXPECT_TRUE(port.ReadFor(100'000).empty());
    port.Send(protocol::STREAM_ON);
    EXPECT_EQ(Packets(port.ReadFor(105'000), 12, "6789:").size(), 10u);
    port.Send(protocol::STREAM_OFF);
    port.ReadFor(5'000);
    EXPECT_TRUE(port.ReadFor(500'000).empty());

    port.Send(protocol::STREAM_ON);
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_160 - 2].packet);
    // Image mode chosen but the image stream still off: nothing comes.
    EXPECT_TRUE(port.ReadFor(100'000).empty());
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_STREAM_ON - 2].packet);
    const std::vector<std::uint8_t> image = port.ReadFor(100'000);
    EXPECT_EQ(Packets(image, 12, "6789:").size(), 0u);
    EXPECT_GT(Packets(image, 19, "34").size(), 10u);

    port.Send(protocol::IMAGE_MODE_OFF);
    port.ReadFor(5'000);
    EXPECT_EQ(Packets(port.ReadFor(100'000), 12, "6789:").size(), 10u);
}

TEST(SimFaults, GarbageAddsBytesBetweenIntactPacketsAndBrokenSpoilsEverySecondEnd)
{
    for (const std::string fault : {"garbage", "broken"})
    {
        CScopedSimBus bus;
        bus->Execute("seed 7\nunit 0 fault " + fault + "\nunit 0 pen 0 10 10");
        CPort port(bus.Bus());
        port.Send(protocol::STREAM_ON);
        const std::vector<std::uint8_t> stream = port.ReadFor(1'005'000);
        const std::size_t spots = Packets(stream, 12, "6789:").size();
        if (fault == "broken")
        {
            EXPECT_EQ(stream.size(), 100u * 12u);
            EXPECT_EQ(spots, 50u);
            continue;
        }
        EXPECT_GE(stream.size(), 100u * 13u);
        // A stray '$' may swallow a packet now and then; nearly all survive.
        EXPECT_GE(spots, 90u);
        EXPECT_LE(spots, 100u);
    }
}

namespace
{
struct DELIVERY
{
    std::uint64_t micros = 0; // from the start of the run
    std::size_t bytes = 0;
};

// What reaches a host that reads byte by byte until `micros` have passed: one entry per
// instant bytes arrived.
std::vector<DELIVERY> Deliveries(CSimBus& bus, CPort& port, std::uint64_t start,
                                 std::uint64_t micros)
{
    std::vector<DELIVERY> deliveries;
    while (bus.NowMicros() < start + micros)
    {
        if (port.ReadByte() < 0)
            continue;
        std::uint32_t more = 0;
        port.D2xx().pFT_GetQueueStatus(port.Handle(), &more);
        const std::uint64_t at = bus.NowMicros() - start;
        if (deliveries.empty() || deliveries.back().micros != at)
            deliveries.push_back({at, 0});
        deliveries.back().bytes += 1 + more;
        for (; more > 0; --more)
            port.ReadByte();
    }
    return deliveries;
}
} // namespace

// A frame of one spot is 12 bytes; its last byte is on the link 261 us after the frame starts,
// and frames start every 10 ms from the stream's start.
TEST(SimBridge, BytesGoOnWhenAPacketFillsTheTimerExpiresOrTheEventCharacterComes)
{
    constexpr std::uint64_t FRAME = 10'000;
    constexpr std::uint64_t LAST_BYTE = 261;
    CScopedSimBus bus;
    bus->Execute("unit 0 pen 0 10 10");
    CPort port(bus.Bus());
    bus->Execute("unit 0 bridge host");
    const D2XX_TABLE& d2xx = port.D2xx();
    port.Send(protocol::STREAM_ON);
    const std::uint64_t start = bus->NowMicros();

    // The 16 ms timer: a frame that ends just after the timer went waits for the next expiry.
    std::vector<DELIVERY> got = Deliveries(bus.Bus(), port, start, 100'000);
    ASSERT_GE(got.size(), 5u);
    EXPECT_LT(got[0].micros - (FRAME + LAST_BYTE), 16'000u);
    for (std::size_t i = 1; i < got.size(); ++i)
    {
        EXPECT_EQ(got[i].micros - got[i - 1].micros, 16'000u) << i;
        EXPECT_EQ(got[i].bytes % 12, 0u) << i;
    }

    // A 2 ms timer: every byte within 2 ms of crossing the link.
    EXPECT_EQ(d2xx.pFT_SetLatencyTimer(port.Handle(), 1), FT_INVALID_PARAMETER);
    ASSERT_EQ(d2xx.pFT_SetLatencyTimer(port.Handle(), 2), FT_OK);
    got = Deliveries(bus.Bus(), port, start, 300'000);
    std::size_t late = 0;
    for (const DELIVERY& delivery : got)
        late += delivery.micros >= 120'000 && delivery.micros % FRAME > LAST_BYTE + 2'000;
    EXPECT_EQ(late, 0u);

    // The event character '&' ends every spot packet: each frame goes on alone, at once.
    ASSERT_EQ(d2xx.pFT_SetLatencyTimer(port.Handle(), 16), FT_OK);
    ASSERT_EQ(d2xx.pFT_SetChars(port.Handle(), '&', 1, 0, 0), FT_OK);
    got = Deliveries(bus.Bus(), port, start, 400'000);
    std::size_t frames = 0;
    for (const DELIVERY& delivery : got)
    {
        if (delivery.micros < 310'000)
            continue;
        ++frames;
        EXPECT_EQ(delivery.micros % FRAME, LAST_BYTE) << delivery.micros;
        EXPECT_EQ(delivery.bytes, 12u) << delivery.micros;
    }
    EXPECT_GE(frames, 9u);

    // A full packet goes at its 62nd byte (62 * 21.7 us); the rest when the timer expires.
    port.Send(protocol::STREAM_OFF);
    Deliveries(bus.Bus(), port, start, 450'000);
    const std::uint64_t sent = bus->NowMicros();
    std::string send = "unit 0 send";
    for (int i = 0; i < 100; ++i)
        send += " 55";
    ASSERT_TRUE(bus->Execute(send).empty());
    got = Deliveries(bus.Bus(), port, sent, 40'000);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].micros, 1'346u);
    EXPECT_EQ(got[0].bytes, 62u);
    EXPECT_EQ(got[1].micros, 1'346u + 16'000u);
    EXPECT_EQ(got[1].bytes, 38u);

    // Settings fixed by the scenario outlast the host's.
    bus->Execute("unit 0 bridge 16");
    ASSERT_EQ(d2xx.pFT_SetChars(port.Handle(), '&', 1, 0, 0), FT_OK);
    port.Send(protocol::STREAM_ON);
    got = Deliveries(bus.Bus(), port, bus->NowMicros(), 200'000);
    ASSERT_GE(got.size(), 5u);
    for (std::size_t i = 1; i < got.size(); ++i)
        EXPECT_EQ(got[i].micros - got[i - 1].micros, 16'000u) << i;
}
