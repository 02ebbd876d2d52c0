#pragma once
// How quickly a window answers, measured from outside as the system measures a hung window:
// a thread sends it WM_NULL (SendMessageTimeout) every few milliseconds and keeps the longest
// round trip, for as long as the object lives or until Stop.

#include <windows.h>

#include <atomic>
#include <thread>

class CWindowPulse
{
public:
    explicit CWindowPulse(HWND window);
    ~CWindowPulse();
    CWindowPulse(const CWindowPulse&) = delete;
    CWindowPulse& operator=(const CWindowPulse&) = delete;

    void Stop();
    // The longest round trip so far, in milliseconds, and the number of round trips.
    double LongestMs() const { return m_nLongestMicros.load() / 1000.0; }
    unsigned Samples() const { return m_nSamples.load(); }

private:
    void Run();

    HWND m_hWindow;
    std::atomic<bool> m_bStop{false};
    std::atomic<unsigned long long> m_nLongestMicros{0};
    std::atomic<unsigned> m_nSamples{0};
    std::thread m_thread;
};
