#include "device/CameraLink.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
FT_STATUS TAVELO_STDCALL DummyWrite(FT_HANDLE, void*, std::uint32_t, std::uint32_t*)
{
    return FT_OK;
}

const char* const ENTRY_NAMES[] = {"FT_Write",       "FT_Read",          "FT_Open",
                                   "FT_OpenEx",      "FT_SetBaudRate",   "FT_ListDevices",
                                   "FT_Close",       "FT_ResetDevice",   "FT_Purge",
                                   "FT_SetTimeouts", "FT_GetQueueStatus"};
} // namespace

TEST(CameraBinding, MissingLibraryShowsTheLoadMessageTheListingNamesItsEntryPointAndWritesStayOut)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    CCameraLink link;
    (void)link.BindLibrary();
    ASSERT_EQ(platform.m_boxes.size(), 1u);
    EXPECT_EQ(platform.m_boxes[0].text, L"Error: Can't Load ft8u232.dll");
    EXPECT_EQ(platform.m_boxes[0].style, BOX_ICONERROR);

    // Start-up goes on to the listing, which names the entry point it lacks.
    std::uint32_t locations[LOCATION_SLOTS] = {};
    std::uint16_t count = 7;
    EXPECT_EQ(link.ListDevices(locations, &count), 1u);
    EXPECT_EQ(count, 0u);
    ASSERT_EQ(platform.m_boxes.size(), 2u);
    EXPECT_EQ(platform.m_boxes[1].text, L"FT_ListDevices is not valid!");
    EXPECT_EQ(platform.m_boxes[1].style, BOX_ICONERROR);

    // Without cameras nothing reaches the library: a call would add a box.
    const std::uint8_t packet[6] = {0x24, 1, 0, 0, 1, 0x26};
    std::uint32_t written = 0;
    EXPECT_FALSE(link.WritePacket(0, packet, 6, &written));
    EXPECT_FALSE(link.SendCommand(0, 10));
    EXPECT_TRUE(link.SendCommand(0, 4));
    EXPECT_EQ(platform.m_boxes.size(), 2u);
}

TEST(CameraBinding, EachMissingEntryPointStopsBindingWithItsOwnMessage)
{
    for (const char* missing : ENTRY_NAMES)
    {
        CFakePlatform platform;
        std::map<std::string, void*>& symbols = platform.m_libraries[L"ftd2xx.dll"];
        for (const char* name : ENTRY_NAMES)
            symbols[name] = reinterpret_cast<void*>(&DummyWrite);
        symbols.erase(missing);
        CScopedPlatform scope(platform);
        CCameraLink link;
        (void)link.BindLibrary();
        ASSERT_EQ(platform.m_boxes.size(), 1u) << missing;
        EXPECT_EQ(platform.m_boxes[0].text,
                  L"Error: Can't Find " + std::wstring(missing, missing + strlen(missing)));
        const bool plain = std::string(missing) == "FT_Open" || std::string(missing) == "FT_OpenEx";
        EXPECT_EQ(platform.m_boxes[0].style, plain ? BOX_OK : BOX_ICONERROR) << missing;
    }
}
