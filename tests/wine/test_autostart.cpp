// Start with Windows: the Run value of the local machine, written and removed through the
// registry Wine keeps, as the configuration dialog and the wizard leave it.

#include "shell/win32/Autostart.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
const wchar_t* const RUN_KEY = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

// The value's data, or "(absent)".
std::wstring RunValue(const wchar_t* name)
{
    wchar_t data[1024] = {};
    DWORD size = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, RUN_KEY, name, RRF_RT_ANY, &type, data, &size) !=
        ERROR_SUCCESS)
        return L"(absent)";
    return type == REG_SZ ? std::wstring(data) : L"(not a string)";
}

std::wstring ProgramPath()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}
} // namespace

TEST(Autostart, WritesThePathOnceAndRemovesIt)
{
    const wchar_t* name = L"TaveloAutostartTest";
    SetAutostart(FALSE, name);
    EXPECT_TRUE(SetAutostart(TRUE, name));
    EXPECT_TRUE(SetAutostart(TRUE, name));
    EXPECT_EQ(RunValue(name), ProgramPath());

    EXPECT_TRUE(SetAutostart(FALSE, name));
    EXPECT_EQ(RunValue(name), L"(absent)");
    EXPECT_FALSE(SetAutostart(FALSE, name));
    EXPECT_FALSE(SetAutostart(TRUE, nullptr));
}
