#include "tests/wine_support/DriverRun.h"

#include "calibration/win32/CalibrationReportView.h"
#include "core/Messages.h"
#include "resources/resource.h"
#include "setup_ui/SkinLayout.h"
#include "tests/wine_support/CalibratedBoard.h"
#include "tests/wine_support/HookProbe.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

namespace
{
const wchar_t* const MAIN_CLASS = L"CTavelo_Angle78_NEW";

std::wstring WindowsPath(std::wstring path)
{
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

// Unix paths of the build are reached through Wine's Z: drive.
std::wstring WinePath(const std::string& unixPath)
{
    return WindowsPath(L"Z:" + Widen(unixPath));
}

// The answer of the program to a question arrives here.
std::optional<std::wstring>* g_pAnswer = nullptr;

LRESULT CALLBACK AnswerProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA && g_pAnswer != nullptr)
    {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        std::wstring text(static_cast<const wchar_t*>(data->lpData),
                          data->cbData / sizeof(wchar_t));
        *g_pAnswer = text.substr(0, text.find_last_not_of(L'\0') + 1);
        return TRUE;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

// The first top-level window of a class that belongs to the process and is `wanted`.
HWND FindOwned(const wchar_t* className, DWORD processId, const std::function<bool(HWND)>& wanted)
{
    for (HWND window = FindWindowExW(nullptr, nullptr, className, nullptr); window != nullptr;
         window = FindWindowExW(nullptr, window, className, nullptr))
    {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId && wanted(window))
            return window;
    }
    return nullptr;
}

// The screen's pixels in an area, as a bitmap the caller deletes (null for an empty area).
HBITMAP CaptureBitmap(const RECT& area)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return bitmap;
}
} // namespace

HWND WaitForTopLevel(const wchar_t* className, int controlId, DWORD processId, DWORD milliseconds)
{
    HWND found = nullptr;
    WaitUntil(
        [&]
        {
            found = FindOwned(className, processId,
                              [controlId](HWND window) {
                                  return IsWindowVisible(window) &&
                                         (controlId == 0 || GetDlgItem(window, controlId));
                              });
            return found != nullptr;
        },
        milliseconds);
    return found;
}

bool Launch(const std::wstring& program, const std::wstring& arguments,
            PROCESS_INFORMATION& process, const wchar_t* folder)
{
    std::wstring command = L'"' + program + L'"' + (arguments.empty() ? L"" : L" ") + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder,
                          &startup, &process) != FALSE;
}

DWORD Finish(PROCESS_INFORMATION& process, DWORD milliseconds)
{
    WaitForSingleObject(process.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}

bool WaitUntil(const std::function<bool()>& done, DWORD milliseconds)
{
    for (const ULONGLONG deadline = GetTickCount64() + milliseconds; !done(); Sleep(50))
    {
        if (GetTickCount64() >= deadline)
            return false;
    }
    return true;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2047);
    return text;
}

RECT WindowRect(HWND window)
{
    RECT area{};
    GetWindowRect(window, &area);
    return area;
}

std::wstring RegistryText(const std::wstring& key, const wchar_t* name)
{
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof value;
    RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size);
    return value;
}

std::wstring SourceTreePath(const std::string& relative)
{
    return WinePath(std::string(TAVELO_SOURCE_DIR) + "/" + relative);
}

std::wstring ReadIni(const std::wstring& path, const wchar_t* section, const wchar_t* key)
{
    wchar_t value[1024] = {};
    GetPrivateProfileStringW(section, key, L"", value, 1024, path.c_str());
    return value;
}

std::wstring LanguageText(const char* code, const wchar_t* section, const wchar_t* key)
{
    return ReadIni(SourceTreePath(std::string("resources/language/") + code + ".lng"), section,
                   key);
}

std::wstring ShippedText(const std::string& code, const TEXT_KEY& key)
{
    const wchar_t* const sections[] = {L"", L"START WIZARD", L"CONFIGURATION", L"MESSAGEBOX"};
    const std::wstring text =
        LanguageText(code.c_str(), sections[key.group], TextKeyName(key).c_str());
    return text.empty() || !key.trailingSpace ? text : text + L" ";
}

CDriverRun::CDriverRun(const std::string& name, const std::wstring& folder)
    : m_strName(name), m_strFolder(folder)
{
    CopyFileW((TestProgramDirectory() + L"\\Ftd2xx.dll").c_str(), Path("Ftd2xx.dll").c_str(),
              FALSE);
    WriteText("SimScenario.txt", "units 1\nunit 0 minor 0x23\n");
    WriteText("SimControl.txt", "");
}

