#include "update/win32/WebFetch.h"

#include "update/DownloadRule.h"

#include <windows.h>

#include <wininet.h>

#include <vector>

namespace
{
class CInternetHandle
{
public:
    explicit CInternetHandle(HINTERNET handle) : m_hInternet(handle) {}
    ~CInternetHandle()
    {
        if (m_hInternet != nullptr)
            InternetCloseHandle(m_hInternet);
    }
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;

    HINTERNET Get() const { return m_hInternet; }

private:
    HINTERNET m_hInternet;
};

void SetTimeout(HINTERNET handle, DWORD option, DWORD milliseconds)
{
    InternetSetOptionW(handle, option, &milliseconds, sizeof milliseconds);
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
    if (!InternetCrackUrlW(url.c_str(), DWORD(url.size()), 0, &parts) ||
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

// Only a plain success carries the file; an error page is not an update file. A request
// without a status (not HTTP) is taken as it comes.
bool StatusAllowsBody(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr))
        return true;
    return status == HTTP_STATUS_OK;
}

std::optional<std::uint64_t> AnnouncedLength(HINTERNET request)
{
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof text[0];
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr))
        return std::nullopt;
    return ParseContentLength(std::wstring_view(text, size / sizeof text[0]));
}

HANDLE CreateFreshFile(const std::wstring& path)
{
    DeleteFileW(path.c_str());
    return CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}
} // namespace

FETCH_RESULT FetchUrlToFile(const std::wstring& url, const std::wstring& localPath)
{
    const ULONGLONG start = GetTickCount64();
    const std::optional<WEB_ADDRESS> address = CrackWebAddress(url);
    if (!address)
        return FETCH_RESULT::REQUEST_FAILED;
    const CInternetHandle session(
        InternetOpenW(L"Update search", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (session.Get() == nullptr)
        return FETCH_RESULT::REQUEST_FAILED;
    SetTimeouts(session.Get());
    const CInternetHandle connection(InternetConnectW(session.Get(), address->host.c_str(),
                                                      address->port, nullptr, nullptr,
                                                      INTERNET_SERVICE_HTTP, 0, 0));
    if (connection.Get() == nullptr)
        return FETCH_RESULT::REQUEST_FAILED;
    SetTimeouts(connection.Get());

    // The request is opened and sent in two steps, rather than in one by InternetOpenUrl,
    // because some WinINet implementations (Wine's among them) do not hand a session's receive
    // time-out on to the request: a server that never answered held InternetOpenUrl until it
    // went away. Time-outs set on the request itself hold everywhere.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_TRANSFER_ASCII;
    if (address->secure)
        flags |= INTERNET_FLAG_SECURE;
    const CInternetHandle request(HttpOpenRequestW(
        connection.Get(), L"GET", address->object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (request.Get() == nullptr)
        return FETCH_RESULT::REQUEST_FAILED;
    SetTimeouts(request.Get());
    if (!HttpSendRequestW(request.Get(), nullptr, 0, nullptr, 0) ||
        !StatusAllowsBody(request.Get()))
        return FETCH_RESULT::REQUEST_FAILED;
    CDownloadProgress progress(AnnouncedLength(request.Get()), DOWNLOAD_CAP_BYTES);

    HANDLE file = CreateFreshFile(localPath);
    if (file == INVALID_HANDLE_VALUE)
        return FETCH_RESULT::FILE_FAILED;
    std::vector<char> chunk(DOWNLOAD_CHUNK_BYTES);
    while (!progress.Finished())
    {
        DWORD received = 0;
        if (GetTickCount64() - start > FETCH_BODY_DEADLINE_MS ||
            !InternetReadFile(request.Get(), chunk.data(), DWORD(progress.NextReadSize()),
                              &received))
        {
            progress.OnReadError();
            break;
        }
        DWORD written = 0;
        if (received > 0 &&
            (!WriteFile(file, chunk.data(), received, &written, nullptr) || written != received))
        {
            progress.OnReadError();
            break;
        }
        progress.OnData(received);
    }
    CloseHandle(file);
    if (progress.Complete())
        return FETCH_RESULT::FETCHED;
    DeleteFileW(localPath.c_str());
    return FETCH_RESULT::REQUEST_FAILED;
}

std::wstring TempFilePath(const std::wstring& name)
{
    wchar_t folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return std::wstring();
    std::wstring path(folder, length);
    if (path.back() != L'\\')
        path += L'\\';
    return path + name;
}
