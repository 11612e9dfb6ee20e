// export_table.h - reads JOVUtil32.dll's export table as a client's loader sees it.
#pragma once

#include <string>
#include <vector>

namespace jovtest {

// The demangled names of every export of the loaded JOVUtil32.dll, e.g.
// "JOV_MemoryGet(unsigned long, unsigned long, char const*, int)" or "JOVMemAllocType".
const std::vector<std::string>& ExportedNames();

// The entries of `expected` that no export starts with. An entry names a function with its
// opening parenthesis ("JOV_MemoryGet("), a member with its class ("JOVString::append("),
// or a global alone ("JOVMemAllocType", matched whole).
std::vector<std::string> MissingExports(const std::vector<std::string>& expected);

}  // namespace jovtest
