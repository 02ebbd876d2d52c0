#include "update/win32/ModuleInfo.h"

#include "platform/win32/SystemLibraries.h"
#include "platform/win32/Win32Platform.h"
#include "update/UpdateUrl.h"

#include <windows.h>

#include <vector>

std::optional<VERSION_NUMBER> GetOwnFileVersion()
{
    const std::wstring path = OwnExecutablePath();
    DWORD ignored = 0;
    const DWORD size = path.empty() ? 0 : syscall::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return std::nullopt;
    std::vector<BYTE> block(size);
    if (!syscall::GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return std::nullopt;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!syscall::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) ||
        info == nullptr || infoSize < sizeof *info || info->dwSignature != 0xFEEF04BD)
        return std::nullopt;
    VERSION_NUMBER version;
    version.part = {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                    HIWORD(info->dwFileVersionLS), LOWORD(info->dwFileVersionLS)};
    return version;
}

std::wstring LoadResourceText(std::uint32_t id)
{
    const wchar_t* text = nullptr;
    const int length =
        LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<LPWSTR>(&text), 0);
    if (length <= 0 || text == nullptr)
        return std::wstring();
    return std::wstring(text, static_cast<std::size_t>(length));
}

std::wstring DefaultUpdateUrl()
{
    const std::wstring text = LoadResourceText(IDS_UPDATE_URL);
    return text.empty() ? std::wstring(DEFAULT_UPDATE_URL) : text;
}
