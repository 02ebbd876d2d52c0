#pragma once
// One update file fetched over WinINet into a local file. Every fetch is bounded: the
// connection, the sending of the request and each wait for data have time-outs of a few
// seconds, and the whole fetch (name look-up included) has a deadline, so neither a dead
// network nor a server that stalls or trickles can hold start-up for long. A body counts only
// when it arrived whole and within the size cap (update/DownloadRule.h); only then is the local
// file written.

#include <string>

enum class FETCH_RESULT
{
    FETCHED,
    // No connection, an error status, a time-out, or a body that was cut, too long or broken.
    REQUEST_FAILED,
    // The local file could not be created.
    FILE_FAILED,
};

constexpr unsigned long FETCH_CONNECT_TIMEOUT_MS = 5000;
constexpr unsigned long FETCH_SEND_TIMEOUT_MS = 5000;
constexpr unsigned long FETCH_RECEIVE_TIMEOUT_MS = 5000;
// From the start of a fetch to its whole body.
constexpr unsigned long FETCH_DEADLINE_MS = 8000;

// Fetches the URL and, once its body has arrived whole, writes it to localPath, replacing any
// file of that name (a link planted there is removed, never followed). A failed fetch leaves
// the local file as it was.
FETCH_RESULT FetchUrlToFile(const std::wstring& url, const std::wstring& localPath);

// "<the user's temporary folder>\<name>", or "" when the system names no temporary folder.
std::wstring TempFilePath(const std::wstring& name);
