#pragma once
// One run of the real Tavelo.exe, as a user meets it: a scratch folder holding the program, the
// simulated Ftd2xx.dll with its scenario, the language files and whatever Config.ini the test
// prepares; the running process's windows found by class and title, its message boxes read
// and answered, its simulated units driven through the control file, and screenshots saved
// under build/test-logs/screens/ for a person to look at.

#include <windows.h>

#include <map>
#include <string>
#include <vector>

class CHookProbe;

// Presses and releases a key for the window in the foreground, as the keyboard would.
void PressKey(WORD key);

class CDriverRun
{
public:
    // name: the scratch folder's name and the prefix of the screenshots.
    explicit CDriverRun(const std::string& name);
    // A run of the program already in `folder` (an installed copy): only the simulated
    // Ftd2xx.dll and its scenario and control files are added.
    CDriverRun(const std::string& name, const std::wstring& folder);
    // Ends the program if it still runs.
    ~CDriverRun();
    CDriverRun(const CDriverRun&) = delete;
    CDriverRun& operator=(const CDriverRun&) = delete;

    // Files of the scratch folder, by name relative to it.
    void WriteText(const std::string& name, const std::string& text) const;
    std::string ReadText(const std::string& name) const;
    bool Exists(const std::string& name) const;
    std::wstring Path(const std::string& name) const;

    // Starts Tavelo.exe from the scratch folder; extraEnvironment adds NAME=value entries.
    bool Start(const std::vector<std::wstring>& extraEnvironment = {});
    // Starts a second copy from the same folder; its process handle is returned (owned by the
    // caller).
    HANDLE StartAnother() const;
    bool IsRunning() const;
    // Waits for the program to end; its exit code, or STILL_ACTIVE after the time-out.
    DWORD WaitForExit(DWORD milliseconds) const;
    DWORD ProcessId() const { return m_process.dwProcessId; }

    // The hidden main window, once it exists (null after the time-out).
    HWND WaitForMainWindow(DWORD milliseconds);
    HWND MainWindow() const { return m_hMain; }
    // Posts a message to the main window as the shell or the system would.
    void PostToMain(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // What the program reports of itself: tray, runstate, reader, calibrated, cameras, and the
    // tray menu's items ("item" lines: id, type flags in hex, default flag, text).
    std::map<std::string, std::string> DescribeState();
    std::vector<std::wstring> MenuItems();
    // Waits until the described value equals `expected`.
    bool WaitForState(const std::string& key, const std::string& expected, DWORD milliseconds);
    // The usual start of a run with a pen: the hook is ready in its own process, the program
    // starts and its reader runs, each within `milliseconds`.
    bool StartTracking(CHookProbe& probe, DWORD milliseconds);

    // A visible top-level window of the given class belonging to the process (or to any
    // process with that id), waiting up to the time-out.
    HWND WaitForWindow(const wchar_t* className, DWORD milliseconds, DWORD processId = 0) const;
    // A visible top-level dialog of the process holding a control with that id.
    HWND WaitForDialog(int controlId, DWORD milliseconds, DWORD processId = 0) const;
    // The page a wizard shows: its one visible child dialog; and the page holding a control,
    // once the wizard shows it.
    static HWND ActivePage(HWND wizard);
    static HWND WaitForPage(HWND wizard, int controlId, DWORD milliseconds);
    // A message box: the dialog with the box's text control.
    HWND WaitForMessageBox(DWORD milliseconds, DWORD processId = 0) const;
    static std::wstring MessageBoxText(HWND box);
    // Presses a button of a dialog the way a click does, and returns once it was handled.
    static void Click(HWND dialog, int buttonId);
    // Presses it without waiting: for a button that opens a question the test then answers.
    static void ClickLater(HWND dialog, int buttonId);

    // Appends a command line to the simulated units' control file.
    void Control(const std::string& line) const;
    void Control(const std::vector<std::string>& lines) const;

    // Saves the screen area of a window (or a rectangle) as build/test-logs/screens/
    // <run name>-<shot>.png. False when nothing could be saved.
    bool Screenshot(const std::string& shot, HWND window) const;
    bool Screenshot(const std::string& shot, const RECT& area) const;
    // The screen's pixels in an area, three bytes each, rows top to bottom.
    static std::vector<std::uint8_t> CaptureRgb(const RECT& area);

    // Asks a window of the program a registered question (wParam: the window to answer to)
    // and returns the text it sends back as WM_COPYDATA.
    static std::wstring Ask(HWND window, const wchar_t* question);

private:
    std::wstring RequestDescription();

    std::string m_strName;
    std::wstring m_strFolder;
    PROCESS_INFORMATION m_process{};
    HWND m_hMain = nullptr;
};

// The language files shipped with the program, copied by CDriverRun; also for tests that
// prepare their own folders.
std::wstring SourceTreePath(const std::string& relative);
// Reads one value of an INI file the way the program does.
std::wstring ReadIni(const std::wstring& path, const wchar_t* section, const wchar_t* key);

// Makes ".htm" pages open with a command for the whole machine (HKLM\Software\Classes) while
// the scope lasts; the test prefix has no browser registered for them otherwise.
class CHtmlOpenCommand
{
public:
    explicit CHtmlOpenCommand(const std::wstring& command);
    ~CHtmlOpenCommand();
    CHtmlOpenCommand(const CHtmlOpenCommand&) = delete;
    CHtmlOpenCommand& operator=(const CHtmlOpenCommand&) = delete;

private:
    std::wstring m_strOldType;
};
