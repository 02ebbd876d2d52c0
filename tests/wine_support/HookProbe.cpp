#include "tests/wine_support/HookProbe.h"

#include "tests/wine_support/DriverRun.h"

#include <cstdio>

std::vector<HOOKED_EVENT> CHookProbe::Events() const
{
    std::vector<HOOKED_EVENT> events;
    FILE* file = _wfopen(m_strOutput.c_str(), L"r");
    if (file == nullptr)
        return events;
    HOOKED_EVENT event;
    while (std::fscanf(file, "%x %ld %ld %lx %llx %llu", &event.message, &event.x, &event.y,
                       &event.flags, &event.extraInfo, &event.micros) == 6)
        events.push_back(event);
    std::fclose(file);
    return events;
}

std::wstring TestProgramDirectory()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring directory(path);
    return directory.substr(0, directory.find_last_of(L"\\/"));
}

CHookProbe::CHookProbe()
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring suffix =
        std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount64());
    m_strOutput = std::wstring(temp) + L"tavelo_hook_" + suffix + L".txt";
    const std::wstring readyName = L"TaveloProbeReady" + suffix;
    const std::wstring stopName = L"TaveloProbeStop" + suffix;
    m_hReady = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
    m_hStop = CreateEventW(nullptr, TRUE, FALSE, stopName.c_str());
    m_bStarted = Launch(TestProgramDirectory() + L"\\mouse_hook_probe.exe",
                        L'"' + m_strOutput + L"\" " + readyName + L" " + stopName, m_process);
    if (m_bStarted)
        m_bReady = WaitForSingleObject(m_hReady, 20000) == WAIT_OBJECT_0;
}

CHookProbe::~CHookProbe()
{
    SetEvent(m_hStop);
    if (m_bStarted)
        Finish(m_process, 10000);
    CloseHandle(m_hReady);
    CloseHandle(m_hStop);
    DeleteFileW(m_strOutput.c_str());
}

bool CHookProbe::WaitUntilDelivering(std::uintptr_t extraInfo)
{
    for (int attempt = 0; attempt < 200; ++attempt)
    {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dx = 32768;
        input.mi.dy = 32768;
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        input.mi.dwExtraInfo = extraInfo;
        SendInput(1, &input, sizeof input);
        ::Sleep(50);
        if (Count() > 0)
            return true;
    }
    return false;
}
