// The settings and profile-rule case table of the native tests, run here against the Win32
// profile functions, so the Win32 store and the portable store are held to the same results.

#include "platform/win32/Win32Platform.h"
#include "tests/support/SettingsCases.h"

#include <gtest/gtest.h>

namespace
{
CWin32Platform& Win32()
{
    static CWin32Platform platform;
    return platform;
}

PROFILE_API Win32ProfileApi()
{
    PROFILE_API api;
    api.read = [](const std::wstring& path, const std::wstring& section, const std::wstring& key,
                  const std::wstring& defaultValue, std::size_t bufferChars)
    { return Win32().ReadProfileText(path, section, key, defaultValue, bufferChars); };
    api.write = [](const std::wstring& path, const std::wstring& section, const std::wstring& key,
                   const std::wstring& value)
    { return Win32().WriteProfileText(path, section, key, value); };
    api.exists = [](const std::wstring& path) { return Win32().FileExists(path); };
    return api;
}
} // namespace

class IniWin32Read : public ::testing::TestWithParam<PROFILE_READ_CASE>
{
};

TEST_P(IniWin32Read, FollowsProfileRules)
{
    CProfileWorld world(Win32ProfileApi());
    RunProfileReadCase(world, GetParam());
}

INSTANTIATE_TEST_SUITE_P(IniCases, IniWin32Read, ::testing::ValuesIn(ProfileReadCases()),
                         ProfileReadCaseName);

class IniWin32Write : public ::testing::TestWithParam<PROFILE_CASE>
{
};

TEST_P(IniWin32Write, FollowsProfileRules)
{
    CProfileWorld world(Win32ProfileApi());
    GetParam().run(world);
}

INSTANTIATE_TEST_SUITE_P(IniCases, IniWin32Write, ::testing::ValuesIn(ProfileWriteCases()),
                         ProfileCaseName);

class SettingsWin32 : public ::testing::TestWithParam<PROFILE_CASE>
{
};

TEST_P(SettingsWin32, Case)
{
    CProfileWorld world(Win32ProfileApi());
    GetParam().run(world);
}

INSTANTIATE_TEST_SUITE_P(SettingsCases, SettingsWin32, ::testing::ValuesIn(SettingsCases()),
                         ProfileCaseName);

TEST(IniWin32Path, PathBeyondTheBufferIsCutWhereTheBufferEnds)
{
    CTempFolder folder;
    const std::wstring longPath = folder.PathOf(std::wstring(300, L'a') + L".ini");
    ASSERT_GT(longPath.size(), MAX_PATH - 1);
    ASSERT_LT(folder.Path().size() + 1, MAX_PATH - 1);
    EXPECT_TRUE(Win32().WriteProfileText(longPath, L"S", L"k", L"v"));
    const std::wstring cut = longPath.substr(0, MAX_PATH - 1);
    EXPECT_TRUE(Win32().FileExists(cut));
    EXPECT_EQ(Win32().ReadProfileText(longPath, L"S", L"k", L"d", 16), L"v");
    EXPECT_EQ(Win32().ReadProfileText(cut, L"S", L"k", L"d", 16), L"v");
}

TEST(IniWin32Path, FileExistsSeesFilesAndFolders)
{
    CTempFolder folder;
    folder.WriteBytes(L"there.lng", "x");
    folder.MakeFolder(L"sub");
    EXPECT_TRUE(Win32().FileExists(folder.PathOf(L"there.lng")));
    EXPECT_TRUE(Win32().FileExists(folder.PathOf(L"sub")));
    EXPECT_FALSE(Win32().FileExists(folder.PathOf(L"missing.lng")));
}
