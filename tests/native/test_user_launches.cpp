// Programs the elevated driver starts for the user: taken only from places a user without
// administrator rights cannot change, and always handed to the desktop shell, which starts
// them with the user's own rights.

#include "shell/CompanionProgram.h"
#include "tests/support/FakePlatform.h"
#include "update/BrowserCommand.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace
{
using LAUNCHES = std::vector<std::pair<std::wstring, std::wstring>>;

const std::wstring WINDOWS_KEY = L"Software\\Microsoft\\Windows\\CurrentVersion";
const std::wstring APP_PATH_KEY = WINDOWS_KEY + L"\\App Paths\\Inkora.exe";

// A platform whose registry holds the machine's program folders and whose disk holds the
// given files.
struct CLaunchWorld
{
    CLaunchWorld() : m_scope(m_platform)
    {
        m_platform.m_registry[{REGISTRY_ROOT::LOCAL_MACHINE, WINDOWS_KEY, L"ProgramFilesDir"}] =
            L"C:\\Program Files";
        m_platform
            .m_registry[{REGISTRY_ROOT::LOCAL_MACHINE, WINDOWS_KEY, L"ProgramFilesDir (x86)"}] =
            L"C:\\Program Files (x86)";
        m_platform.m_fileExists = [this](const std::wstring& path)
        { return m_files.count(path) != 0; };
    }

    CFakePlatform m_platform;
    std::set<std::wstring> m_files;
    CScopedPlatform m_scope;
};
} // namespace

TEST(UserLaunches, CompanionProgramComesOnlyFromTheMachinesProgramFolders)
{
    const std::wstring driveRoot = L"C:\\Corvane\\Inkora 4\\Inkora.exe";
    const std::wstring installed = L"C:\\Program Files\\Corvane\\Inkora 4\\Inkora.exe";
    const std::wstring installed32 = L"C:\\Program Files (x86)\\Corvane\\Inkora 4\\Inkora.exe";
    const std::wstring registered = L"C:\\Program Files\\Inkora\\Inkora.exe";
    struct CASE
    {
        const char* what;
        std::vector<std::wstring> files;
        std::wstring appPath;
        std::wstring started;
    };
    const CASE cases[] = {
        {"only a planted copy in the drive root", {driveRoot}, L"", L""},
        {"the drive root registered", {driveRoot}, driveRoot, L""},
        {"a relative path registered", {L"Inkora.exe"}, L"Inkora.exe", L""},
        {"a path climbing out of the program folder",
         {L"C:\\Program Files\\..\\Users\\Inkora.exe"},
         L"C:\\Program Files\\..\\Users\\Inkora.exe",
         L""},
        {"installed beside a planted copy", {driveRoot, installed}, L"", installed},
        {"installed as a 32-bit program", {installed32}, L"", installed32},
        {"registered, quoted", {registered, installed}, L"\"" + registered + L"\"", registered},
        {"registered but gone", {installed}, registered, installed},
        {"nowhere", {}, L"", L""},
    };
    for (const CASE& item : cases)
    {
        SCOPED_TRACE(item.what);
        CLaunchWorld world;
        world.m_files.insert(item.files.begin(), item.files.end());
        if (!item.appPath.empty())
            world.m_platform.m_registry[{REGISTRY_ROOT::LOCAL_MACHINE, APP_PATH_KEY, L""}] =
                item.appPath;
        // A user's own App Paths key is never read.
        world.m_platform.m_registry[{REGISTRY_ROOT::CURRENT_USER, APP_PATH_KEY, L""}] = driveRoot;
        EXPECT_EQ(StartCompanionProgram(), !item.started.empty());
        const LAUNCHES expected = item.started.empty() ? LAUNCHES{} : LAUNCHES{{item.started, L""}};
        EXPECT_EQ(world.m_platform.m_userLaunches, expected);
    }
}

TEST(UserLaunches, BrowserIsTheMachinesAndRunsWithTheUsersRights)
{
    CLaunchWorld world;
    auto& registry = world.m_platform.m_registry;
    const std::wstring classes = L"Software\\Classes\\";
    registry[{REGISTRY_ROOT::LOCAL_MACHINE, classes + L".htm", L""}] = L"MachinePage";
    registry[{REGISTRY_ROOT::LOCAL_MACHINE, classes + L"MachinePage\\shell\\open\\command", L""}] =
        L"\"C:\\Program Files\\Browser\\browser.exe\" -page \"%1\"";
    // A user's own keys, which any unelevated program of that user can write.
    registry[{REGISTRY_ROOT::CURRENT_USER, classes + L".htm", L""}] = L"UserPage";
    registry[{REGISTRY_ROOT::CURRENT_USER, classes + L"UserPage\\shell\\open\\command", L""}] =
        L"C:\\Users\\Public\\planted.exe %1";
    registry[{REGISTRY_ROOT::CURRENT_USER, classes + L"MachinePage\\shell\\open\\command", L""}] =
        L"C:\\Users\\Public\\planted.exe %1";

    // The quoted placeholder goes with its quotes, so two blanks stand before the address.
    EXPECT_TRUE(StartMachineBrowser(L"http://update.test/Tavelo/", 5));
    EXPECT_EQ(world.m_platform.m_userLaunches,
              (LAUNCHES{{L"C:\\Program Files\\Browser\\browser.exe",
                         L"-page  \"http://update.test/Tavelo/\""}}));

    // A refused address or no machine-wide browser starts nothing; neither does a shell that
    // cannot be asked, and nothing else is tried then.
    world.m_platform.m_userLaunches.clear();
    EXPECT_FALSE(StartMachineBrowser(L"-flag", 5));
    registry.erase({REGISTRY_ROOT::LOCAL_MACHINE, classes + L".htm", L""});
    EXPECT_FALSE(StartMachineBrowser(L"http://update.test/", 5));
    EXPECT_TRUE(world.m_platform.m_userLaunches.empty());
    registry[{REGISTRY_ROOT::LOCAL_MACHINE, classes + L".htm", L""}] = L"MachinePage";
    world.m_platform.m_bShellStarts = false;
    EXPECT_FALSE(StartMachineBrowser(L"http://update.test/", 5));
    EXPECT_TRUE(world.m_platform.m_userLaunches.empty());

    // The command line's program and its arguments, as the shell is handed them.
    const std::pair<const wchar_t*, COMMAND_PARTS> splits[] = {
        {L"  \"C:\\A B\\b.exe\"  -x \"y\"", {L"C:\\A B\\b.exe", L"-x \"y\""}},
        {L"C:\\b.exe \"u\"", {L"C:\\b.exe", L"\"u\""}},
        {L"\"C:\\unclosed", {L"C:\\unclosed", L""}},
        {L"", {L"", L""}},
    };
    for (const auto& [line, parts] : splits)
    {
        const COMMAND_PARTS split = SplitCommandLine(line);
        EXPECT_EQ(split.program, parts.program) << line;
        EXPECT_EQ(split.parameters, parts.parameters) << line;
    }
}
