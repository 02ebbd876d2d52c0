#include "tests/native/test_sim_helpers.h"
#include "tests/support/FakePlatform.h"

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace simtest;

namespace
{
constexpr std::uint32_t SENTINEL = 0xDEADBEEF;

struct LISTING
{
    FT_STATUS status = FT_OTHER_ERROR;
    std::uint32_t count = 0;
    std::array<std::uint32_t, 40> locations{};
    int written = 0; // entries changed from the sentinel
};

LISTING ListAll()
{
    LISTING listing;
    listing.locations.fill(SENTINEL);
    listing.count = SENTINEL;
    listing.status = SimFT_ListDevices(listing.locations.data(), &listing.count,
                                       FT_LIST_ALL | FT_OPEN_BY_LOCATION);
    for (std::uint32_t location : listing.locations)
    {
        if (location != SENTINEL)
            ++listing.written;
    }
    return listing;
}

void Append(const std::filesystem::path& file, const std::string& text)
{
    std::ofstream(file, std::ios::binary | std::ios::app) << text;
}
} // namespace

TEST(SimListing, CountAndLocationsFollowTheAttachedUnits)
{
    for (int units : {0, 1, 2, 3})
    {
        CScopedSimBus bus({true, units});
        std::uint32_t count = SENTINEL;
        EXPECT_EQ(SimFT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        EXPECT_EQ(count, std::uint32_t(units));
        const LISTING listing = ListAll();
        EXPECT_EQ(listing.status, FT_OK);
        EXPECT_EQ(listing.count, std::uint32_t(units));
        EXPECT_EQ(listing.written, units);
        for (int i = 0; i < units; ++i)
            EXPECT_EQ(listing.locations[std::size_t(i)], 0x0111u + std::uint32_t(i));
    }
}

TEST(SimListing, WritesOneEntryPerUnitHoweverManyThereAre)
{
    CScopedSimBus bus({true, 20});
    const LISTING listing = ListAll();
    EXPECT_EQ(listing.count, 20u);
    EXPECT_EQ(listing.written, 20);
}

TEST(SimListing, ByIndexSerialsAndDescriptions)
{
    CScopedSimBus bus({true, 2});
    bus->Execute("unit 1 location 0x2233");
    std::uint32_t location = 0;
    EXPECT_EQ(SimFT_ListDevices(reinterpret_cast<void*>(std::uintptr_t(1)), &location,
                                FT_LIST_BY_INDEX | FT_OPEN_BY_LOCATION),
              FT_OK);
    EXPECT_EQ(location, 0x2233u);
    EXPECT_EQ(SimFT_ListDevices(reinterpret_cast<void*>(std::uintptr_t(2)), &location,
                                FT_LIST_BY_INDEX | FT_OPEN_BY_LOCATION),
              FT_DEVICE_NOT_FOUND);

    char first[64] = {};
    char second[64] = {};
    char* serials[] = {first, second, nullptr};
    std::uint32_t count = 0;
    EXPECT_EQ(SimFT_ListDevices(serials, &count, FT_LIST_ALL | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
    EXPECT_STREQ(first, "TA0001");
    EXPECT_STREQ(second, "TA0002");
    EXPECT_EQ(SimFT_ListDevices(serials, &count, FT_LIST_ALL | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_STREQ(second, CSimBus::DESCRIPTION);
    EXPECT_EQ(SimFT_ListDevices(serials, &count, FT_LIST_ALL), FT_INVALID_PARAMETER);
    EXPECT_EQ(SimFT_ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
}

TEST(SimOpen, ByIndexOnceAtATime)
{
    CScopedSimBus bus({true, 2});
    FT_HANDLE a = nullptr;
    FT_HANDLE b = nullptr;
    FT_HANDLE again = nullptr;
    ASSERT_EQ(SimFT_Open(0, &a), FT_OK);
    ASSERT_EQ(SimFT_Open(1, &b), FT_OK);
    EXPECT_NE(a, b);
    EXPECT_EQ(SimFT_Open(0, &again), FT_DEVICE_NOT_OPENED);
    EXPECT_EQ(SimFT_Open(2, &again), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(SimFT_Open(-1, &again), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(SimFT_Close(a), FT_OK);
    EXPECT_EQ(SimFT_Close(a), FT_INVALID_HANDLE);
    EXPECT_EQ(SimFT_Open(0, &again), FT_OK);
    EXPECT_EQ(bus->LinkRecord(0).opens, 2);
    EXPECT_EQ(bus->LinkRecord(0).closes, 1);

    // Each handle reaches its own unit.
    std::uint32_t n = 0;
    std::uint8_t write[] = {'$', 0x0B, 0, 9, 0x55, '&'};
    SimFT_Write(b, write, 6, &n);
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(bus->SettingStore(1)[9], 0x55);
    EXPECT_EQ(bus->SettingStore(0)[9], 0);
}

TEST(SimOpen, OpenExByLocationSerialAndDescription)
{
    CScopedSimBus bus({true, 2});
    FT_HANDLE h = nullptr;
    EXPECT_EQ(
        SimFT_OpenEx(reinterpret_cast<void*>(std::uintptr_t(0x0112)), FT_OPEN_BY_LOCATION, &h),
        FT_OK);
    EXPECT_EQ(bus->LinkRecord(1).opens, 1);
    char serial[] = "TA0001";
    EXPECT_EQ(SimFT_OpenEx(serial, FT_OPEN_BY_SERIAL_NUMBER, &h), FT_OK);
    EXPECT_EQ(bus->LinkRecord(0).opens, 1);
    char description[] = "Tavelo TA";
    EXPECT_EQ(SimFT_OpenEx(description, FT_OPEN_BY_DESCRIPTION, &h), FT_DEVICE_NOT_OPENED);
    char other[] = "Other";
    EXPECT_EQ(SimFT_OpenEx(other, FT_OPEN_BY_DESCRIPTION, &h), FT_DEVICE_NOT_FOUND);
}

TEST(SimOpen, LinkSettingsAreRecorded)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    const SIM_LINK_RECORD link = bus->LinkRecord(0);
    EXPECT_EQ(link.baudRate, 460800u);
    EXPECT_EQ(link.readTimeoutMs, 300u);
    EXPECT_EQ(link.writeTimeoutMs, 300u);
    EXPECT_EQ(link.resets, 1);
    EXPECT_EQ(link.purgesRx, 1);
    EXPECT_EQ(SimFT_SetBaudRate(port.Handle(), 0), FT_INVALID_PARAMETER);
}

TEST(SimUnplug, HandlesFailUntilReopenedAndListingSkipsTheUnit)
{
    CScopedSimBus bus({true, 2});
    CPort port0(bus.Bus(), 0);
    CPort port1(bus.Bus(), 1);
    port0.Send(protocol::STREAM_ON);
    bus->Execute("unit 0 fault unplug");

    EXPECT_EQ(ListAll().count, 1u);
    EXPECT_EQ(ListAll().locations[0], 0x0112u);
    std::uint8_t byte = 0;
    std::uint32_t got = 7;
    const std::uint64_t t = bus->NowMicros();
    EXPECT_EQ(SimFT_Read(port0.Handle(), &byte, 1, &got), FT_IO_ERROR);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(bus->NowMicros() - t, CSimBus::FAILED_CALL_MICROS);
    EXPECT_EQ(port0.Send(protocol::STREAM_ON), FT_IO_ERROR);
    EXPECT_EQ(port1.Send(protocol::SettingRead(0)), FT_OK);

    bus->Execute("unit 0 fault unplug off");
    EXPECT_EQ(ListAll().count, 2u);
    // The old handle stays dead; a fresh open works and the unit starts silent.
    EXPECT_EQ(SimFT_Read(port0.Handle(), &byte, 1, &got), FT_IO_ERROR);
    CPort again(bus.Bus(), 0);
    ASSERT_EQ(again.OpenStatus(), FT_OK);
    EXPECT_TRUE(again.ReadFor(100'000).empty());
}

TEST(SimUnplug, UnitCountChangesLiveDetachUnits)
{
    CScopedSimBus bus({true, 3});
    CPort port(bus.Bus(), 2);
    bus->Execute("units 2");
    EXPECT_EQ(ListAll().count, 2u);
    EXPECT_EQ(port.Send(protocol::STREAM_ON), FT_IO_ERROR);
    bus->Execute("units 0");
    EXPECT_EQ(ListAll().count, 0u);
    FT_HANDLE h = nullptr;
    EXPECT_EQ(SimFT_Open(0, &h), FT_DEVICE_NOT_FOUND);
}

TEST(SimPacketLog, EveryWrittenPacketWithItsTime)
{
    CScopedSimBus bus;
    CPort port(bus.Bus());
    bus->Advance(1'000);
    for (const auto& packet : protocol::TRACKING_SETUP)
        port.Send(packet);
    bus->Advance(2'500);
    port.Write({'$', 0x0C, 0x00});
    port.Write({0x04, 0x00, '&', '$', 0x0B, 0, 20, 7, 'x'});

    const std::vector<SIM_PACKET_RECORD> log = bus->PacketLog(0);
    ASSERT_EQ(log.size(), protocol::TRACKING_SETUP.size() + 2);
    for (std::size_t i = 0; i < protocol::TRACKING_SETUP.size(); ++i)
    {
        EXPECT_EQ(log[i].bytes, protocol::TRACKING_SETUP[i]);
        EXPECT_EQ(log[i].micros, 1'000u);
        EXPECT_TRUE(log[i].framed);
    }
    EXPECT_EQ(log[12].bytes, protocol::SettingRead(4));
    EXPECT_EQ(log[12].micros, 3'500u);
    EXPECT_FALSE(log[13].framed);
    // The unframed setting write was not acted on.
    EXPECT_EQ(bus->SettingStore(0)[20], 0);
    EXPECT_EQ(bus->WithUnit(0, [](CSimUnit& unit) { return unit.Parameter(0xA6); }), 0x24);
}

TEST(SimPacketLog, LogFileHasOneLinePerPacket)
{
    CTempDir dir("log");
    const std::filesystem::path file = dir.Path() / "packets.log";
    {
        CScopedSimBus bus;
        bus->Execute("log " + Utf8(file));
        CPort port(bus.Bus());
        bus->Advance(42);
        port.Send(protocol::STREAM_OFF);
        bus->Execute("bogus");
    }
    std::ifstream in(file);
    std::string first;
    std::string second;
    std::getline(in, first);
    std::getline(in, second);
    EXPECT_EQ(first, "42 unit 0 24 01 00 00 00 26");
    EXPECT_EQ(second, "# line 1: unknown command 'bogus'");
}

TEST(SimBinding, TableAndSymbolsReachTheInstalledBus)
{
    const D2XX_TABLE table = SimD2xxTable();
    const std::map<std::string, void*> symbols = SimD2xxSymbols();
    EXPECT_EQ(symbols.size(), 11u);
#define CHECK_ENTRY(name, params)                                                                  \
    EXPECT_NE(table.p##name, nullptr);                                                             \
    EXPECT_EQ(symbols.at(#name), reinterpret_cast<void*>(table.p##name));
    TAVELO_D2XX_ENTRY_POINTS(CHECK_ENTRY)
#undef CHECK_ENTRY

    // Through the platform's library lookup, as the driver binds it.
    CFakePlatform platform;
    platform.m_libraries[L"ftd2xx.dll"] = symbols;
    CScopedPlatform scope(platform);
    const LibraryHandle library = Platform().LoadAppLibrary(L"Ftd2xx.dll");
    ASSERT_NE(library, nullptr);
    auto list = reinterpret_cast<PFN_FT_ListDevices>(
        Platform().GetLibrarySymbol(library, "FT_ListDevices"));
    ASSERT_NE(list, nullptr);
    std::uint32_t count = 0;
    {
        CScopedSimBus outer({true, 2});
        {
            CScopedSimBus inner({true, 3});
            EXPECT_EQ(list(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
            EXPECT_EQ(count, 3u);
        }
        EXPECT_EQ(list(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
        EXPECT_EQ(count, 2u);
    }
    // With no bus installed every call fails.
    if (!CurrentSimBus())
    {
        EXPECT_EQ(list(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OTHER_ERROR);
    }
}

TEST(SimBinding, HandlesOfAnEarlierBusAreNotValidOnTheNextOne)
{
    FT_HANDLE old = nullptr;
    {
        CScopedSimBus bus;
        ASSERT_EQ(SimFT_Open(0, &old), FT_OK);
    }
    CScopedSimBus bus;
    std::uint32_t ready = 0;
    EXPECT_EQ(SimFT_GetQueueStatus(old, &ready), FT_INVALID_HANDLE);
    FT_HANDLE fresh = nullptr;
    EXPECT_EQ(SimFT_Open(0, &fresh), FT_OK);
    EXPECT_NE(fresh, old);
}

TEST(SimBinding, FakePlatformTimeIsTheBusTime)
{
    CScopedSimBus bus;
    CFakePlatform platform;
    platform.m_clock = bus->ClockFunction();
    platform.m_sleeper = bus->SleepFunction();
    CScopedPlatform scope(platform);
    const std::uint64_t t = Platform().MonotonicMicros();
    Platform().Sleep(15);
    EXPECT_EQ(bus->NowMicros() - t, 15'000u);
    EXPECT_EQ(Platform().MonotonicMicros(), bus->NowMicros());
}

TEST(SimControl, LinesAppendedToTheControlFileTakeEffect)
{
    CTempDir dir("control");
    const std::filesystem::path control = dir.Path() / "SimControl.txt";
    Append(control, "units 2\n");
    CScopedSimBus bus;
    bus->SetControlFile(control);
    EXPECT_EQ(ListAll().count, 2u);

    CPort port(bus.Bus());
    port.Send(protocol::STREAM_ON);
    Append(control, "unit 0 pen 0 320 240\nunit 0 pen 1 1");
    EXPECT_EQ(MultiSpots(port.ReadFor(55'000)).size(), 5u);
    EXPECT_EQ(Packets(port.ReadFor(50'000), 12, "7").size(), 5u);
    // The unfinished line waits for its line break.
    EXPECT_FALSE(bus->WithUnit(0, [](CSimUnit& unit) { return unit.Pen(1).down; }));
    Append(control, "0 100\nunits 9 9\n");
    port.ReadFor(50'000);
    EXPECT_TRUE(bus->WithUnit(0, [](CSimUnit& unit) { return unit.Pen(1).down; }));
    ASSERT_EQ(bus->Errors().size(), 1u);
    EXPECT_EQ(bus->Errors()[0].line, 4);

    // A file started afresh is read from its beginning.
    std::ofstream(control, std::ios::trunc) << "units 1\n";
    port.ReadFor(50'000);
    EXPECT_EQ(ListAll().count, 1u);
}

TEST(SimControl, ScenarioFilePathsAreRelativeToTheFile)
{
    CTempDir dir("scenario");
    const std::filesystem::path scenario = dir.Path() / "SimScenario.txt";
    Append(scenario, "# two units, the first keeps its store\r\nunits 2\r\n"
                     "unit 0 store unit0.bin\r\nunit 0 set 4 1\r\nunit 1 minor 0x15\r\n");
    CScopedSimBus bus({true, 0});
    EXPECT_TRUE(bus->LoadScenarioFile(scenario));
    EXPECT_TRUE(bus->Errors().empty());
    EXPECT_EQ(bus->AttachedUnits(), 2);
    std::ifstream store(dir.Path() / "unit0.bin", std::ios::binary);
    std::array<char, 256> bytes{};
    store.read(bytes.data(), 256);
    EXPECT_EQ(store.gcount(), 256);
    EXPECT_EQ(bytes[4], 1);
    EXPECT_EQ(bus->WithUnit(1, [](CSimUnit& unit) { return unit.FirmwareMinor(); }), 0x15);
    EXPECT_FALSE(bus->LoadScenarioFile(dir.Path() / "missing.txt"));
}
