#include "update/win32/WebFetch.h"

#include "platform/win32/SystemLibraries.h"
#include "update/DownloadRule.h"

#include <windows.h>

#include <wininet.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace
{
// How often a waiting fetch looks whether it was asked to stop.
constexpr std::chrono::milliseconds FETCH_STOP_POLL{50};

class CInternetHandle
{
public:
    explicit CInternetHandle(HINTERNET handle) : m_hInternet(handle) {}
    ~CInternetHandle()
    {
        if (m_hInternet != nullptr)
            syscall::InternetCloseHandle(m_hInternet);
    }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;

    HINTERNET Get() const { return m_hInternet; }

private:
    HINTERNET m_hInternet;
};

void SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds)
{
    syscall::InternetSetOptionW(handle, option, &milliseconds, sizeof milliseconds);
}

void SetTimeouts(HINTERNET handle)
{
    SetTimeout(handle, INTERNET_OPTION_CONNECT_TIMEOUT, FETCH_CONNECT_TIMEOUT_MS);
    SetTimeout(handle, INTERNET_OPTION_SEND_TIMEOUT, FETCH_SEND_TIMEOUT_MS);
    SetTimeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, FETCH_RECEIVE_TIMEOUT_MS);
}

struct WEB_ADDRESS
{
    bool secure = false;
    std::wstring host;
    INTERNET_PORT port = 0;
    // Path and query, as the request names them.
    std::wstring object;
};

// The parts of an http or https address; nothing for any other.
std::optional<WEB_ADDRESS> CrackWebAddress(const std::wstring& url)
{
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = 1;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!syscall::InternetCrackUrlW(url.c_str(), DWORD(url.size()), 0, &parts) ||
        (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
        parts.lpszHostName == nullptr || parts.dwHostNameLength == 0)
        return std::nullopt;
    WEB_ADDRESS address;
    address.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    address.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    address.port = parts.nPort;
    if (parts.lpszUrlPath != nullptr)
        address.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo != nullptr)
        address.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (address.object.empty())
        address.object = L"/";
    return address;
}

// Only a plain success carries the file: an error page is not an update file.
bool StatusAllowsBody(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    return syscall::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                                   &status, &size, nullptr) &&
           status == HTTP_STATUS_OK;
}

std::optional<std::uint64_t> AnnouncedLength(HINTERNET request)
{
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof text[0];
    if (!syscall::HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return std::nullopt;
    return ParseContentLength(std::wstring_view(text, size / sizeof text[0]));
}

// What a fetch's worker and its caller share. The caller may stop waiting and leave; the
// worker then stops at its next chance and never touches anything but this.
struct FETCH_JOB
{
    std::atomic<bool> abandoned{false};
    std::mutex lock;
    std::condition_variable finishedSignal;
    bool finished = false;
    bool complete = false;
    std::string body;
};

// The request and the body, on the worker thread, into memory.
bool DownloadBody(const std::wstring& url, FETCH_JOB& job)
{
    const std::optional<WEB_ADDRESS> address = CrackWebAddress(url);
    if (!address)
        return false;
    const CInternetHandle session(syscall::InternetOpenW(
        L"Update search", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (session.Get() == nullptr)
        return false;
    SetTimeouts(session.Get());
    const CInternetHandle connection(syscall::InternetConnectW(session.Get(), address->host.c_str(),
                                                               address->port, nullptr, nullptr,
                                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (connection.Get() == nullptr)
        return false;
    SetTimeouts(connection.Get());

    // The request is opened and sent in two steps, rather than in one by InternetOpenUrl,
    // because some WinINet implementations (Wine's among them) do not hand a session's receive
    // time-out on to the request: a server that never answered held InternetOpenUrl until it
    // went away. Time-outs set on the request itself hold there.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_TRANSFER_ASCII;
    if (address->secure)
        flags |= INTERNET_FLAG_SECURE;
    const CInternetHandle request(syscall::HttpOpenRequestW(
        connection.Get(), L"GET", address->object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (request.Get() == nullptr)
        return false;
    SetTimeouts(request.Get());
    if (!syscall::HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0) ||
        !StatusAllowsBody(request.Get()))
        return false;

    CDownloadProgress progress(AnnouncedLength(request.Get()), DOWNLOAD_CAP_BYTES);
    std::vector<char> chunk(DOWNLOAD_CHUNK_BYTES);
    while (!progress.Finished())
    {
        DWORD received = 0;
        if (job.abandoned.load() ||
            !syscall::InternetReadFile(request.Get(), chunk.data(), DWORD(progress.NextReadSize()),
                                       &received))
        {
            progress.OnReadError();
            break;
        }
        job.body.append(chunk.data(), received);
        progress.OnData(received);
    }
    return progress.Complete();
}

void RunFetchJob(std::wstring url, std::shared_ptr<FETCH_JOB> job)
{
    const bool complete = DownloadBody(url, *job);
    std::lock_guard guard(job->lock);
    job->complete = complete;
    job->finished = true;
    job->finishedSignal.notify_all();
}

} // namespace

FETCH_RESULT FetchUrl(const std::wstring& url, std::string& body, const std::atomic<bool>* stop)
{
    // WinINet's own time-outs do not cover everything everywhere (name look-up; Wine ignores
    // the connect time-out, and a connection that is never established held a request for two
    // minutes), so the request runs on a worker and the caller waits only until the deadline
    // or until it is asked to stop. A worker left behind ends by itself and hands over nothing.
    auto job = std::make_shared<FETCH_JOB>();
    std::thread worker(RunFetchJob, url, job);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(FETCH_DEADLINE_MS);
    bool finished = false;
    bool complete = false;
    {
        std::unique_lock guard(job->lock);
        while (!finished && std::chrono::steady_clock::now() < deadline &&
               (stop == nullptr || !stop->load()))
        {
            finished =
                job->finishedSignal.wait_for(guard, FETCH_STOP_POLL, [&] { return job->finished; });
        }
        complete = finished && job->complete;
    }
    if (finished)
    {
        worker.join();
    }
    else
    {
        job->abandoned = true;
        worker.detach();
    }
    if (!complete)
        return FETCH_RESULT::REQUEST_FAILED;
    body = std::move(job->body);
    return FETCH_RESULT::FETCHED;
}
