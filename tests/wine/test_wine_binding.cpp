// The Win32 binding of the D2XX library: the message a user sees when the library is
// missing beside the program. (The end-to-end runs load the simulated Ftd2xx.dll from the
// program's folder.)

#include "device/CameraLink.h"
#include "platform/win32/Win32Platform.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

namespace
{
std::wstring ExePath()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    return path;
}

// Watches for the application's message box, records its text and presses OK.
class CBoxWatcher
{
public:
    CBoxWatcher()
        : m_thread(
              [this]
              {
                  for (int i = 0; i < 3000 && !m_bStop; ++i)
                  {
                      HWND box = FindWindowW(L"#32770", L"Tavelo");
                      if (box != nullptr)
                      {
                          wchar_t text[256] = {};
                          HWND label = GetDlgItem(box, 0xFFFF);
                          GetWindowTextW(label, text, 256);
                          m_strText = text;
                          PostMessageW(box, WM_COMMAND, IDOK, 0);
                          return;
                      }
                      Sleep(10);
                  }
              })
    {
    }
    ~CBoxWatcher()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    std::wstring Text()
    {
        m_bStop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_strText;
    }

private:
    std::atomic<bool> m_bStop{false};
    std::wstring m_strText;
    std::thread m_thread;
};
} // namespace

// Runs in a copy of this program in a folder without the library.
TEST(WineBindingChild, MissingLibraryMessage)
{
    if (GetEnvironmentVariableW(L"TAVELO_BINDING_CHILD", nullptr, 0) == 0)
        GTEST_SKIP() << "runs only inside WineBinding.MissingLibraryShowsTheExactMessage";
    CWin32Platform platform;
    SetPlatform(&platform);
    CBoxWatcher watcher;
    CCameraLink link;
    (void)link.BindLibrary();
    const std::wstring text = watcher.Text();
    SetPlatform(nullptr);
    std::wofstream out(L"box.txt");
    out << text;
}

TEST(WineBinding, MissingLibraryShowsTheExactMessage)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tavelo-nolib";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring copy = folder + L"\\binding-child.exe";
    ASSERT_TRUE(CopyFileW(ExePath().c_str(), copy.c_str(), FALSE));
    DeleteFileW((folder + L"\\box.txt").c_str());

    SetEnvironmentVariableW(L"TAVELO_BINDING_CHILD", L"1");
    std::wstring command =
        L"\"" + copy + L"\" --gtest_filter=WineBindingChild.MissingLibraryMessage";
    // The child's own test report would read like this run's; it goes nowhere.
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                               folder.c_str(), &startup, &process));
    CloseHandle(nul);
    SetEnvironmentVariableW(L"TAVELO_BINDING_CHILD", nullptr);
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);

    std::wifstream in((folder + L"\\box.txt").c_str());
    std::wstring text;
    std::getline(in, text);
    EXPECT_EQ(text, L"Error: Can't Load ft8u232.dll");
}
