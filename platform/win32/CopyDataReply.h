#pragma once
// The answer to a question another program asked by message, sent back as WM_COPYDATA to the
// window it named. Any program can name any window, one that never answers included: the
// send gives up after a short wait (and at once for a window Windows already counts as hung),
// and while it waits the sending thread still answers messages sent to its own windows.

#include <windows.h>

#include <string>

// How long an answer waits for the asking window.
constexpr UINT COPY_DATA_REPLY_TIMEOUT_MS = 200;

// False when the window is gone, did not take the answer in time, or hangs.
bool SendCopyDataReply(HWND hRequester, HWND hFrom, ULONG_PTR tag, const std::wstring& text);
