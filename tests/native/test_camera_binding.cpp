#include "device/CameraLink.h"
#include "tests/support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

// A library with every entry point but one (none left out when missing is null).
std::map<std::string, void*> LibraryWithout(const char* missing)
{
    std::map<std::string, void*> symbols;
    for (const char* name : ENTRY_NAMES)
    {
        if (missing == nullptr || std::string(name) != missing)
            symbols[name] = reinterpret_cast<void*>(&DummyWrite);
    }
    return symbols;
}
} // namespace

TEST(CameraBinding, MissingLibraryShowsTheLoadMessageAndEveryCallReportsItsEntryPoint)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    CCameraLink link;
    (void)link.BindLibrary();
    ASSERT_EQ(platform.m_boxes.size(), 1u);
    EXPECT_EQ(platform.m_boxes[0].text, L"Error: Can't Load ft8u232.dll");
    EXPECT_EQ(platform.m_boxes[0].style, BOX_ICONERROR);

    std::uint32_t n = 0;
    FT_HANDLE handle = nullptr;
    EXPECT_EQ(link.Write(nullptr, "x", 1, &n), 1u);
    EXPECT_EQ(link.Read(nullptr, &n, 1, &n), 1u);
    EXPECT_EQ(link.ListDevicesRaw(&n, nullptr, FT_LIST_NUMBER_ONLY), 1u);
    EXPECT_EQ(link.Open(0, &handle), 1u);
    EXPECT_EQ(link.SetBaudRate(nullptr, 460800), 1u);
    EXPECT_EQ(link.Close(nullptr), 1u);
    EXPECT_EQ(link.ResetDevice(nullptr), 1u);
    EXPECT_EQ(link.Purge(nullptr, FT_PURGE_RX), 1u);
    EXPECT_EQ(link.SetTimeouts(nullptr, 300, 300), 1u);
    const std::vector<std::wstring> expected = {
        L"FT_Write is not valid!",       L"FT_Read is not valid!",
        L"FT_ListDevices is not valid!", L"FT_Open is not valid!",
        L"FT_SetBaudRate is not valid!", L"FT_Close is not valid!",
        L"FT_ResetDevice is not valid!", L"FT_Purge is not valid!",
        L"FT_SetTimeouts is not valid!"};
    ASSERT_EQ(platform.m_boxes.size(), 1 + expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
    {
        EXPECT_EQ(platform.m_boxes[1 + i].text, expected[i]);
        EXPECT_EQ(platform.m_boxes[1 + i].style, BOX_ICONERROR);
    }
}

TEST(CameraBinding, EachMissingEntryPointStopsBindingWithItsOwnMessage)
{
    for (const char* missing : ENTRY_NAMES)
    {
        CFakePlatform platform;
        platform.m_libraries[L"ftd2xx.dll"] = LibraryWithout(missing);
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

TEST(CameraBinding, CompleteLibraryBindsSilently)
{
    CFakePlatform platform;
    platform.m_libraries[L"ftd2xx.dll"] = LibraryWithout(nullptr);
    CScopedPlatform scope(platform);
    CCameraLink link;
    (void)link.BindLibrary();
    EXPECT_TRUE(platform.m_boxes.empty());
    EXPECT_NE(link.m_d2xx.pFT_GetQueueStatus, nullptr);
    EXPECT_EQ(link.m_nReplyValue, -1);
    EXPECT_EQ(link.m_nReplyDevice, -1);
    EXPECT_EQ(link.m_bVersionValid, -1);
}

TEST(CameraBinding, WritePacketWithoutCamerasNeverCallsTheLibrary)
{
    CFakePlatform platform;
    CScopedPlatform scope(platform);
    CCameraLink link; // no library: any library call would add a message box
    platform.m_boxes.clear();
    const std::uint8_t packet[6] = {0x24, 1, 0, 0, 1, 0x26};
    std::uint32_t written = 0;
    EXPECT_FALSE(link.WritePacket(0, packet, 6, &written));
    EXPECT_FALSE(link.SendCommand(0, 10));
    EXPECT_TRUE(link.SendCommand(0, 4));
    EXPECT_TRUE(platform.m_boxes.empty());
}
