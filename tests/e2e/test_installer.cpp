// The Windows Installer package as a school deploys it, with Wine's msiexec: a silent install of
// an older version into a chosen folder with autostart, the installed program tracking a pen, a
// silent upgrade that keeps the folder, the autostart and the calibration, a refused downgrade,
// and a silent removal that leaves nothing of the package behind.

#include "tests/wine_support/Landing.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <shlobj.h>

#include <cstdio>
#include <filesystem>
#include <functional>

namespace
{
const wchar_t* const DOWNGRADE_TEXT = L"A newer version of Tavelo is already installed. Uninstall "
                                      L"it before installing this older version.";

std::wstring Folder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
    return path;
}

// The folder a deployment chooses (INSTALLDIR) and later upgrades keep.
const std::wstring PROGRAM_FOLDER = L"C:\\Tavelo Board";

// Runs msiexec silently; or, given `user`, with its own windows, which `user` answers while it
// runs. Its exit code.
DWORD Msiexec(const std::wstring& arguments, const std::function<void(DWORD)>& user = nullptr)
{
    PROCESS_INFORMATION process{};
    if (!Launch(L"msiexec.exe", arguments + (user ? L"" : L" /qn"), process))
        return GetLastError();
    if (user)
        user(process.dwProcessId);
    return Finish(process, 180000);
}

DWORD Install(const char* package, const wchar_t* properties = L"",
              const std::function<void(DWORD)>& user = nullptr)
{
    return Msiexec(L"/i \"" + SourceTreePath(package) + L"\" " + properties, user);
}

// The products installed under the package's upgrade code.
std::vector<std::wstring> InstalledProducts()
{
    std::vector<std::wstring> products;
    wchar_t code[39] = {};
    for (DWORD i = 0; MsiEnumRelatedProductsW(TAVELO_UPGRADE_CODE, 0, i, code) == ERROR_SUCCESS;
         ++i)
        products.push_back(code);
    return products;
}

std::wstring ProductInfo(const std::wstring& product, const wchar_t* property)
{
    wchar_t value[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (MsiGetProductInfoW(product.c_str(), property, value, &size) != ERROR_SUCCESS)
        return std::wstring();
    return value;
}

std::wstring UninstallKey(const std::wstring& product)
{
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product;
}

// Wine's installer puts a per-machine package's shortcuts into the user's Start menu; Windows
// puts them into the common one.
std::vector<std::wstring> Shortcuts()
{
    return {Folder(CSIDL_COMMON_PROGRAMS) + L"\\Tavelo.lnk",
            Folder(CSIDL_PROGRAMS) + L"\\Tavelo.lnk"};
}

// The files the package installs, relative to the program folder: the program and every
// shipped language file.
std::vector<std::wstring> PackageFiles()
{
    std::vector<std::wstring> files = {L"Tavelo.exe"};
    for (const auto& file :
         std::filesystem::directory_iterator(SourceTreePath("resources/language")))
    {
        if (file.path().extension() == ".lng")
            files.push_back(L"language\\" + file.path().filename().wstring());
    }
    return files;
}

// What the package put on the machine and is still there: files, shortcut, Run value and
// uninstall entries.
int PackageItemsPresent(const std::vector<std::wstring>& products)
{
    int present = 0;
    for (const std::wstring& file : PackageFiles())
        present += FileExists(PROGRAM_FOLDER + L"\\" + file) ? 1 : 0;
    for (const std::wstring& shortcut : Shortcuts())
        present += FileExists(shortcut) ? 1 : 0;
    present += RegistryText(RUN_KEY, L"Tavelo").empty() ? 0 : 1;
    present += RegistryText(L"SOFTWARE\\Corvane\\Tavelo", L"InstallDir").empty() ? 0 : 1;
    for (const std::wstring& product : products)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKey(product).c_str(), 0, KEY_READ, &key) ==
            ERROR_SUCCESS)
        {
            ++present;
            RegCloseKey(key);
        }
    }
    return present;
}

// Failures of the running test so far: a part passed when it added none.
int Failures()
{
    return testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
}

// The summary line of the run, printed however far it got.
struct INSTALLER_SUMMARY
{
    int install = 0;
    int start = 0;
    int upgrade = 0;
    int uninstall = 0;
    int leftovers = -1;
    ~INSTALLER_SUMMARY()
    {
        std::printf("installer: install=%d start=%d upgrade=%d uninstall=%d leftovers=%d\n",
                    install, start, upgrade, uninstall, leftovers);
    }
};
} // namespace

