#pragma once
// One run of the real Tavelo.exe, as a user meets it: a scratch folder holding the program, the
// simulated Ftd2xx.dll with its scenario, the language files and whatever Config.ini the test
// prepares; the running process's windows found by class and title, its message boxes read
// and answered, its simulated units driven through the control file, and screenshots saved
// under build/test-logs/screens/ for a person to look at. The steps a scenario takes (start,
// a tray command, a box answered, Exit) each wait for what they need.

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

class CHookProbe;
class CCalibratedBoard;
struct TEXT_KEY;

// How long a run may take to come up, and a window to show.
constexpr DWORD RUN_START_MS = 20000;
constexpr DWORD RUN_WINDOW_MS = 10000;
// The wizard frame's buttons.
constexpr int WIZARD_BACK = 12323;
constexpr int WIZARD_NEXT = 12324;
constexpr int WIZARD_FINISH = 12325;

// Presses and releases a key for the window in the foreground, as the keyboard would.
void PressKey(WORD key);
// Checks `done` every 50 ms until it holds or the time is up; whether it held.
bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds);
std::wstring WindowText(HWND window);
RECT WindowRect(HWND window);
// A file's bytes; empty when it cannot be read.
std::string FileBytes(const std::wstring& path);
inline bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
inline std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}
inline std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}
// Starts a program with a command line's arguments, in `folder` unless it is null.
bool Launch(const std::wstring& program, const std::wstring& arguments,
            PROCESS_INFORMATION& process, const wchar_t* folder = nullptr);
// Waits for a started process to end and closes its handles; its exit code, or STILL_ACTIVE
// after the time-out.
DWORD Finish(PROCESS_INFORMATION& process, DWORD milliseconds);
// A visible top-level window of a process of the given class (holding a control with that id
// unless it is 0), once it shows.
HWND WaitForTopLevel(const wchar_t* className, int controlId, DWORD processId, DWORD milliseconds);
// A bitmap's pixels as the screen shows them, three bytes each, rows top to bottom.
std::vector<std::uint8_t> BitmapRgb(HBITMAP bitmap, int width, int height);