CDriverRun::CDriverRun(const std::string& name)
    : CDriverRun(name,
                 [&name]
                 {
                     wchar_t temp[MAX_PATH] = {};
                     GetTempPathW(MAX_PATH, temp);
                     const std::filesystem::path folder =
                         std::filesystem::path(temp) / "tavelo-e2e" / name;
                     std::error_code error;
                     std::filesystem::remove_all(folder, error);
                     std::filesystem::create_directories(folder / "language", error);
                     return folder.wstring();
                 }())
{
    CopyFileW((TestProgramDirectory() + L"\\Tavelo.exe").c_str(), Path("Tavelo.exe").c_str(),
              FALSE);
    std::error_code error;
    for (const auto& file :
         std::filesystem::directory_iterator(SourceTreePath("resources/language"), error))
    {
        if (file.path().extension() == ".lng")
            CopyFileW(file.path().c_str(),
                      Path("language/" + file.path().filename().string()).c_str(), FALSE);
    }
}

CDriverRun::~CDriverRun()
{
    if (m_process.hProcess == nullptr)
        return;
    if (IsRunning())
        TerminateProcess(m_process.hProcess, 1);
    Finish(m_process, 5000);
}

std::wstring CDriverRun::Path(const std::string& name) const
{
    return WindowsPath(m_strFolder + L"\\" + Widen(name));
}

void CDriverRun::WriteText(const std::string& name, const std::string& text) const
{
    std::ofstream file(Path(name).c_str(), std::ios::binary | std::ios::trunc);
    file << text;
}

std::string FileBytes(const std::wstring& path)
{
    std::ifstream file(path.c_str(), std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

bool CDriverRun::StartUntil(const char* key, DWORD milliseconds)
{
    return Start() && WaitForMainWindow(milliseconds) != nullptr &&
           WaitForState(key, "1", milliseconds);
}

bool CDriverRun::StartOn(const CCalibratedBoard& board)
{
    board.WriteConfig(*this);
    return board.IsCalibrated() && StartUntil("reader");
}

HWND CDriverRun::StartIntoWizard()
{
    HWND wizard = Start() ? WaitForDialog(WIZARD_NEXT, RUN_START_MS) : nullptr;
    return WaitForMainWindow(RUN_START_MS) != nullptr ? wizard : nullptr;
}

DWORD CDriverRun::WaitForExit(DWORD milliseconds) const
{
    if (m_process.hProcess == nullptr)
        return STILL_ACTIVE;
    WaitForSingleObject(m_process.hProcess, milliseconds);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_process.hProcess, &code);
    return code;
}

bool CDriverRun::Exit()
{
    Command(ID_TRAY_EXIT);
    return WaitForExit(RUN_WINDOW_MS) == 0;
}

HWND CDriverRun::WaitForMainWindow(DWORD milliseconds)
{
    WaitUntil(
        [this]
        {
            m_hMain = FindOwned(MAIN_CLASS, ProcessId(),
                                [](HWND window) { return WindowText(window) == L"Tavelo"; });
            return m_hMain != nullptr || !IsRunning();
        },
        milliseconds);
    return m_hMain;
}

HWND CDriverRun::OpenTrayMenu() const
{
    PostToMain(WM_TRAYNOTIFY, 131, WM_RBUTTONDOWN);
    HWND menu = WaitForWindow(L"#32768", 5000);
    Shoot("tray-menu", menu);
    return menu;
}

std::wstring CDriverRun::Ask(HWND window, const wchar_t* question)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = AnswerProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TaveloTestDescription";
    RegisterClassW(&windowClass);
    HWND receiver = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                    nullptr, windowClass.hInstance, nullptr);
    std::optional<std::wstring> answer;
    g_pAnswer = &answer;
    PostMessageW(window, RegisterWindowMessageW(question), reinterpret_cast<WPARAM>(receiver), 0);
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (!answer && GetTickCount64() < deadline)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT | QS_SENDMESSAGE);
    }
    g_pAnswer = nullptr;
    DestroyWindow(receiver);
    return answer.value_or(L"");
}

std::vector<std::wstring> CDriverRun::DescriptionLines(bool values)
{
    std::vector<std::wstring> lines;
    std::wistringstream text(m_hMain != nullptr ? Ask(m_hMain, L"Tavelo.DescribeState") : L"");
    for (std::wstring line; std::getline(text, line);)
    {
        const auto equals = line.find(L'=');
        if ((equals != std::wstring::npos && line.find(L' ') > equals) == values)
            lines.push_back(line);
    }
    return lines;
}

