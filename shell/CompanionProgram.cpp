#include "shell/CompanionProgram.h"

#include "platform/Platform.h"

#include <cwctype>
#include <vector>

namespace
{
constexpr wchar_t APP_PATHS_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\";
constexpr wchar_t WINDOWS_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion";
// The machine's program folders: the one of the running program's kind first.
constexpr const wchar_t* PROGRAM_FILES_VALUES[] = {L"ProgramFilesDir", L"ProgramW6432Dir",
                                                   L"ProgramFilesDir (x86)"};

// A full path with a drive letter ("C:\..."), without quotes around it; "" for anything else.
std::wstring FullPathOrEmpty(std::wstring path)
{
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"')
        path = path.substr(1, path.size() - 2);
    const bool full = path.size() > 3 && path[1] == L':' && path[2] == L'\\' &&
                      path.find(L"\\..") == std::wstring::npos;
    return full ? path : std::wstring();
}

std::vector<std::wstring> ProgramFilesFolders()
{
    std::vector<std::wstring> folders;
    for (const wchar_t* value : PROGRAM_FILES_VALUES)
    {
        std::wstring folder = FullPathOrEmpty(
            Platform().ReadRegistryText(REGISTRY_ROOT::LOCAL_MACHINE, WINDOWS_KEY, value));
        while (!folder.empty() && folder.back() == L'\\')
            folder.pop_back();
        if (!folder.empty())
            folders.push_back(folder);
    }
    return folders;
}

bool SameText(std::wstring_view a, std::wstring_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (std::towlower(static_cast<std::wint_t>(a[i])) !=
            std::towlower(static_cast<std::wint_t>(b[i])))
            return false;
    }
    return true;
}

// Inside one of the machine's program folders, which only administrators can write.
bool IsUnderProgramFiles(const std::wstring& path, const std::vector<std::wstring>& folders)
{
    for (const std::wstring& folder : folders)
    {
        if (path.size() > folder.size() + 1 && path[folder.size()] == L'\\' &&
            SameText(std::wstring_view(path).substr(0, folder.size()), folder))
            return true;
    }
    return false;
}
} // namespace

std::wstring FindCompanionProgram()
{
    const std::vector<std::wstring> folders = ProgramFilesFolders();
    std::vector<std::wstring> candidates = {FullPathOrEmpty(Platform().ReadRegistryText(
        REGISTRY_ROOT::LOCAL_MACHINE, std::wstring(APP_PATHS_KEY) + COMPANION_PROGRAM, L""))};
    for (const std::wstring& folder : folders)
        candidates.push_back(folder + L"\\" + COMPANION_FOLDER + L"\\" + COMPANION_PROGRAM);
    for (const std::wstring& candidate : candidates)
    {
        if (IsUnderProgramFiles(candidate, folders) && Platform().FileExists(candidate))
            return candidate;
    }
    return std::wstring();
}

bool StartCompanionProgram()
{
    const std::wstring program = FindCompanionProgram();
    return !program.empty() && Platform().StartProgramAsUser(program, L"", SHOW_NORMAL);
}
