#pragma once
// A second process with a low-level mouse hook (mouse_hook_probe.exe beside the test program)
// that writes one line per mouse event it sees: what another program on the desktop would get
// from the driver's injected input.

#include <windows.h>

#include <string>
#include <vector>

struct HOOKED_EVENT
{
    unsigned message = 0;
    long x = 0;
    long y = 0;
    unsigned long flags = 0;
    unsigned long long extraInfo = 0;
    // When the hook saw it, on the simulated units' monotonic clock.
    unsigned long long micros = 0;
};

// The folder of the running test program.
std::wstring TestProgramDirectory();

// Runs the probe for the life of the object.
class CHookProbe
{
public:
    CHookProbe();
    ~CHookProbe();
    CHookProbe(const CHookProbe&) = delete;
    CHookProbe& operator=(const CHookProbe&) = delete;

    bool IsReady() const { return m_bReady; }
    // Events written so far.
    std::vector<HOOKED_EVENT> Events() const;
    std::size_t Count() const { return Events().size(); }
    // Moves the pointer with the given mark until the probe reports it, so that a fresh Wine
    // session is known to deliver to the hook. False when it never did.
    bool WaitUntilDelivering(std::uintptr_t extraInfo);

private:
    std::wstring m_strOutput;
    HANDLE m_hReady = nullptr;
    HANDLE m_hStop = nullptr;
    PROCESS_INFORMATION m_process{};
    bool m_bStarted = false;
    bool m_bReady = false;
};