std::map<std::string, std::string> CDriverRun::DescribeState()
{
    std::map<std::string, std::string> values;
    for (const std::wstring& line : DescriptionLines(true))
    {
        const std::string narrow(line.begin(), line.end());
        values[narrow.substr(0, narrow.find('='))] = narrow.substr(narrow.find('=') + 1);
    }
    return values;
}

bool CDriverRun::WaitForState(const std::string& key, const std::string& expected,
                              DWORD milliseconds)
{
    bool matched = false;
    WaitUntil(
        [&]
        {
            matched = DescribeState()[key] == expected;
            return matched || !IsRunning();
        },
        milliseconds);
    return matched;
}

HWND CDriverRun::WaitForPage(HWND wizard, int controlId, DWORD milliseconds)
{
    HWND page = nullptr;
    const bool shown = WaitUntil(
        [&]
        {
            page = FindWindowExW(wizard, nullptr, L"#32770", nullptr);
            while (page != nullptr && !IsWindowVisible(page))
                page = FindWindowExW(wizard, page, L"#32770", nullptr);
            return page != nullptr && GetDlgItem(page, controlId) != nullptr;
        },
        milliseconds);
    return shown ? page : nullptr;
}

HWND CDriverRun::PressPageButton(HWND wizard, int controlId)
{
    HWND page = nullptr;
    for (int next = 0; next < 4 && (page = WaitForPage(wizard, controlId, 300)) == nullptr; ++next)
        Click(wizard, WIZARD_NEXT);
    if (page != nullptr)
        ClickLater(page, IDC_PAGE_BUTTON);
    return page;
}

std::wstring CDriverRun::AnswerBox(int button, const std::string& shot, DWORD processId) const
{
    HWND box = WaitForMessageBox(RUN_START_MS, processId);
    if (box == nullptr)
        return L"(no box)";
    const std::wstring text = MessageBoxText(box);
    if (!shot.empty())
        Shoot(shot, box);
    Click(box, button);
    return text;
}

void CDriverRun::Click(HWND dialog, int buttonId)
{
    if (HWND button = GetDlgItem(dialog, buttonId))
        SendMessageW(button, BM_CLICK, 0, 0);
}

void CDriverRun::ClickLater(HWND dialog, int buttonId)
{
    if (HWND button = GetDlgItem(dialog, buttonId))
        PostMessageW(button, BM_CLICK, 0, 0);
}

void CDriverRun::Control(const std::vector<std::string>& lines) const
{
    std::ofstream file(Path("SimControl.txt").c_str(), std::ios::binary | std::ios::app);
    for (const std::string& line : lines)
        file << line << "\n";
}

bool CDriverRun::Shoot(const std::string& shot, HWND window) const
{
    Sleep(400);
    return Screenshot(shot, window);
}

int CDriverRun::CountPixels(HWND window, bool (*colour)(int red, int green, int blue))
{
    const std::vector<std::uint8_t> rgb = CaptureRgb(WindowRect(window));
    int count = 0;
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        count += colour(rgb[i], rgb[i + 1], rgb[i + 2]) ? 1 : 0;
    return count;
}

std::vector<std::uint8_t> CDriverRun::CaptureRgb(const RECT& area)
{
    HBITMAP bitmap = CaptureBitmap(area);
    if (bitmap == nullptr)
        return {};
    std::vector<std::uint8_t> rgb =
        BitmapRgb(bitmap, area.right - area.left, area.bottom - area.top);
    DeleteObject(bitmap);
    return rgb;
}

std::vector<std::uint8_t> BitmapRgb(HBITMAP bitmap, int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * std::size_t(height) * 4);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), bgra.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    std::vector<std::uint8_t> rgb;
    rgb.reserve(bgra.size() / 4 * 3);
    for (std::size_t i = 0; i < bgra.size(); i += 4)
        rgb.insert(rgb.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
    return rgb;
}

bool CDriverRun::Screenshot(const std::string& shot, HWND window) const
{
    HBITMAP bitmap = window != nullptr ? CaptureBitmap(WindowRect(window)) : nullptr;
    if (bitmap == nullptr)
        return false;
    const std::string folder = std::string(TAVELO_SOURCE_DIR) + "/build/test-logs/screens";
    std::error_code error;
    std::filesystem::create_directories(WinePath(folder), error);
    const bool saved = WritePng(bitmap, WinePath(folder + "/" + m_strName + "-" + shot + ".png"));
    DeleteObject(bitmap);
    return saved;
}

bool CDriverRun::StartTracking(CHookProbe& probe, DWORD milliseconds)
{
    return probe.IsReady() && probe.WaitUntilDelivering(0) && StartUntil("reader", milliseconds);
}

void PressKey(WORD key)
{
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = key;
    keys[1] = keys[0];
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
}