TEST(Installer, SilentInstallRunsUpgradesKeepingTheCalibrationAndUninstallsCleanly)
{
    const CCalibratedBoard board;
    ASSERT_TRUE(board.IsCalibrated());
    // A run before this one may have stopped half-way.
    wchar_t code[39] = {};
    for (DWORD i = 0; MsiEnumProductsW(i, code) == ERROR_SUCCESS; ++i)
    {
        if (ProductInfo(code, INSTALLPROPERTY_INSTALLEDPRODUCTNAME) == L"Tavelo" &&
            Msiexec(L"/x " + std::wstring(code)) == ERROR_SUCCESS)
            i = DWORD(-1);
    }
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, RUN_KEY, L"Tavelo");
    DeleteFileW((PROGRAM_FOLDER + L"\\Ftd2xx.dll").c_str());
    ASSERT_TRUE(InstalledProducts().empty());
    INSTALLER_SUMMARY summary;

    // The older version, as a deployment tool pushes it.
    int failures = Failures();
    ASSERT_EQ(Install(TAVELO_OLDER_PACKAGE,
                      (L"AUTOSTART=1 INSTALLDIR=\"" + PROGRAM_FOLDER + L"\"").c_str()),
              0u);
    std::vector<std::wstring> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING), L"0.1.0.0");
    EXPECT_EQ(FileBytes(PROGRAM_FOLDER + L"\\Tavelo.exe"),
              FileBytes(TestProgramDirectory() + L"\\Tavelo.exe"));
    const std::vector<std::wstring> files = PackageFiles();
    EXPECT_EQ(files.size(), 15u);
    for (const std::wstring& file : files)
        EXPECT_TRUE(FileExists(PROGRAM_FOLDER + L"\\" + file)) << Narrow(file);
    EXPECT_FALSE(FileExists(PROGRAM_FOLDER + L"\\Ftd2xx.dll"));
    EXPECT_TRUE(FileExists(Shortcuts()[0]) || FileExists(Shortcuts()[1]));
    EXPECT_EQ(RegistryText(UninstallKey(products[0]), L"DisplayName"), L"Tavelo");
    EXPECT_EQ(RegistryText(UninstallKey(products[0]), L"Publisher"), L"Corvane");
    EXPECT_EQ(FileBytes(ProductInfo(products[0], INSTALLPROPERTY_PRODUCTICON)),
              FileBytes(SourceTreePath(TAVELO_PACKAGE_ICON)));
    EXPECT_EQ(RegistryText(RUN_KEY, L"Tavelo"), PROGRAM_FOLDER + L"\\Tavelo.exe");
    summary.install = Failures() == failures ? 1 : 0;
    failures = Failures();

    // The installed program, with the simulated unit beside it and a calibrated board.
    CDriverRun run("installer", PROGRAM_FOLDER);
    {
        CHookProbe probe;
        ASSERT_TRUE(StartTracking(run, probe, board));
        const auto buttons =
            StrokeButtons(probe, run, board.m_optics[0], {{300, 250}, {400, 300}, {520, 360}});
        ASSERT_EQ(buttons.size(), 2u);
        EXPECT_TRUE(At(buttons[0], WM_LBUTTONDOWN, 300, 250, 4));
        EXPECT_TRUE(At(buttons[1], WM_LBUTTONUP, 520, 360, 4));
        ASSERT_TRUE(run.Exit());
        summary.start = Failures() == failures ? 1 : 0;
    }
    const std::string calibration = FileBytes(PROGRAM_FOLDER + L"\\Config.ini");
    ASSERT_FALSE(calibration.empty());

    // The new version over it, naming nothing; then the older one again, refused.
    failures = Failures();
    ASSERT_EQ(Install(TAVELO_PACKAGE), 0u);
    products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING),
              Widen(TAVELO_PACKAGE_VERSION));
    EXPECT_EQ(FileBytes(PROGRAM_FOLDER + L"\\Tavelo.exe"),
              FileBytes(TestProgramDirectory() + L"\\Tavelo.exe"));
    EXPECT_EQ(FileBytes(PROGRAM_FOLDER + L"\\Config.ini"), calibration);
    EXPECT_EQ(RegistryText(RUN_KEY, L"Tavelo"), PROGRAM_FOLDER + L"\\Tavelo.exe");
    // Double-clicked, the older package tells why it stops.
    std::wstring message;
    EXPECT_EQ(Install(TAVELO_OLDER_PACKAGE, L"",
                      [&run, &message](DWORD processId)
                      {
                          HWND box = run.WaitForMessageBox(60000, processId);
                          if (box == nullptr)
                              return;
                          message = CDriverRun::MessageBoxText(box);
                          run.Screenshot("downgrade", box);
                          CDriverRun::Click(box, IDOK);
                      }),
              DWORD{ERROR_INSTALL_FAILURE});
    EXPECT_EQ(message, DOWNGRADE_TEXT);
    EXPECT_EQ(InstalledProducts(), products);
    EXPECT_EQ(ProductInfo(products[0], INSTALLPROPERTY_VERSIONSTRING),
              Widen(TAVELO_PACKAGE_VERSION));
    summary.upgrade = Failures() == failures ? 1 : 0;

    // Removal: nothing of the package is left; the calibration stays for a later install.
    failures = Failures();
    ASSERT_EQ(Msiexec(L"/x \"" + SourceTreePath(TAVELO_PACKAGE) + L"\""), 0u);
    EXPECT_TRUE(InstalledProducts().empty());
    summary.leftovers = PackageItemsPresent(products);
    EXPECT_EQ(summary.leftovers, 0);
    EXPECT_EQ(FileBytes(PROGRAM_FOLDER + L"\\Config.ini"), calibration);
    summary.uninstall = Failures() == failures ? 1 : 0;
}
