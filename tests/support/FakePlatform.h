#pragma once
// A recording platform for tests and tools: it records what the driver asks of the
// system and answers from fields the test sets. Its clock is virtual unless a clock
// function is given (the simulator's clock, usually).

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

struct RECORDED_BOX
{
    std::wstring text;
    std::uint32_t style = 0;
    std::wstring title;
};

struct RECORDED_MESSAGE
{
    WindowHandle window = 0;
    std::uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    // The platform's clock when the message was posted.
    std::uint64_t micros = 0;
};

class CFakePlatform : public CPlatform
{
public:
    CFakePlatform();

    int ShowMessageBox(const std::wstring& text, std::uint32_t style) override;
    void SetMessageBoxTitle(const std::wstring& title) override;
    void Sleep(std::uint32_t milliseconds) override;
    std::uint64_t MonotonicMicros() override;
    LibraryHandle LoadAppLibrary(const std::wstring& name) override;
    void* GetLibrarySymbol(LibraryHandle library, const char* name) override;
    int GetSystemMetric(int index) override;
    void EnumerateMonitors(const std::function<bool(const MONITOR_DESC&)>& visit) override;
    bool GetCurrentDisplayMode(int& width, int& height) override;
    void SendMouseInput(const MOUSE_RECORD& record) override;
    void DrainThreadMessages() override;
    void SetCursorPosition(int x, int y) override;
    int ShowMouseCursor(bool show) override;
    WindowHandle FindWindowByClass(const char* className) override;
    bool IsWindowShown(WindowHandle window) override;
    bool PostWindowMessage(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                           std::intptr_t lParam) override;
    void PostMainMessage(std::uint32_t message, std::uintptr_t wParam,
                         std::intptr_t lParam) override;
    void QuitFromTray() override;
    std::uint16_t GetSystemLanguageId() override;
    std::wstring GetModuleDirectory() override;
    bool FileExists(const std::wstring& path) override;
    std::wstring ReadProfileText(const std::wstring& path, const std::wstring& section,
                                 const std::wstring& key, const std::wstring& defaultValue,
                                 std::size_t bufferChars) override;
    bool WriteProfileText(const std::wstring& path, const std::wstring& section,
                          const std::wstring& key, const std::wstring& value) override;
    bool CopyFileOver(const std::wstring& from, const std::wstring& to) override;
    bool MoveFileOver(const std::wstring& from, const std::wstring& to) override;
    bool RemoveFile(const std::wstring& path) override;
    std::wstring ReadRegistryText(REGISTRY_ROOT root, const std::wstring& key,
                                  const std::wstring& valueName) override;
    bool StartProgramAsUser(const std::wstring& program, const std::wstring& parameters,
                            int show) override;

    // Sets `count` monitors of the given size side by side, the primary one at (0, 0), with
    // matching metrics.
    void SetMonitors(int count, int width, int height);
    void SetSingleMonitor(int width, int height) { SetMonitors(1, width, height); }
    void AddWindow(const std::string& className, WindowHandle handle, bool visible);
    // The messages posted to the main window so far, in order.
    std::vector<std::uint32_t> PostedToMain();

    // What the test sets. Guarded by m_lock where the reader thread may touch it.
    std::mutex m_lock;
    std::map<int, int> m_metrics;
    std::vector<MONITOR_DESC> m_monitors;
    int m_nDisplayWidth = 1024;
    int m_nDisplayHeight = 768;
    std::uint16_t m_nLanguageId = 0x0409;
    std::wstring m_strModuleDirectory = L".";
    // Library name (lower case) -> symbols. A name absent from the map fails to load.
    std::map<std::wstring, std::map<std::string, void*>> m_libraries;
    std::map<std::string, WindowHandle> m_windowsByClass;
    std::map<WindowHandle, bool> m_windowVisible;
    std::function<std::uint64_t()> m_clock;
    std::function<void(std::uint32_t)> m_sleeper;
    // Profile strings go to this hook when set; otherwise reads give the default.
    std::function<std::wstring(const std::wstring&, const std::wstring&, const std::wstring&,
                               const std::wstring&, std::size_t)>
        m_profileReader;
    std::function<bool(const std::wstring&, const std::wstring&, const std::wstring&,
                       const std::wstring&)>
        m_profileWriter;
    // Answers FileExists when set; otherwise no file exists.
    std::function<bool(const std::wstring&)> m_fileExists;
    // Whole-file copies, moves and removals go to these hooks when set; otherwise they fail.
    std::function<bool(const std::wstring&, const std::wstring&)> m_fileCopier;
    std::function<bool(const std::wstring&, const std::wstring&)> m_fileMover;
    std::function<bool(const std::wstring&)> m_fileRemover;
    // Registry text values by root, key and value name. CLASSES_ROOT is not stored: it reads
    // as Windows merges it, the user's "Software\Classes" first, then the machine's.
    std::map<std::tuple<REGISTRY_ROOT, std::wstring, std::wstring>, std::wstring> m_registry;
    // Whether the shell accepts a program to start as the user.
    bool m_bShellStarts = true;

    // What the driver did.
    std::vector<RECORDED_BOX> m_boxes;
    std::wstring m_strBoxTitle = L"Tavelo";
    // Button id the boxes answer with.
    int m_nBoxAnswer = 1;
    // Runs while a box is up, as the messages a real box's loop dispatches.
    std::function<void()> m_onBox;
    std::vector<std::uint32_t> m_sleeps;
    std::vector<MOUSE_RECORD> m_mouse;
    // The platform's clock when each record of m_mouse was sent.
    std::vector<std::uint64_t> m_mouseMicros;
    std::vector<std::pair<int, int>> m_cursorPositions;
    std::vector<bool> m_cursorShows;
    std::vector<RECORDED_MESSAGE> m_windowMessages;
    std::vector<RECORDED_MESSAGE> m_mainMessages;
    // Programs started as the user: the program and its parameters.
    std::vector<std::pair<std::wstring, std::wstring>> m_userLaunches;
    int m_nQuits = 0;
    // Threads that emptied their message queue, once per call.
    std::vector<std::thread::id> m_drainThreads;
    int m_nFindWindowCalls = 0;
    std::uint64_t m_nVirtualMicros = 0;
};

// Installs a platform for the life of a scope and restores the previous one after.
class CScopedPlatform
{
public:
    explicit CScopedPlatform(CPlatform& platform);
    ~CScopedPlatform();
    CScopedPlatform(const CScopedPlatform&) = delete;
    CScopedPlatform& operator=(const CScopedPlatform&) = delete;
};
