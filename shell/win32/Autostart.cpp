#include "shell/win32/Autostart.h"

#include "platform/win32/Win32Platform.h"

#include <string>

namespace
{
const wchar_t* const RUN_KEY = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
} // namespace

BOOL SetAutostart(BOOL enable, LPCWSTR valueName)
{
    if (enable && valueName == nullptr)
        return FALSE;
    const std::wstring path = OwnExecutablePath();
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, RUN_KEY, 0, enable ? KEY_WRITE : KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS)
        return FALSE;
    LSTATUS status;
    if (enable)
        status =
            RegSetValueExW(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>(path.size() * sizeof(wchar_t)));
    else
        status = RegDeleteValueW(key, valueName);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}
