#include "tests/native/test_sim_helpers.h"

#include <chrono>
#include <filesystem>
#include <fstream>

using namespace simtest;
using protocol::SettingRead;
using protocol::SettingWrite;

namespace
{

std::vector<std::uint8_t> ReadExactly(CPort& port, std::uint32_t count)
{
    std::vector<std::uint8_t> bytes(count);
    std::uint32_t got = 0;
    port.D2xx().pFT_Read(port.Handle(), bytes.data(), count, &got);
    bytes.resize(got);
    return bytes;
}

std::string Types(const std::vector<SPOT>& spots)
{
    std::string types;
    for (const SPOT& s : spots)
        types += char(s.type);
    return types;
}
} // namespace

TEST(SimSettingStore, WrittenBytesComeBackInSevenByteReplies)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    ASSERT_EQ(port.OpenStatus(), FT_OK);
    const std::pair<std::uint8_t, std::uint8_t> writes[] = {
        {2, 7}, {4, 1}, {7, 1}, {11, 0x80}, {13, 0x12}, {76, 0xFE}, {255, 0x26}};
    for (const auto& [address, value] : writes)
        ASSERT_EQ(port.Send(SettingWrite(address, value)), FT_OK);
    for (const auto& [address, value] : writes)
    {
        port.Send(SettingRead(address));
        const std::vector<std::uint8_t> expected = {'$', '2', 0, 0, 0, value, '&'};
        EXPECT_EQ(ReadExactly(port, 7), expected) << "address " << int(address);
    }
    port.Send(SettingRead(3));
    EXPECT_EQ(port.ReadReply(), 0);
    // The version probe answers with whatever address 0 holds.
    port.Send(SettingRead(0));
    EXPECT_EQ(port.ReadReply(), 1);
}

TEST(SimSettingStore, CommandsSplitAcrossWritesCountAndBadlyFramedOnesDoNot)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    port.Write({'x', 'y', '$', 0x0B});
    port.Write({0x00, 0x05});
    port.Write({0x01, '&'});
    port.Write({'$', 0x0B, 0x00, 0x06, 0x02, '#'});
    EXPECT_EQ(bus->SettingStore(0)[5], 1);
    EXPECT_EQ(bus->SettingStore(0)[6], 0);
    EXPECT_EQ(bus->Stats(0).strayBytes, 2u);
    // After the dropped packet the unit waits for '$' again and still answers.
    port.Send(SettingRead(5));
    EXPECT_EQ(port.ReadReply(), 1);
}

