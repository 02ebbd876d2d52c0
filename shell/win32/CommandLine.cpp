#include "shell/win32/CommandLine.h"

#include <windows.h>

#include <shellapi.h>

std::vector<std::wstring> ProgramArgumentList()
{
    std::vector<std::wstring> list;
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (args == nullptr)
        return list;
    for (int i = 1; i < count; ++i)
        list.emplace_back(args[i]);
    LocalFree(args);
    return list;
}

std::wstring ProgramArguments()
{
    std::wstring joined;
    for (const std::wstring& arg : ProgramArgumentList())
        joined += (joined.empty() ? L"" : L" ") + arg;
    return joined;
}

std::wstring RecordPathArgument()
{
    const std::vector<std::wstring> list = ProgramArgumentList();
    for (std::size_t i = 0; i + 1 < list.size(); ++i)
    {
        const std::wstring& option = list[i];
        if (option.size() == 7 && (option[0] == L'/' || option[0] == L'-') &&
            CompareStringOrdinal(option.c_str() + 1, 6, L"record", 6, TRUE) == CSTR_EQUAL)
            return list[i + 1];
    }
    return L"";
}
