#include "tests/wine_support/DriverRun.h"

#include "tests/support/PngWriter.h"
#include "tests/wine_support/HookProbe.h"

#include <fstream>
#include <sstream>

namespace
{
const wchar_t* const MAIN_CLASS = L"CTavelo_Angle78_NEW";

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

// Unix paths of the build are reached through Wine's Z: drive.
std::wstring WinePath(const std::string& unixPath)
{
    std::wstring path = L"Z:" + Widen(unixPath);
    for (wchar_t& c : path)
    {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

std::wstring ScratchRoot()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring root = std::wstring(temp) + L"tavelo-e2e";
    CreateDirectoryW(root.c_str(), nullptr);
    return root;
}

void RemoveTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE)
    {
        do
        {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
                RemoveTree(path);
            else
                DeleteFileW(path.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void CopyFolderFiles(const std::wstring& from, const std::wstring& to, const wchar_t* pattern)
{
    CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((from + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
    {
        CopyFileW((from + L"\\" + found.cFileName).c_str(), (to + L"\\" + found.cFileName).c_str(),
                  FALSE);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The answers of the program to a description request arrive here.
struct DESCRIPTION_WINDOW
{
    HWND hWnd = nullptr;
    std::wstring text;
    bool received = false;
};

DESCRIPTION_WINDOW* g_pDescription = nullptr;

LRESULT CALLBACK DescriptionProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA && g_pDescription != nullptr)
    {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        g_pDescription->text.assign(static_cast<const wchar_t*>(data->lpData),
                                    data->cbData / sizeof(wchar_t));
        while (!g_pDescription->text.empty() && g_pDescription->text.back() == L'\0')
            g_pDescription->text.pop_back();
        g_pDescription->received = true;
        return TRUE;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

std::wstring ClassName(HWND window)
{
    wchar_t name[128] = {};
    GetClassNameW(window, name, 127);
    return name;
}

struct WINDOW_SEARCH
{
    const wchar_t* className;
    DWORD processId;
    HWND found;
    // 0, or a control the window must hold.
    int controlId = 0;
};

BOOL CALLBACK FindVisibleWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WINDOW_SEARCH*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) &&
        ClassName(window) == search->className &&
        (search->controlId == 0 || GetDlgItem(window, search->controlId) != nullptr))
    {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
} // namespace

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
                     const std::wstring folder = ScratchRoot() + L"\\" + Widen(name);
                     RemoveTree(folder);
                     CreateDirectoryW(folder.c_str(), nullptr);
                     return folder;
                 }())
{
    CopyFileW((TestProgramDirectory() + L"\\Tavelo.exe").c_str(), Path("Tavelo.exe").c_str(),
              FALSE);
    CopyFolderFiles(SourceTreePath("resources/language"), Path("language"), L"*.lng");
}

CDriverRun::~CDriverRun()
{
    if (m_process.hProcess != nullptr)
    {
        if (IsRunning())
        {
            TerminateProcess(m_process.hProcess, 1);
            WaitForSingleObject(m_process.hProcess, 5000);
        }
        CloseHandle(m_process.hProcess);
        CloseHandle(m_process.hThread);
    }
}

std::wstring CDriverRun::Path(const std::string& name) const
{
    std::wstring path = m_strFolder + L"\\" + Widen(name);
    for (wchar_t& c : path)
    {
        if (c == L'/')
            c = L'\\';
    }
    return path;
}

void CDriverRun::WriteText(const std::string& name, const std::string& text) const
{
    std::ofstream file(Path(name).c_str(), std::ios::binary | std::ios::trunc);
    file << text;
}

std::string CDriverRun::ReadText(const std::string& name) const
{
    std::ifstream file(Path(name).c_str(), std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool CDriverRun::Exists(const std::string& name) const
{
    return GetFileAttributesW(Path(name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CDriverRun::Start(const std::vector<std::wstring>& extraEnvironment)
{
    for (const std::wstring& entry : extraEnvironment)
    {
        const auto equals = entry.find(L'=');
        SetEnvironmentVariableW(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str());
    }
    std::wstring command = L"\"" + Path("Tavelo.exe") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    const bool started =
        CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                       m_strFolder.c_str(), &startup, &m_process) != FALSE;
    for (const std::wstring& entry : extraEnvironment)
        SetEnvironmentVariableW(entry.substr(0, entry.find(L'=')).c_str(), nullptr);
    return started;
}

HANDLE CDriverRun::StartAnother() const
{
    std::wstring command = L"\"" + Path("Tavelo.exe") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        m_strFolder.c_str(), &startup, &process))
        return nullptr;
    CloseHandle(process.hThread);
    return process.hProcess;
}

bool CDriverRun::IsRunning() const
{
    return m_process.hProcess != nullptr &&
           WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
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

HWND CDriverRun::WaitForMainWindow(DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do
    {
        for (HWND window = FindWindowExW(nullptr, nullptr, MAIN_CLASS, L"Tavelo"); window;
             window = FindWindowExW(nullptr, window, MAIN_CLASS, L"Tavelo"))
        {
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == m_process.dwProcessId)
                return m_hMain = window;
        }
        Sleep(50);
    } while (GetTickCount64() < deadline && IsRunning());
    return nullptr;
}

void CDriverRun::PostToMain(UINT message, WPARAM wParam, LPARAM lParam) const
{
    PostMessageW(m_hMain, message, wParam, lParam);
}

std::wstring CDriverRun::RequestDescription()
{
    if (m_hMain == nullptr)
        return std::wstring();
    return Ask(m_hMain, L"Tavelo.DescribeState");
}

std::wstring CDriverRun::Ask(HWND window, const wchar_t* question)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DescriptionProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TaveloTestDescription";
    RegisterClassW(&windowClass);
    DESCRIPTION_WINDOW description;
    description.hWnd = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0,
                                       HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    g_pDescription = &description;
    const UINT request = RegisterWindowMessageW(question);
    PostMessageW(window, request, reinterpret_cast<WPARAM>(description.hWnd), 0);
    const ULONGLONG deadline = GetTickCount64() + 5000;
    while (!description.received && GetTickCount64() < deadline)
    {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT | QS_SENDMESSAGE);
    }
    g_pDescription = nullptr;
    DestroyWindow(description.hWnd);
    return description.text;
}

std::map<std::string, std::string> CDriverRun::DescribeState()
{
    std::map<std::string, std::string> values;
    std::wistringstream lines(RequestDescription());
    std::wstring line;
    while (std::getline(lines, line))
    {
        const auto equals = line.find(L'=');
        if (equals != std::wstring::npos && line.find(L' ') > equals)
            values[std::string(line.begin(), line.begin() + std::ptrdiff_t(equals))] =
                std::string(line.begin() + std::ptrdiff_t(equals) + 1, line.end());
    }
    return values;
}

std::vector<std::wstring> CDriverRun::MenuItems()
{
    std::vector<std::wstring> items;
    std::wistringstream lines(RequestDescription());
    std::wstring line;
    while (std::getline(lines, line))
    {
        const auto equals = line.find(L'=');
        if (equals == std::wstring::npos || line.find(L' ') < equals)
            items.push_back(line);
    }
    return items;
}

bool CDriverRun::WaitForState(const std::string& key, const std::string& expected,
                              DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do
    {
        if (DescribeState()[key] == expected)
            return true;
        Sleep(100);
    } while (GetTickCount64() < deadline && IsRunning());
    return false;
}

HWND CDriverRun::WaitForWindow(const wchar_t* className, DWORD milliseconds, DWORD processId) const
{
    WINDOW_SEARCH search{className, processId != 0 ? processId : m_process.dwProcessId, nullptr};
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do
    {
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

HWND CDriverRun::WaitForDialog(int controlId, DWORD milliseconds, DWORD processId) const
{
    WINDOW_SEARCH search{L"#32770", processId != 0 ? processId : m_process.dwProcessId, nullptr,
                         controlId};
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do
    {
        EnumWindows(FindVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found != nullptr)
            return search.found;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

HWND CDriverRun::WaitForMessageBox(DWORD milliseconds, DWORD processId) const
{
    // The box's text is its static control 0xFFFF; the set-up windows are dialogs too.
    return WaitForDialog(0xFFFF, milliseconds, processId);
}

HWND CDriverRun::ActivePage(HWND wizard)
{
    for (HWND child = FindWindowExW(wizard, nullptr, L"#32770", nullptr); child != nullptr;
         child = FindWindowExW(wizard, child, L"#32770", nullptr))
    {
        if (IsWindowVisible(child))
            return child;
    }
    return nullptr;
}

HWND CDriverRun::WaitForPage(HWND wizard, int controlId, DWORD milliseconds)
{
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    do
    {
        HWND page = ActivePage(wizard);
        if (page != nullptr && GetDlgItem(page, controlId) != nullptr)
            return page;
        Sleep(50);
    } while (GetTickCount64() < deadline);
    return nullptr;
}

std::wstring CDriverRun::MessageBoxText(HWND box)
{
    // The message box's text is its one static control with the id 0xFFFF.
    HWND text = GetDlgItem(box, 0xFFFF);
    wchar_t buffer[2048] = {};
    if (text != nullptr)
        GetWindowTextW(text, buffer, 2047);
    return buffer;
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

void CDriverRun::Control(const std::string& line) const
{
    std::ofstream file(Path("SimControl.txt").c_str(), std::ios::binary | std::ios::app);
    file << line << "\n";
}

void CDriverRun::Control(const std::vector<std::string>& lines) const
{
    std::ofstream file(Path("SimControl.txt").c_str(), std::ios::binary | std::ios::app);
    for (const std::string& line : lines)
        file << line << "\n";
}

bool CDriverRun::Screenshot(const std::string& shot, HWND window) const
{
    RECT area{};
    if (window == nullptr || !GetWindowRect(window, &area))
        return false;
    return Screenshot(shot, area);
}

std::vector<std::uint8_t> CDriverRun::CaptureRgb(const RECT& area)
{
    const int width = area.right - area.left;
    const int height = area.bottom - area.top;
    if (width <= 0 || height <= 0)
        return {};
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, previous);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> bgra(static_cast<std::size_t>(width) * std::size_t(height) * 4);
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), bgra.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::vector<std::uint8_t> rgb;
    rgb.reserve(bgra.size() / 4 * 3);
    for (std::size_t i = 0; i < bgra.size(); i += 4)
        rgb.insert(rgb.end(), {bgra[i + 2], bgra[i + 1], bgra[i]});
    return rgb;
}

bool CDriverRun::Screenshot(const std::string& shot, const RECT& area) const
{
    const std::vector<std::uint8_t> rgb = CaptureRgb(area);
    if (rgb.empty())
        return false;
    const std::string folder = std::string(TAVELO_SOURCE_DIR) + "/build/test-logs/screens";
    CreateDirectoryW(WinePath(std::string(TAVELO_SOURCE_DIR) + "/build/test-logs").c_str(),
                     nullptr);
    CreateDirectoryW(WinePath(folder).c_str(), nullptr);
    const std::wstring file = WinePath(folder + "/" + m_strName + "-" + shot + ".png");
    return WritePng(std::string(file.begin(), file.end()), area.right - area.left,
                    area.bottom - area.top, rgb);
}

bool CDriverRun::StartTracking(CHookProbe& probe, DWORD milliseconds)
{
    return probe.IsReady() && probe.WaitUntilDelivering(0) && Start() &&
           WaitForMainWindow(milliseconds) != nullptr && WaitForState("reader", "1", milliseconds);
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

namespace
{
const wchar_t* const MACHINE_CLASSES = L"Software\\Classes";

void SetMachineClass(const std::wstring& key, const std::wstring& value)
{
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(MACHINE_CLASSES) + L"\\" + key).c_str(),
                    nullptr, REG_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t)));
}
} // namespace

CHtmlOpenCommand::CHtmlOpenCommand(const std::wstring& command)
{
    wchar_t type[256] = {};
    DWORD size = sizeof type;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.htm", nullptr, RRF_RT_REG_SZ,
                     nullptr, type, &size) == ERROR_SUCCESS)
        m_strOldType = type;
    SetMachineClass(L".htm", L"TaveloTestPage");
    SetMachineClass(L"TaveloTestPage\\shell\\open\\command", command);
}

CHtmlOpenCommand::~CHtmlOpenCommand()
{
    const std::wstring classes = MACHINE_CLASSES;
    if (m_strOldType.empty())
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (classes + L"\\.htm").c_str());
    else
        SetMachineClass(L".htm", m_strOldType);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (classes + L"\\TaveloTestPage").c_str());
}
