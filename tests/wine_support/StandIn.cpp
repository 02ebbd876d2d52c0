#include "tests/wine_support/StandIn.h"

#include "tests/wine_support/DriverRun.h"
#include "tests/wine_support/HookProbe.h"

CStandIn::CStandIn(const std::wstring& path) : m_strPath(path)
{
    for (std::size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1))
        CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    DeleteFileW((m_strPath + L".launch.txt").c_str());
    m_bCopied = CopyFileW((TestProgramDirectory() + L"\\record_launch.exe").c_str(), path.c_str(),
                          FALSE) != FALSE;
}

CStandIn::~CStandIn()
{
    DeleteFileW(m_strPath.c_str());
    DeleteFileW((m_strPath + L".launch.txt").c_str());
}

std::string CStandIn::WaitForRecord(DWORD milliseconds) const
{
    std::string text;
    const bool whole = WaitUntil(
        [&]
        {
            text = FileBytes(m_strPath + L".launch.txt");
            return text.find("end\n") != std::string::npos;
        },
        milliseconds);
    return whole ? text : std::string();
}

std::vector<std::string> CStandIn::WaitForArguments(DWORD milliseconds) const
{
    const std::string text = WaitForRecord(milliseconds);
    std::vector<std::string> args;
    for (std::size_t at = text.find("arg="); at != std::string::npos;
         at = text.find("arg=", at + 1))
        args.push_back(text.substr(at + 4, text.find('\n', at) - at - 4));
    return args;
}

namespace
{
const wchar_t* const MACHINE_CLASSES = L"Software\\Classes";

void SetMachineClass(const std::wstring& key, const std::wstring& value)
{
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, (std::wstring(MACHINE_CLASSES) + L"\\" + key).c_str(),
                    nullptr, REG_SZ, value.c_str(), DWORD((value.size() + 1) * sizeof(wchar_t)));
}
} // namespace

CHtmlOpenCommand::CHtmlOpenCommand(const std::wstring& command)
{
    m_strOldType = RegistryText(std::wstring(MACHINE_CLASSES) + L"\\.htm", nullptr);
    SetMachineClass(L".htm", L"TaveloTestPage");
    SetMachineClass(L"TaveloTestPage\\shell\\open\\command", command);
}

CHtmlOpenCommand::~CHtmlOpenCommand()
{
    const std::wstring classes = MACHINE_CLASSES;
    if (m_strOldType.empty())
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (classes + L"\\.htm").c_str());
    else
        SetMachineClass(L".htm", m_strOldType);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, (classes + L"\\TaveloTestPage").c_str());
}
