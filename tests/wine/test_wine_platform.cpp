#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

TEST(WinePlatform, ClockIsMonotonicAndSleepAdvancesIt)
{
    CWin32Platform platform;
    const std::uint64_t before = platform.MonotonicMicros();
    platform.Sleep(20);
    const std::uint64_t after = platform.MonotonicMicros();
    EXPECT_GE(after - before, 15000u);
}
