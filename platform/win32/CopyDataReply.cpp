#include "platform/win32/CopyDataReply.h"

bool SendCopyDataReply(HWND hRequester, HWND hFrom, ULONG_PTR tag, const std::wstring& text)
{
    if (!IsWindow(hRequester))
        return false;
    COPYDATASTRUCT data{};
    data.dwData = tag;
    data.cbData = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(text.c_str());
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(hRequester, WM_COPYDATA, reinterpret_cast<WPARAM>(hFrom),
                               reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               COPY_DATA_REPLY_TIMEOUT_MS, &result) != 0;
}
