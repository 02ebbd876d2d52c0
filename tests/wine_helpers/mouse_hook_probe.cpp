// A second process for the Wine tests: installs a low-level mouse hook and writes one line per
// mouse event it sees, flushed at once, so the test can watch the file grow:
//   <message> <x> <y> <flags> <extra information> <microseconds>
// in hexadecimal for the message, flags and extra information; the time is the monotonic clock
// the simulated units stamp their packets with, when the hook saw the event. Usage:
//   mouse_hook_probe <output file> <ready event name> <stop event name>
// It signals the ready event once the hook is in place and ends when the stop event is set
// (or after ten minutes, so a failed test never leaves it behind).

#include <windows.h>

#include <chrono>
#include <cstdio>

namespace
{
FILE* g_pOutput = nullptr;

LRESULT CALLBACK MouseHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION && g_pOutput != nullptr)
    {
        const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
        const auto now = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
        std::fprintf(g_pOutput, "%x %ld %ld %lx %llx %llu\n", static_cast<unsigned>(wParam),
                     info->pt.x, info->pt.y, info->flags,
                     static_cast<unsigned long long>(info->dwExtraInfo),
                     static_cast<unsigned long long>(now.count()));
        std::fflush(g_pOutput);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4)
        return 2;
    g_pOutput = _wfopen(argv[1], L"w");
    if (g_pOutput == nullptr)
        return 3;
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[2]);
    HANDLE stop = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (ready == nullptr || stop == nullptr)
        return 4;
    HHOOK hook = SetWindowsHookExW(WH_MOUSE_LL, MouseHook, GetModuleHandleW(nullptr), 0);
    if (hook == nullptr)
        return 5;
    SetEvent(ready);

    for (const ULONGLONG deadline = GetTickCount64() + 600000; GetTickCount64() < deadline;)
    {
        // Wake at least every 100 ms and look at the queue: a thread that has not asked for a
        // message for seconds counts as hung, and its low-level hook is then skipped.
        if (MsgWaitForMultipleObjects(1, &stop, FALSE, 100, QS_ALLINPUT) == WAIT_OBJECT_0)
            break;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
    }
    UnhookWindowsHookEx(hook);
    std::fclose(g_pOutput);
    return 0;
}
