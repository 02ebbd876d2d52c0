#pragma once
// The loopback HTTP test server (http_test_server.exe beside the test program) for the life of
// the object, serving a folder; see the program's own header for the paths it understands.

#include <windows.h>

#include <string>
#include <vector>

class CHttpTestServer
{
public:
    // root: the folder /files/ serves; work: a folder for its port file and request log.
    CHttpTestServer(const std::wstring& root, const std::wstring& work);
    ~CHttpTestServer();
    CHttpTestServer(const CHttpTestServer&) = delete;
    CHttpTestServer& operator=(const CHttpTestServer&) = delete;

    bool IsRunning() const { return m_nPort != 0; }
    std::wstring Url(const std::wstring& path) const;
    // Connections to this address are never established.
    std::wstring BlackHoleUrl(const std::wstring& path) const;
    // "<method> <target><TAB><user agent>" per request so far.
    std::vector<std::wstring> Requests() const;

private:
    std::wstring m_strWork;
    PROCESS_INFORMATION m_process{};
    int m_nPort = 0;
    int m_nBlackHolePort = 0;
};
