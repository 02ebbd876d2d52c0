// Stands in for a program that the driver starts (the updater, the browser, ...): it records
// how it was started and ends at once. Copy it under the name the driver starts.
//
// The record goes beside the program: its own path with ".launch.txt" added. Records are
// appended, each as UTF-8 lines:
//   arg=<one line per argument after the program name, split as CommandLineToArgvW splits>
//   end
// A reader that sees "end" has the whole record.

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace
{
std::string Utf8(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string out(std::size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), size, nullptr,
                        nullptr);
    return out;
}
} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    // The stand-ins sit under paths of the usual length.
    wchar_t own[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, own, MAX_PATH);
    std::string record;
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; args != nullptr && i < count; ++i)
        record += "arg=" + Utf8(args[i]) + "\n";
    LocalFree(args);
    record += "end\n";

    FILE* out = _wfopen((std::wstring(own) + L".launch.txt").c_str(), L"ab");
    if (out == nullptr)
        return 1;
    const bool written = std::fwrite(record.data(), 1, record.size(), out) == record.size();
    return std::fclose(out) == 0 && written ? 0 : 1;
}