TEST(SimSettingStore, PersistsToItsFileAcrossBuses)
{
    CTempDir dir("store");
    const std::filesystem::path file = dir.Path() / "unit0.bin";
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

TEST(SimVersion, AddressOneAnswersTheConfiguredMinor)
{
    for (int minor : {0x05, 0x15, 0x23, 0x30, 0xFF})
    {
        CScopedSimBus bus;
        bus->Execute("unit 0 minor " + std::to_string(minor));
        CPort port(bus.Bus());
        port.Send(SettingRead(protocol::ADDR_VERSION_PROBE));
        EXPECT_GE(port.ReadReply(), 0) << minor;
        port.Send(SettingRead(protocol::ADDR_FIRMWARE_MINOR));
        EXPECT_EQ(port.ReadReply(), minor);
    }
}

TEST(SimVersion, FaultsSilenceOrAlterTheVersionReplies)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    auto version = [&](std::uint8_t address)
    {
        port.Send(SettingRead(address));
        return port.ReadReply();
    };

    bus->Execute("unit 0 fault noversion");
    const std::uint64_t before = bus->NowMicros();
    EXPECT_EQ(version(0), -1);
    EXPECT_EQ(bus->NowMicros() - before, 300'000u);
    EXPECT_EQ(version(1), -1);
    EXPECT_EQ(version(protocol::ADDR_CALIB_MODEL), 0);
    bus->Execute("unit 0 fault noversion off");
    EXPECT_EQ(version(1), CSimUnit::DEFAULT_MINOR);

    bus->Execute("unit 0 fault letters");
    EXPECT_EQ(version(1), 0x2A);
    EXPECT_EQ(protocol::CountLetters(protocol::FirmwareVersionPrefix() +
                                     protocol::FirmwareMinorText(0x2A)),
              1);
    bus->Execute("unit 0 fault none");

    bus->Execute("unit 0 fault firstversion");
    EXPECT_EQ(version(0), 1);
    EXPECT_EQ(version(1), -1);
    EXPECT_EQ(version(0), -1);
    bus->Execute("unit 0 fault none");

    bus->Execute("unit 0 fault stall");
    EXPECT_EQ(version(0), -1);
    EXPECT_EQ(version(5), -1);
}

TEST(SimSpots, SingleSpotFormPacksTwelveBitCoordinates)
{
    struct CASE
    {
        const char* pen;
        int x;
        int y;
    };
    const CASE cases[] = {
        {"321.7 245.2", 321, 245}, {"639 479", 639, 479}, {"1 1", 1, 1}, {"256 256", 256, 256}};
    for (const CASE& c : cases)
    {
        CScopedSimBus bus;
        bus->Execute(std::string("unit 0 minor 0x15\nunit 0 pen 0 ") + c.pen);
        CPort port(bus.Bus());
        port.Send(protocol::STREAM_ON);
        const std::vector<SPOT> spots = SingleSpots(port.ReadFor(50'000));
        ASSERT_GE(spots.size(), 4u) << c.pen;
        for (const SPOT& s : spots)
        {
            EXPECT_EQ(s.type, '1');
            EXPECT_EQ(s.x, c.x) << c.pen;
            EXPECT_EQ(s.y, c.y) << c.pen;
        }
    }
    // The bits in place: X 0x27F, Y 0x1DF.
    CScopedSimBus bus;
    bus->Execute("unit 0 minor 0x15\nunit 0 pen 0 639 479");
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    const std::vector<std::uint8_t> expected = {'$', '1', 0, 0x27, 0xF1, 0xDF, '&'};
    EXPECT_EQ(ReadExactly(port, 7), expected);
}

TEST(SimSpots, SingleSpotFormReportsTheFirstVisiblePenOrNoSpot)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 minor 0x15");
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    const std::vector<SPOT> none = SingleSpots(port.ReadFor(35'000));
    EXPECT_EQ(none.size(), 3u);
    for (const SPOT& s : none)
    {
        EXPECT_EQ(s.x, 0);
        EXPECT_EQ(s.y, 0);
    }
    // Outside the sensor: not seen.
    bus->Execute("unit 0 pen 0 700 100");
    for (const SPOT& s : SingleSpots(port.ReadFor(30'000)))
        EXPECT_EQ(s.x, 0);
    bus->Execute("unit 0 pen 0 up\nunit 0 pen 2 40 30\nunit 0 pen 3 50 60");
    port.ReadFor(15'000);
    const std::vector<SPOT> spots = SingleSpots(port.ReadFor(30'000));
    ASSERT_FALSE(spots.empty());
    for (const SPOT& s : spots)
    {
        EXPECT_EQ(s.x, 40);
        EXPECT_EQ(s.y, 30);
    }
}

TEST(SimSpots, SingleSpotTypeCanBeTwoOrAlternate)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 minor 0x10\nunit 0 pen 0 10 10\nunit 0 spottype 2");
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    EXPECT_EQ(Types(SingleSpots(port.ReadFor(45'000))), "2222");
    bus->Execute("unit 0 spottype alt");
    const std::string alternating = Types(SingleSpots(port.ReadFor(40'000)));
    ASSERT_EQ(alternating.size(), 4u);
    EXPECT_NE(alternating[0], alternating[1]);
    EXPECT_EQ(alternating[0], alternating[2]);
    EXPECT_EQ(alternating[1], alternating[3]);
}

TEST(SimSpots, MultiSpotFormReportsVisiblePensAsWeightedSums)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 pen 0 100.5 200.25 1000\nunit 0 pen 2 600 50 300\n"
                 "unit 0 pen 3 800 10");
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    const std::vector<SPOT> spots = MultiSpots(port.ReadFor(35'000));
    EXPECT_EQ(Types(spots), "787878");
    ASSERT_GE(spots.size(), 2u);
    EXPECT_EQ(spots[0].a, 100500u);
    EXPECT_EQ(spots[0].b, 200250u);
    EXPECT_EQ(spots[0].c, 1000u);
    EXPECT_EQ(spots[0].x, 100);
    EXPECT_EQ(spots[0].y, 200);
    EXPECT_EQ(spots[1].c, 300u);
    EXPECT_EQ(spots[1].x, 600);
    EXPECT_EQ(spots[1].y, 50);
}

TEST(SimSpots, MultiSpotFormNoSpotPacketsFourPensAndZeroWeight)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    std::vector<SPOT> spots = MultiSpots(port.ReadFor(35'000));
    EXPECT_EQ(Types(spots), "666");
    for (const SPOT& s : spots)
        EXPECT_EQ(s.c, 0u);

    bus->Execute("unit 0 pen 3 4 4\nunit 0 pen 1 2 2\nunit 0 pen 0 1 1\nunit 0 pen 2 3 3");
    port.ReadFor(15'000);
    spots = MultiSpots(port.ReadFor(20'000));
    EXPECT_EQ(Types(spots), "789:789:");
    for (std::size_t i = 0; i < spots.size(); ++i)
        EXPECT_EQ(spots[i].x, int(i % 4) + 1);

    bus->Execute("unit 0 pens up\nunit 0 pen 0 320 240 0");
    port.ReadFor(15'000);
    spots = MultiSpots(port.ReadFor(20'000));
    EXPECT_EQ(Types(spots), "77");
    for (const SPOT& s : spots)
        EXPECT_EQ(s.c, 0u);
}

TEST(SimSpots, FirmwareMinorChoosesTheSpotForm)
{
    const std::pair<int, bool> cases[] = {{0x09, false}, {0x10, false}, {0x22, false},
                                          {0x23, true},  {0x30, true},  {0xFF, false}};
    for (const auto& [minor, multi] : cases)
    {
        CScopedSimBus bus;
        bus->Execute("unit 0 minor " + std::to_string(minor) + "\nunit 0 pen 0 5 5");
        CPort port(bus.Bus());
        port.Send(protocol::STREAM_ON);
        const std::vector<std::uint8_t> stream = port.ReadFor(35'000);
        EXPECT_EQ(MultiSpots(stream).size(), multi ? 3u : 0u) << minor;
        EXPECT_EQ(SingleSpots(stream).size(), multi ? 0u : 3u) << minor;
    }
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
        const std::vector<SPOT> spots = MultiSpots(port.ReadFor(1'000'000 + period / 2));
        EXPECT_EQ(spots.size(), std::size_t(fps)) << fps;

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

TEST(SimPacing, StreamAndImageCommandsSwitchWhatTheUnitSends)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    EXPECT_TRUE(port.ReadFor(100'000).empty());
    port.Send(protocol::STREAM_ON);
    EXPECT_EQ(MultiSpots(port.ReadFor(105'000)).size(), 10u);
    port.Send(protocol::STREAM_OFF);
    port.ReadFor(5'000);
    EXPECT_TRUE(port.ReadFor(500'000).empty());

    port.Send(protocol::STREAM_ON);
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_160 - 2].packet);
    // Image mode chosen but the image stream still off: nothing comes.
    EXPECT_TRUE(port.ReadFor(100'000).empty());
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_STREAM_ON - 2].packet);
    const std::vector<std::uint8_t> image = port.ReadFor(100'000);
    EXPECT_TRUE(MultiSpots(image).empty());
    EXPECT_GT(Packets(image, 19, "34").size(), 10u);

    port.Send(protocol::IMAGE_MODE_OFF);
    port.ReadFor(5'000);
    EXPECT_EQ(MultiSpots(port.ReadFor(100'000)).size(), 10u);
}

TEST(SimRead, TimeOutMovesVirtualTimeWithoutWaiting)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    std::uint64_t t = bus->NowMicros();
    EXPECT_EQ(port.ReadByte(), -1);
    EXPECT_EQ(bus->NowMicros() - t, 300'000u);

    port.D2xx().pFT_SetTimeouts(port.Handle(), 50, 50);
    t = bus->NowMicros();
    EXPECT_EQ(port.ReadByte(), -1);
    EXPECT_EQ(bus->NowMicros() - t, 50'000u);

    // Ten minutes of waiting pass at once on the virtual clock.
    port.D2xx().pFT_SetTimeouts(port.Handle(), 600'000, 600'000);
    t = bus->NowMicros();
    EXPECT_EQ(port.ReadByte(), -1);
    EXPECT_EQ(bus->NowMicros() - t, 600'000'000u);

    // No time-out and nothing on its way: the read gives up at once.
    port.D2xx().pFT_SetTimeouts(port.Handle(), 0, 0);
    t = bus->NowMicros();
    EXPECT_EQ(port.ReadByte(), -1);
    EXPECT_EQ(bus->NowMicros(), t);
}

TEST(SimRead, BytesCrossTheLinkAtTheBaudRate)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    bus->Execute("unit 0 pen 0 10 10");
    const std::uint64_t t0 = bus->NowMicros();
    port.Send(protocol::STREAM_ON);
    // The first frame is due one period after stream on; 12 bytes take 12 * 21.7 us.
    EXPECT_EQ(ReadExactly(port, 12).size(), 12u);
    EXPECT_EQ(bus->NowMicros() - t0, 10'000u + 261u);

    port.Send(protocol::STREAM_OFF);
    port.ReadFor(20'000);
    const std::uint64_t t1 = bus->NowMicros();
    port.Send(SettingRead(4));
    EXPECT_EQ(ReadExactly(port, 7).size(), 7u);
    EXPECT_EQ(bus->NowMicros() - t1, 152u);
}

TEST(SimRead, QueueStatusCountsReadyBytesAndPurgeDropsThem)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    bus->Advance(55'000);
    std::uint32_t ready = 0;
    EXPECT_EQ(port.D2xx().pFT_GetQueueStatus(port.Handle(), &ready), FT_OK);
    EXPECT_EQ(ready, 5u * 12u);
    port.D2xx().pFT_Purge(port.Handle(), FT_PURGE_RX);
    port.D2xx().pFT_GetQueueStatus(port.Handle(), &ready);
    EXPECT_EQ(ready, 0u);
    EXPECT_EQ(bus->LinkRecord(0).purgesRx, 2);
}

TEST(SimRead, AnUnreadUnitLosesWhatItsHostBufferCannotHold)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_160 - 2].packet);
    port.Send(protocol::NUMBERED_COMMANDS[protocol::CMD_NUM_IMAGE_STREAM_ON - 2].packet);
    bus->Advance(10'000'000);
    std::uint32_t ready = 0;
    port.D2xx().pFT_GetQueueStatus(port.Handle(), &ready);
    EXPECT_LE(ready, CSimUnit::HOST_BUFFER);
    // Whole packets only; the last one may still be crossing the link.
    EXPECT_GT(ready, CSimUnit::HOST_BUFFER - 2 * 19);
    EXPECT_GT(bus->Stats(0).chunksLost, 0u);
}

TEST(SimFaults, GarbageAddsBytesBetweenIntactPackets)
{
    CScopedSimBus bus;
    bus->Execute("seed 7\nunit 0 fault garbage\nunit 0 pen 0 10 10");
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    const std::vector<std::uint8_t> stream = port.ReadFor(1'005'000);
    EXPECT_GE(stream.size(), 100u * 13u);
    // A stray '$' may swallow a packet now and then; nearly all survive.
    EXPECT_GE(MultiSpots(stream).size(), 90u);
    EXPECT_LE(MultiSpots(stream).size(), 100u);
}

TEST(SimFaults, BrokenSpoilsTheEndOfEverySecondPacket)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 fault broken\nunit 0 pen 0 10 10");
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    const std::vector<std::uint8_t> stream = port.ReadFor(1'005'000);
    EXPECT_EQ(stream.size(), 100u * 12u);
    EXPECT_EQ(MultiSpots(stream).size(), 50u);
}

TEST(SimFaults, StallStopsEverythingUntilLifted)
{
    CScopedSimBus bus;
    bus->Execute("unit 0 pen 0 10 10");
    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    EXPECT_EQ(MultiSpots(port.ReadFor(55'000)).size(), 5u);
    bus->Execute("unit 0 fault stall");
    port.ReadFor(5'000);
    EXPECT_TRUE(port.ReadFor(1'000'000).empty());
    bus->Execute("unit 0 fault stall off");
    EXPECT_EQ(MultiSpots(port.ReadFor(55'000)).size(), 5u);
}
