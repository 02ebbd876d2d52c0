#pragma once
// The companion annotation program, started from the tray for the signed-in user. It is taken
// only from where a user without administrator rights cannot put a program: the path its
// installer registers in the machine-wide App Paths key, then its folder under the machine's
// Program Files, and either only when it lies inside one of the machine's program folders. A
// folder in the root of a drive, where any signed-in user may create one (and may write inside
// one an administrator created), is never used, and the program never runs with the driver's
// elevated rights.

#include <string>

inline constexpr wchar_t COMPANION_PROGRAM[] = L"Inkora.exe";
// The folder its installer uses, under Program Files.
inline constexpr wchar_t COMPANION_FOLDER[] = L"Corvane\\Inkora 4";

// The companion program's full path, or "" when it is installed in neither place.
std::wstring FindCompanionProgram();

// Starts it for the user through the desktop shell; a missing program gives no message.
bool StartCompanionProgram();