// Where Windows keeps the programs it starts at sign-in, and a text value of the machine's
// registry ("" when there is none).
constexpr const wchar_t* RUN_KEY = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
std::wstring RegistryText(const std::wstring& key, const wchar_t* name);
// A file of the source tree (the shipped language files, the packages).
std::wstring SourceTreePath(const std::string& relative);
std::wstring ReadIni(const std::wstring& path, const wchar_t* section, const wchar_t* key);
// A text of a shipped language file ("ENU", ...), and a message of the English one.
std::wstring LanguageText(const char* code, const wchar_t* section, const wchar_t* key);
inline std::wstring EnglishMessage(const wchar_t* key)
{
    return LanguageText("ENU", L"MESSAGEBOX", key);
}
// A set-up control's text in a shipped language file, as the control shows it ("" when the
// file lacks it).
std::wstring ShippedText(const std::string& code, const TEXT_KEY& key);

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
    std::string ReadText(const std::string& name) const { return FileBytes(Path(name)); }
    bool Exists(const std::string& name) const { return FileExists(Path(name)); }
    std::wstring Path(const std::string& name) const;
    std::wstring Config(const wchar_t* section, const wchar_t* key) const
    {
        return ReadIni(Path("Config.ini"), section, key);
    }

    bool Start() { return Launch(Path("Tavelo.exe"), L"", m_process, m_strFolder.c_str()); }
    // Starts the program and waits for its main window and the described `key` to be 1
    // ("reader": the pen is tracked; "tray": the icon is shown), each within `milliseconds`.
    bool StartUntil(const char* key = "reader", DWORD milliseconds = RUN_START_MS);
    // The board's Config.ini and units, then StartUntil("reader").
    bool StartOn(const CCalibratedBoard& board);
    // Starts a run without settings: the first-run wizard once it and the main window show.
    HWND StartIntoWizard();
    bool IsRunning() const { return WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT; }
    // Waits for the program to end; its exit code, or STILL_ACTIVE after the time-out.
    DWORD WaitForExit(DWORD milliseconds) const;
    DWORD ProcessId() const { return m_process.dwProcessId; }

    // The hidden main window, once it exists (null after the time-out).
    HWND WaitForMainWindow(DWORD milliseconds);
    HWND MainWindow() const { return m_hMain; }
    // Posts a message to the main window as the shell or the system would.
    void PostToMain(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        PostMessageW(m_hMain, message, wParam, lParam);
    }
    // A command of the tray menu.
    void Command(int id) const { PostToMain(WM_COMMAND, WPARAM(id)); }
    // A tray command that opens a dialog, and the dialog holding that control once it shows.
    HWND OpenDialog(int command, int controlId) const
    {
        Command(command);
        return WaitForDialog(controlId, RUN_WINDOW_MS);
    }
    // Exit from the tray menu; true when the program then ended with code 0.
    bool Exit();
    // Opens the tray menu as a click on the icon does and saves it as "tray-menu"; the popup
    // is left open (null when none came).
    HWND OpenTrayMenu() const;
    // What the program reports of itself: tray, runstate, reader, calibrated, cameras, and the
    // tray menu's items ("item" lines: id, type flags in hex, default flag, text).
    std::map<std::string, std::string> DescribeState();
    std::vector<std::wstring> MenuItems() { return DescriptionLines(false); }
    bool WaitForState(const std::string& key, const std::string& expected, DWORD milliseconds);
    // The usual start of a run with a pen: the hook is ready in its own process, the program
    // starts and its reader runs, each within `milliseconds`.
    bool StartTracking(CHookProbe& probe, DWORD milliseconds);

    // A visible top-level window of the process of the given class, and a dialog of the
    // process (or of processId) holding a control with that id, waiting up to the time-out.
    HWND WaitForWindow(const wchar_t* className, DWORD milliseconds) const
    {
        return WaitForTopLevel(className, 0, ProcessId(), milliseconds);
    }
    HWND WaitForDialog(int controlId, DWORD milliseconds, DWORD processId = 0) const
    {
        return WaitForTopLevel(L"#32770", controlId, processId ? processId : ProcessId(),
                               milliseconds);
    }
    // The page a wizard shows once it holds that control (its one visible child dialog).
    static HWND WaitForPage(HWND wizard, int controlId, DWORD milliseconds = RUN_WINDOW_MS);
    // Goes on with Next from the page a wizard shows to the page holding that control, and
    // presses that page's button without waiting; the page, or null.
    static HWND PressPageButton(HWND wizard, int controlId);
    // A message box: the dialog with the box's text control.
    HWND WaitForMessageBox(DWORD milliseconds, DWORD processId = 0) const
    {
        return WaitForDialog(0xFFFF, milliseconds, processId);
    }
    static std::wstring MessageBoxText(HWND box) { return WindowText(GetDlgItem(box, 0xFFFF)); }
    // Answers the next message box (of the process, or of processId) with a button, after a
    // screenshot when `shot` names one; the box's text, or "(no box)".
    std::wstring AnswerBox(int button, const std::string& shot = {}, DWORD processId = 0) const;
    // Presses a button of a dialog the way a click does, and returns once it was handled;
    // ClickLater does not wait, for a button that opens a question the test then answers.
    static void Click(HWND dialog, int buttonId);
    static void ClickLater(HWND dialog, int buttonId);

    // Appends command lines to the simulated units' control file.
    void Control(const std::string& line) const { Control(std::vector<std::string>{line}); }
    void Control(const std::vector<std::string>& lines) const;

    // Saves the screen area of a window as build/test-logs/screens/<run name>-<shot>.png;
    // false when nothing could be saved. Shoot first gives the window a moment to paint.
    bool Screenshot(const std::string& shot, HWND window) const;
    bool Shoot(const std::string& shot, HWND window) const;
    // The screen's pixels in an area, three bytes each, rows top to bottom.
    static std::vector<std::uint8_t> CaptureRgb(const RECT& area);
    // How many pixels of the window's area on the screen the colour test takes.
    static int CountPixels(HWND window, bool (*colour)(int red, int green, int blue));

    // Asks a window of the program a registered question (wParam: the window to answer to)
    // and returns the text it sends back as WM_COPYDATA.
    static std::wstring Ask(HWND window, const wchar_t* question);

private:
    std::vector<std::wstring> DescriptionLines(bool values);

    std::string m_strName;
    std::wstring m_strFolder;
    PROCESS_INFORMATION m_process{};
    HWND m_hMain = nullptr;
};
