#pragma once
// The seam between the driver and the operating system. Portable code reaches the
// system only through CPlatform; the Win32 build installs CWin32Platform, tests install
// a recording fake, and tools may install their own.

#include <cstdint>
#include <functional>
#include <string>

using WindowHandle = std::uintptr_t;
using LibraryHandle = void*;
using MonitorHandle = std::uintptr_t;

// Message box styles, with the values Windows gives them.
enum : std::uint32_t
{
    BOX_OK = 0x00000000,
    BOX_YESNO = 0x00000004,
    BOX_ICONERROR = 0x00000010,
    BOX_ICONQUESTION = 0x00000020,
    BOX_ICONWARNING = 0x00000030,
    BOX_ICONINFORMATION = 0x00000040,
    BOX_TOPMOST = 0x00040000,
};

// Screen metrics, with the indexes GetSystemMetrics uses.
enum : int
{
    METRIC_CXSCREEN = 0,
    METRIC_CYSCREEN = 1,
    METRIC_CMONITORS = 80,
};

// Mouse input flags, with the values SendInput uses.
enum : std::uint32_t
{
    MOUSE_MOVE = 0x0001,
    MOUSE_LEFTDOWN = 0x0002,
    MOUSE_LEFTUP = 0x0004,
    MOUSE_RIGHTDOWN = 0x0008,
    MOUSE_RIGHTUP = 0x0010,
    MOUSE_ABSOLUTE = 0x8000,
};

enum class REGISTRY_ROOT
{
    LOCAL_MACHINE,
    CURRENT_USER,
    // The merged view of the machine's and the user's classes, as Windows presents it.
    CLASSES_ROOT,
};

// Show commands, with the values ShowWindow uses.
enum : int
{
    SHOW_NORMAL = 1,
    SHOW_MAXIMIZED = 3,
};

struct MOUSE_RECORD
{
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    std::uint32_t mouseData = 0;
    std::uint32_t flags = 0;
    std::uint32_t time = 0;
    std::uintptr_t extraInfo = 0;
};

// One monitor as the enumeration reports it.
struct MONITOR_DESC
{
    MonitorHandle hMonitor = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
    std::wstring deviceName;
    bool primary = false;
};

// Local wall-clock time, as the diagnostic log stamps its lines.
struct LOCAL_TIME
{
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

class CPlatform
{
public:
    virtual ~CPlatform() = default;

    // Message box with the application title; returns the button id.
    virtual int ShowMessageBox(const std::wstring& text, std::uint32_t style) = 0;
    // Renames the application title of the message boxes for the rest of the run.
    virtual void SetMessageBoxTitle(const std::wstring& title) = 0;
    virtual void Sleep(std::uint32_t milliseconds) = 0;
    // Monotonic clock, microseconds from an arbitrary origin.
    virtual std::uint64_t MonotonicMicros() = 0;

    // Run-time libraries: searched in the application folder and the system folder only, and
    // kept for the life of the process.
    virtual LibraryHandle LoadAppLibrary(const std::wstring& name) = 0;
    virtual void* GetLibrarySymbol(LibraryHandle library, const char* name) = 0;

    // Screens and monitors.
    virtual int GetSystemMetric(int index) = 0;
    // Calls visit once per monitor in enumeration order until it returns false.
    virtual void EnumerateMonitors(const std::function<bool(const MONITOR_DESC&)>& visit) = 0;
    // Size of the current display mode of the primary display.
    virtual bool GetCurrentDisplayMode(int& width, int& height) = 0;

    // Input and windows.
    virtual void SendMouseInput(const MOUSE_RECORD& record) = 0;
    virtual void SetCursorPosition(int x, int y) = 0;
    virtual int ShowMouseCursor(bool show) = 0;
    virtual WindowHandle FindWindowByClass(const char* className) = 0;
    virtual bool IsWindowShown(WindowHandle window) = 0;
    virtual bool PostWindowMessage(WindowHandle window, std::uint32_t message,
                                   std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Empties the calling thread's message queue without handling the messages. A thread that
    // injects input and never reads its queue lets the queue grow for as long as it lives.
    virtual void DrainThreadMessages() = 0;
    // The driver's own main window.
    virtual void PostMainMessage(std::uint32_t message, std::uintptr_t wParam,
                                 std::intptr_t lParam) = 0;
    // The tray menu's exit command: remove the tray icon and post WM_DESTROY to the main
    // window, whose shutdown ends the program.
    virtual void QuitFromTray() = 0;

    // Language and files.
    virtual std::uint16_t GetSystemLanguageId() = 0;
    virtual std::wstring GetModuleDirectory() = 0;
    // True when a file or folder of that name exists (the check a file search makes).
    virtual bool FileExists(const std::wstring& path) = 0;
    // Profile (INI) strings with the rules of the Windows profile API; bufferChars counts
    // the terminating zero, so at most bufferChars - 1 characters come back.
    virtual std::wstring ReadProfileText(const std::wstring& path, const std::wstring& section,
                                         const std::wstring& key, const std::wstring& defaultValue,
                                         std::size_t bufferChars) = 0;
    virtual bool WriteProfileText(const std::wstring& path, const std::wstring& section,
                                  const std::wstring& key, const std::wstring& value) = 0;
    // Whole files, for a file that is replaced rather than rewritten in place: a copy that
    // overwrites its target, a move over an existing file that completes in one step and is on
    // the disk when it returns, and a removal.
    virtual bool CopyFileOver(const std::wstring& from, const std::wstring& to) = 0;
    virtual bool MoveFileOver(const std::wstring& from, const std::wstring& to) = 0;
    virtual bool RemoveFile(const std::wstring& path) = 0;

    // Registry text values ("" for a missing key, value or a value that is not text). Keys
    // are read from the root named, with no merging of one root into another.
    virtual std::wstring ReadRegistryText(REGISTRY_ROOT root, const std::wstring& key,
                                          const std::wstring& valueName) = 0;
    // Starts a program for the signed-in user, with the user's own rights rather than the
    // driver's: the desktop shell starts it. program is a full path; false when the shell
    // could not be asked (the program is then not started at all).
    virtual bool StartProgramAsUser(const std::wstring& program, const std::wstring& parameters,
                                    int show) = 0;

    // Files the driver writes for support (its log, recordings of the camera stream), over
    // the standard library unless a platform knows better. None of them ever shows a box:
    // a failure is only the result.
    virtual bool AppendFileBytes(const std::wstring& path, const void* data, std::size_t size);
    // Creates or empties the file, then writes the bytes.
    virtual bool WriteNewFile(const std::wstring& path, const void* data, std::size_t size);
    // Size in bytes; -1 when there is no such file.
    virtual std::int64_t FileByteSize(const std::wstring& path);
    virtual LOCAL_TIME LocalClock();
};

// The platform in use. Installed once before any thread starts.
CPlatform& Platform();
void SetPlatform(CPlatform* platform);
