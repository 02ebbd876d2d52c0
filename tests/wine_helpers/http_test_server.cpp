// A small HTTP/1.1 server on 127.0.0.1 for the Wine tests. It listens on a port the system
// chooses, writes that port to a file once it accepts connections, logs every request, and
// ends by itself when its lifetime is over, so a failed test never leaves it behind.
//
//   http_test_server <root folder> <port file> <request log> <lifetime in seconds>
//
// The port file holds two lines: the port that serves, and a black-hole port whose queue of
// waiting connections the server keeps full, so a connection to it is never established (as
// with a host that drops every packet).
//
// The first segment of a request's path chooses what the server does:
//   /files/<path>         the file <root>\<path>, with its Content-Length
//   /no-length/<path>     the same file without a Content-Length; the body ends at the close
//   /lying-length/<path>  the same file announced 1000 bytes longer than it is, then the close
//   /huge/<anything>      100 MB without a Content-Length, for as long as the client reads
//   /silent/<anything>    reads the request and never answers until the client goes away
// Anything else, or a file that is not there, gets 404. Each request adds one line to the log:
//   <method> <target><TAB><User-Agent header>
// Every answer carries "Connection: close".

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwctype>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace
{
constexpr std::size_t HUGE_BODY_BYTES = 100u * 1024 * 1024;
constexpr std::size_t LYING_EXTRA_BYTES = 1000;

std::wstring g_strRoot;
std::wstring g_strLogPath;
std::mutex g_logLock;

bool SendText(SOCKET socket, const std::string& text)
{
    for (std::size_t at = 0; at < text.size();)
    {
        const int sent = send(socket, text.data() + at,
                              int(std::min<std::size_t>(text.size() - at, 1 << 20)), 0);
        if (sent <= 0)
            return false;
        at += std::size_t(sent);
    }
    return true;
}

// The request head, up to the blank line; "" when the client closed first.
std::string ReadRequestHead(SOCKET socket)
{
    std::string head;
    char chunk[1024];
    while (head.find("\r\n\r\n") == std::string::npos)
    {
        const int received = recv(socket, chunk, sizeof chunk, 0);
        if (received <= 0)
            return std::string();
        head.append(chunk, std::size_t(received));
    }
    return head;
}

// The User-Agent header's value, its name in any case.
std::string UserAgent(const std::string& head)
{
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const std::size_t at = lower.find("\r\nuser-agent:");
    if (at == std::string::npos)
        return std::string();
    const std::size_t start = head.find_first_not_of(' ', at + 13);
    return head.substr(start, head.find("\r\n", start) - start);
}

void LogRequest(const std::string& line)
{
    std::lock_guard guard(g_logLock);
    std::ofstream(g_strLogPath.c_str(), std::ios::binary | std::ios::app) << line;
}

// The file for the rest of a path; false when there is none.
bool ReadServedFile(const std::string& relative, std::string& body)
{
    std::wstring path = g_strRoot + L"\\";
    for (const char c : relative)
        path += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
    std::ifstream in(path.c_str(), std::ios::binary);
    body.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return bool(in);
}

std::string Head(const std::string& status, const std::string& length)
{
    std::string head = "HTTP/1.1 " + status + "\r\nContent-Type: text/plain\r\n";
    if (!length.empty())
        head += "Content-Length: " + length + "\r\n";
    return head + "Connection: close\r\n\r\n";
}

// Waits until the client closes its side (or the process ends).
void WaitForClientClose(SOCKET socket)
{
    char chunk[256];
    while (recv(socket, chunk, sizeof chunk, 0) > 0)
    {
    }
}

void Serve(SOCKET socket)
{
    const std::string head = ReadRequestHead(socket);
    const std::size_t methodEnd = head.find(' ');
    const std::size_t targetEnd = head.find(' ', methodEnd + 1);
    if (head.empty() || methodEnd == std::string::npos || targetEnd == std::string::npos)
    {
        closesocket(socket);
        return;
    }
    const std::string target = head.substr(methodEnd + 1, targetEnd - methodEnd - 1);
    LogRequest(head.substr(0, targetEnd) + "\t" + UserAgent(head) + "\n");

    const std::size_t segmentEnd = target.find('/', 1);
    const std::string behaviour = target.substr(1, segmentEnd - 1);
    const std::string rest = segmentEnd == std::string::npos ? "" : target.substr(segmentEnd + 1);
    // The ways a file is served: how much longer than it is its length is announced, or
    // without a length.
    const std::map<std::string, std::optional<std::size_t>> fileReplies = {
        {"files", 0}, {"no-length", std::nullopt}, {"lying-length", LYING_EXTRA_BYTES}};
    const auto reply = fileReplies.find(behaviour);
    std::string body;
    if (behaviour == "silent")
        WaitForClientClose(socket);
    else if (behaviour == "huge")
    {
        const std::string block(64 * 1024, 'x');
        bool open = SendText(socket, Head("200 OK", ""));
        for (std::size_t sent = 0; open && sent < HUGE_BODY_BYTES; sent += block.size())
            open = SendText(socket, block);
    }
    else if (reply != fileReplies.end() && ReadServedFile(rest, body))
        SendText(socket, Head("200 OK", reply->second ? std::to_string(body.size() + *reply->second)
                                                      : std::string()) +
                             body);
    else
        SendText(socket, Head("404 Not Found", "0"));
    // Let the client read everything before the connection goes.
    shutdown(socket, SD_SEND);
    const DWORD lingerMs = 2000;
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&lingerMs),
               sizeof lingerMs);
    WaitForClientClose(socket);
    closesocket(socket);
}

