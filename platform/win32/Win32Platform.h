#pragma once
// The seam's Win32 implementation. Each concern's member functions live in their own
// file beside this one (Win32Platform.cpp: boxes, time, libraries, monitors; other files
// add input, profile strings and so on).

#include "platform/Platform.h"

#include <windows.h>

#include <atomic>
#include <functional>

class CWin32Platform : public CPlatform
{
public:
    CWin32Platform();

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
    LOCAL_TIME LocalClock() override;

    // The window that receives PostMainMessage; null until the main window exists.
    std::atomic<HWND> m_hMainWnd{nullptr};
    // Message boxes carry this title (user-interface thread only).
    std::wstring m_strTitle = L"Tavelo";
    // The tray's exit command; without one, the main window is asked to close directly.
    std::function<void()> m_fnQuit;
    // Told the text of every message box before it is shown (user-interface thread only).
    std::function<void(const std::wstring&)> m_fnBoxShown;

private:
    LARGE_INTEGER m_frequency{};
};

// The running executable's full path, however long; empty when Windows cannot say.
std::wstring OwnExecutablePath();
