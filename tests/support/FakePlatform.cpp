#include "tests/support/FakePlatform.h"

#include <filesystem>

#include <algorithm>
#include <cwctype>

CFakePlatform::CFakePlatform()
{
    SetSingleMonitor(1024, 768);
}

void CFakePlatform::SetMonitors(int count, int width, int height)
{
    std::lock_guard guard(m_lock);
    m_metrics[METRIC_CXSCREEN] = width;
    m_metrics[METRIC_CYSCREEN] = height;
    m_metrics[METRIC_CMONITORS] = count;
    m_nDisplayWidth = width;
    m_nDisplayHeight = height;
    m_monitors.clear();
    for (int n = 0; n < count; ++n)
        m_monitors.push_back({MonitorHandle(0x10001 + n), n * width, 0, (n + 1) * width, height,
                              L"\\\\.\\DISPLAY" + std::to_wstring(n + 1), n == 0});
}

void CFakePlatform::AddWindow(const std::string& className, WindowHandle handle, bool visible)
{
    std::lock_guard guard(m_lock);
    m_windowsByClass[className] = handle;
    m_windowVisible[handle] = visible;
}

std::vector<std::uint32_t> CFakePlatform::PostedToMain()
{
    std::lock_guard guard(m_lock);
    std::vector<std::uint32_t> messages;
    for (const RECORDED_MESSAGE& message : m_mainMessages)
        messages.push_back(message.message);
    return messages;
}

int CFakePlatform::ShowMessageBox(const std::wstring& text, std::uint32_t style)
{
    std::function<void()> whileUp;
    {
        std::lock_guard guard(m_lock);
        m_boxes.push_back({text, style, m_strBoxTitle});
        whileUp = m_onBox;
    }
    if (whileUp)
        whileUp();
    std::lock_guard guard(m_lock);
    return m_nBoxAnswer;
}

void CFakePlatform::SetMessageBoxTitle(const std::wstring& title)
{
    std::lock_guard guard(m_lock);
    m_strBoxTitle = title;
}

void CFakePlatform::Sleep(std::uint32_t milliseconds)
{
    std::function<void(std::uint32_t)> sleeper;
    {
        std::lock_guard guard(m_lock);
        m_sleeps.push_back(milliseconds);
        sleeper = m_sleeper;
        if (!sleeper)
            m_nVirtualMicros += std::uint64_t{milliseconds} * 1000;
    }
    if (sleeper)
        sleeper(milliseconds);
}

std::uint64_t CFakePlatform::MonotonicMicros()
{
    std::function<std::uint64_t()> clock;
    {
        std::lock_guard guard(m_lock);
        clock = m_clock;
        if (!clock)
            return m_nVirtualMicros;
    }
    return clock();
}

LibraryHandle CFakePlatform::LoadAppLibrary(const std::wstring& name)
{
    std::wstring lower = name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    std::lock_guard guard(m_lock);
    auto it = m_libraries.find(lower);
    if (it == m_libraries.end())
        return nullptr;
    return &it->second;
}

void* CFakePlatform::GetLibrarySymbol(LibraryHandle library, const char* name)
{
    if (library == nullptr)
        return nullptr;
    std::lock_guard guard(m_lock);
    auto& symbols = *static_cast<std::map<std::string, void*>*>(library);
    auto it = symbols.find(name);
    return it == symbols.end() ? nullptr : it->second;
}

int CFakePlatform::GetSystemMetric(int index)
{
    std::lock_guard guard(m_lock);
    auto it = m_metrics.find(index);
    return it == m_metrics.end() ? 0 : it->second;
}

void CFakePlatform::EnumerateMonitors(const std::function<bool(const MONITOR_DESC&)>& visit)
{
    std::vector<MONITOR_DESC> monitors;
    {
        std::lock_guard guard(m_lock);
        monitors = m_monitors;
    }
    for (const MONITOR_DESC& monitor : monitors)
    {
        if (!visit(monitor))
            break;
    }
}

bool CFakePlatform::GetCurrentDisplayMode(int& width, int& height)
{
    std::lock_guard guard(m_lock);
    width = m_nDisplayWidth;
    height = m_nDisplayHeight;
    return true;
}

void CFakePlatform::SendMouseInput(const MOUSE_RECORD& record)
{
    const std::uint64_t now = MonotonicMicros();
    std::lock_guard guard(m_lock);
    m_mouse.push_back(record);
    m_mouseMicros.push_back(now);
}

void CFakePlatform::DrainThreadMessages()
{
    std::lock_guard guard(m_lock);
    m_drainThreads.push_back(std::this_thread::get_id());
}

void CFakePlatform::SetCursorPosition(int x, int y)
{
    std::lock_guard guard(m_lock);
    m_cursorPositions.emplace_back(x, y);
}