sockaddr_in Loopback(unsigned port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(u_short(port));
    return address;
}

unsigned ListenOnLoopback(SOCKET listener, int backlog)
{
    sockaddr_in address = Loopback(0);
    int addressSize = sizeof address;
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, backlog) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &addressSize) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// Connects to the port, never to be accepted, until a connection no longer completes: from
// then on the system drops new connection requests to it.
void FillBacklog(unsigned port)
{
    sockaddr_in address = Loopback(port);
    for (int i = 0; i < 64; ++i)
    {
        SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        u_long nonBlocking = 1;
        ioctlsocket(filler, FIONBIO, &nonBlocking);
        connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
        fd_set writable;
        FD_ZERO(&writable);
        FD_SET(filler, &writable);
        timeval timeout{0, 300000};
        if (select(0, nullptr, &writable, nullptr, &timeout) <= 0)
            return;
    }
}

bool WritePortFile(const std::wstring& path, unsigned port, unsigned blackHolePort)
{
    const std::wstring partial = path + L".partial";
    std::ofstream(partial.c_str(), std::ios::binary) << port << "\n" << blackHolePort << "\n";
    return MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}
} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 5)
        return 2;
    g_strRoot = argv[1];
    g_strLogPath = argv[3];
    const ULONGLONG deadline = GetTickCount64() + 1000ull * std::wcstoul(argv[4], nullptr, 10);

    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0)
        return 3;
    SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const unsigned port = ListenOnLoopback(listener, SOMAXCONN);
    SOCKET blackHole = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const unsigned blackHolePort = ListenOnLoopback(blackHole, 0);
    if (port == 0 || blackHolePort == 0)
        return 4;
    FillBacklog(blackHolePort);
    if (!WritePortFile(argv[2], port, blackHolePort))
        return 5;

    for (ULONGLONG now = GetTickCount64(); now < deadline; now = GetTickCount64())
    {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(listener, &readable);
        const ULONGLONG waitMs = std::min<ULONGLONG>(deadline - now, 500);
        timeval timeout{0, long(waitMs * 1000)};
        if (select(0, &readable, nullptr, nullptr, &timeout) <= 0)
            continue;
        const SOCKET client = accept(listener, nullptr, nullptr);
        if (client != INVALID_SOCKET)
            std::thread(Serve, client).detach();
    }
    // Connections still open end with the process.
    ExitProcess(0);
}
