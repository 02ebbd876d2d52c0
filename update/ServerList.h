#pragma once
// The two files of the update server, both in INI form. The server list names the
// alternative servers in the section of the user's language; the upgrade description names
// the newest version. The list's "Count" comes from the downloaded copy, read in memory, while
// the servers' names and addresses come from the copy installed beside the program.

#include <cstddef>
#include <string>

class CDriverState;
class CProfileText;

inline constexpr wchar_t SERVER_LIST_FILE[] = L"TaveloServer.inf";
inline constexpr wchar_t UPGRADE_FILE[] = L"TaveloUpgrade.inf";

// Characters read for "Count", terminating zero included: four count, so "12345" reads 1234.
constexpr std::size_t SERVER_COUNT_CHARS = 5;
// Characters read for one server name or address, terminating zero included.
constexpr std::size_t SERVER_TEXT_CHARS = 1024;
// Characters read for "NewVersion", terminating zero included. The value is read whole: one
// that fills the buffer has been cut and is not taken as a version.
constexpr std::size_t NEW_VERSION_CHARS = 1024;

// "Count" of the list's section for the language code, by the rules of _wtoi.
int ReadServerCount(const CProfileText& list, const std::wstring& langCode);

// Stores the list's count in the record and reads the servers it counts from the installed
// list "<module directory>\TaveloServer.inf": "Alias<n>" and "Server<n>" of the language's
// section into slots n - 1. The stored count never exceeds the record's slots, so every
// reader of the lists stays inside them; a count below 1 reads nothing, and any negative
// count is stored as -1, the mark of a list that could not be saved.
void AcceptServerList(CDriverState& state, int count);

// "NewVersion" of section "Update", or "" when it is absent or too long to be read whole.
std::wstring ReadNewVersion(const CProfileText& upgrade);

// The base address to check: the selected server when its number lies inside the list, the
// default server otherwise (no selection, no list, or a number beyond it).
std::wstring ChooseUpdateServer(const CDriverState& state, const std::wstring& defaultUrl);
