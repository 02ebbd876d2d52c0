#include "tests/wine_support/WindowPulse.h"

namespace
{
constexpr DWORD PULSE_INTERVAL_MS = 10;
// Long enough that a held window is measured rather than cut short.
constexpr UINT PULSE_TIMEOUT_MS = 30000;

unsigned long long NowMicros()
{
    LARGE_INTEGER counter;
    LARGE_INTEGER frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<unsigned long long>(counter.QuadPart) * 1000000ull /
           static_cast<unsigned long long>(frequency.QuadPart);
}
} // namespace

CWindowPulse::CWindowPulse(HWND window) : m_hWindow(window), m_thread([this] { Run(); }) {}

CWindowPulse::~CWindowPulse()
{
    Stop();
}

void CWindowPulse::Stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CWindowPulse::Run()
{
    while (!m_bStop.load() && IsWindow(m_hWindow))
    {
        const unsigned long long start = NowMicros();
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(m_hWindow, WM_NULL, 0, 0, SMTO_NORMAL, PULSE_TIMEOUT_MS, &result) ==
                0 &&
            !IsWindow(m_hWindow))
            break;
        const unsigned long long took = NowMicros() - start;
        if (took > m_nLongestMicros.load())
            m_nLongestMicros = took;
        ++m_nSamples;
        Sleep(PULSE_INTERVAL_MS);
    }
}
