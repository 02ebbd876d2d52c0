#pragma once
// One update file fetched over WinINet into memory. Every fetch is bounded: the
// connection, the sending of the request and each wait for data have time-outs of a few
// seconds, and the whole fetch (name look-up included) has a deadline, so neither a dead
// network nor a server that stalls or trickles can hold the check for long. A body counts only
// when it arrived whole and within the size cap (update/DownloadRule.h). The body stays in
// memory: the driver runs elevated, and a file in a folder the user can write could be
// swapped between its download and its reading.

#include <atomic>
#include <string>

enum class FETCH_RESULT
{
    FETCHED,
    // No connection, an error status, a time-out, a stop, or a body that was cut, too long or
    // broken.
    REQUEST_FAILED,
};

constexpr unsigned long FETCH_CONNECT_TIMEOUT_MS = 5000;
constexpr unsigned long FETCH_SEND_TIMEOUT_MS = 5000;
constexpr unsigned long FETCH_RECEIVE_TIMEOUT_MS = 5000;
// From the start of a fetch to its whole body.
constexpr unsigned long FETCH_DEADLINE_MS = 8000;

// Fetches the URL into memory; body is set only when the body arrived whole. When stop is
// given and becomes true, the fetch gives up within a few dozen milliseconds.
FETCH_RESULT FetchUrl(const std::wstring& url, std::string& body,
                      const std::atomic<bool>* stop = nullptr);
