#include "platform/win32/Win32Platform.h"

#include <vector>

namespace
{
// Longest value taken from the registry: the longest command line Windows accepts.
constexpr DWORD REGISTRY_TEXT_CHARS = 32767;

HKEY RootKey(REGISTRY_ROOT root)
{
    switch (root)
    {
    case REGISTRY_ROOT::LOCAL_MACHINE:
        return HKEY_LOCAL_MACHINE;
    case REGISTRY_ROOT::CURRENT_USER:
        return HKEY_CURRENT_USER;
    case REGISTRY_ROOT::CLASSES_ROOT:
        return HKEY_CLASSES_ROOT;
    }
    return nullptr;
}
} // namespace

std::wstring CWin32Platform::ReadRegistryText(REGISTRY_ROOT root, const std::wstring& key,
                                              const std::wstring& valueName)
{
    std::vector<wchar_t> text(REGISTRY_TEXT_CHARS + 1);
    DWORD size = DWORD(text.size() * sizeof(wchar_t));
    if (RegGetValueW(RootKey(root), key.c_str(), valueName.empty() ? nullptr : valueName.c_str(),
                     RRF_RT_REG_SZ, nullptr, text.data(), &size) != ERROR_SUCCESS)
        return std::wstring();
    text.back() = L'\0';
    return std::wstring(text.data());
}
