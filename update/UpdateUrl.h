#pragma once
// The default update server, written once. The resource script includes this file for its
// string table, so it holds only what the resource compiler understands besides the one
// constant it skips; the code loads the string by its id and falls back to the constant where
// the program's resources are not at hand (test programs, tools).

#define IDS_UPDATE_URL 110
#define UPDATE_URL_TEXT L"https://updates.tavelo-board.com/Tavelo/"

#ifndef RC_INVOKED
inline constexpr wchar_t DEFAULT_UPDATE_URL[] = UPDATE_URL_TEXT;
#endif
