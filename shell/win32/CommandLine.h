#pragma once
// The program's own arguments. The driver takes one option: /record <file> records every byte
// the units send into that file.

#include <string>
#include <vector>

// The arguments after the program's name, split as Windows splits them.
std::vector<std::wstring> ProgramArgumentList();
// The same joined by blanks, for the log.
std::wstring ProgramArguments();
// The file named after /record (any case, also -record), or "" without one.
std::wstring RecordPathArgument();