int CFakePlatform::ShowMouseCursor(bool show)
{
    std::lock_guard guard(m_lock);
    m_cursorShows.push_back(show);
    return show ? 0 : -1;
}

WindowHandle CFakePlatform::FindWindowByClass(const char* className)
{
    std::lock_guard guard(m_lock);
    ++m_nFindWindowCalls;
    auto it = m_windowsByClass.find(className);
    return it == m_windowsByClass.end() ? 0 : it->second;
}

bool CFakePlatform::IsWindowShown(WindowHandle window)
{
    std::lock_guard guard(m_lock);
    auto it = m_windowVisible.find(window);
    return it != m_windowVisible.end() && it->second;
}

bool CFakePlatform::PostWindowMessage(WindowHandle window, std::uint32_t message,
                                      std::uintptr_t wParam, std::intptr_t lParam)
{
    const std::uint64_t now = MonotonicMicros();
    std::lock_guard guard(m_lock);
    m_windowMessages.push_back({window, message, wParam, lParam, now});
    return window != 0;
}

void CFakePlatform::PostMainMessage(std::uint32_t message, std::uintptr_t wParam,
                                    std::intptr_t lParam)
{
    const std::uint64_t now = MonotonicMicros();
    std::lock_guard guard(m_lock);
    m_mainMessages.push_back({0, message, wParam, lParam, now});
}

void CFakePlatform::QuitFromTray()
{
    std::lock_guard guard(m_lock);
    ++m_nQuits;
}

std::uint16_t CFakePlatform::GetSystemLanguageId()
{
    std::lock_guard guard(m_lock);
    return m_nLanguageId;
}

std::wstring CFakePlatform::GetModuleDirectory()
{
    std::lock_guard guard(m_lock);
    return m_strModuleDirectory;
}

bool CFakePlatform::FileExists(const std::wstring& path)
{
    return m_fileExists && m_fileExists(path);
}

std::wstring CFakePlatform::ReadProfileText(const std::wstring& path, const std::wstring& section,
                                            const std::wstring& key,
                                            const std::wstring& defaultValue,
                                            std::size_t bufferChars)
{
    if (m_profileReader)
        return m_profileReader(path, section, key, defaultValue, bufferChars);
    if (bufferChars == 0)
        return std::wstring();
    return defaultValue.substr(0, bufferChars - 1);
}

bool CFakePlatform::WriteProfileText(const std::wstring& path, const std::wstring& section,
                                     const std::wstring& key, const std::wstring& value)
{
    return m_profileWriter && m_profileWriter(path, section, key, value);
}

bool CFakePlatform::CopyFileOver(const std::wstring& from, const std::wstring& to)
{
    return m_fileCopier && m_fileCopier(from, to);
}

bool CFakePlatform::MoveFileOver(const std::wstring& from, const std::wstring& to)
{
    if (m_fileMover)
        return m_fileMover(from, to);
    // Real files, as the diagnostic log's tests write them.
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(from), std::filesystem::path(to), error);
    return !error;
}

bool CFakePlatform::RemoveFile(const std::wstring& path)
{
    return m_fileRemover && m_fileRemover(path);
}

std::wstring CFakePlatform::ReadRegistryText(REGISTRY_ROOT root, const std::wstring& key,
                                             const std::wstring& valueName)
{
    std::lock_guard guard(m_lock);
    const auto find = [&](REGISTRY_ROOT stored,
                          const std::wstring& storedKey) -> const std::wstring*
    {
        const auto found = m_registry.find({stored, storedKey, valueName});
        return found == m_registry.end() ? nullptr : &found->second;
    };
    const bool merged = root == REGISTRY_ROOT::CLASSES_ROOT;
    const std::wstring* value =
        merged ? find(REGISTRY_ROOT::CURRENT_USER, L"Software\\Classes\\" + key) : find(root, key);
    if (merged && value == nullptr)
        value = find(REGISTRY_ROOT::LOCAL_MACHINE, L"Software\\Classes\\" + key);
    return value == nullptr ? std::wstring() : *value;
}

bool CFakePlatform::StartProgramAsUser(const std::wstring& program, const std::wstring& parameters,
                                       int)
{
    std::lock_guard guard(m_lock);
    if (!m_bShellStarts)
        return false;
    m_userLaunches.emplace_back(program, parameters);
    return true;
}

namespace
{
std::vector<CPlatform*> g_previousPlatforms;
CPlatform* g_pCurrent = nullptr;
} // namespace

CScopedPlatform::CScopedPlatform(CPlatform& platform)
{
    g_previousPlatforms.push_back(g_pCurrent);
    g_pCurrent = &platform;
    SetPlatform(&platform);
}

CScopedPlatform::~CScopedPlatform()
{
    g_pCurrent = g_previousPlatforms.back();
    g_previousPlatforms.pop_back();
    SetPlatform(g_pCurrent);
}
