// The Win32 profile functions behind the platform seam, on real files: the paths they are
// given. The settings written and read back through them are the end-to-end tests' business.

#include "platform/win32/Win32Platform.h"
#include "tests/support/ProfileWorld.h"

#include <gtest/gtest.h>

namespace
{
CWin32Platform& Win32()
{
    static CWin32Platform platform;
    return platform;
}
} // namespace

TEST(IniWin32, PathBeyondTheBufferIsCutWhereTheBufferEnds)
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

TEST(IniWin32, FileExistsSeesFilesAndFolders)
{
    CTempFolder folder;
    folder.WriteBytes(L"there.lng", "x");
    folder.MakeFolder(L"sub");
    EXPECT_TRUE(Win32().FileExists(folder.PathOf(L"there.lng")));
    EXPECT_TRUE(Win32().FileExists(folder.PathOf(L"sub")));
    EXPECT_FALSE(Win32().FileExists(folder.PathOf(L"missing.lng")));
}
