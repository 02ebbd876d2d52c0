#include "tests/wine_support/HttpTestServer.h"

#include "tests/wine_support/DriverRun.h"
#include "tests/wine_support/HookProbe.h"

#include <sstream>

CHttpTestServer::CHttpTestServer(const std::wstring& root, const std::wstring& work)
    : m_strWork(work)
{
    CreateDirectoryW(work.c_str(), nullptr);
    DeleteFileW((work + L"\\port.txt").c_str());
    if (!Launch(TestProgramDirectory() + L"\\http_test_server.exe",
                L'"' + root + L"\" \"" + work + L"\\port.txt\" \"" + work + L"\\requests.log\" 300",
                m_process))
        return;
    for (int i = 0; i < 200 && m_nPort == 0; ++i)
    {
        Sleep(50);
        std::istringstream(FileBytes(work + L"\\port.txt")) >> m_nPort >> m_nBlackHolePort;
    }
}

CHttpTestServer::~CHttpTestServer()
{
    if (m_process.hProcess == nullptr)
        return;
    TerminateProcess(m_process.hProcess, 0);
    Finish(m_process, 10000);
}

std::wstring CHttpTestServer::Url(const std::wstring& path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_nPort) + path;
}

std::wstring CHttpTestServer::BlackHoleUrl(const std::wstring& path) const
{
    return L"http://127.0.0.1:" + std::to_wstring(m_nBlackHolePort) + path;
}

std::vector<std::wstring> CHttpTestServer::Requests() const
{
    std::vector<std::wstring> lines;
    std::istringstream log(FileBytes(m_strWork + L"\\requests.log"));
    for (std::string line; std::getline(log, line);)
        lines.push_back(std::wstring(line.begin(), line.end()));
    return lines;
}
