// input_expand.h - the names a user gives, expanded to files: directories to their trace
// files, wildcards (which the Windows command line leaves to the program) to matching files.
#pragma once

#include <string>
#include <vector>

namespace jov::analyzer {

// Expands what the user named: a directory to the "*.JOV_Log" files in it, a name with "*"
// or "?" in its last part to the matching files of its directory; other names stay as
// they are. Sorted by name within each expansion. `missing` receives names that match
// nothing.
std::vector<std::string> ExpandInputs(const std::vector<std::string>& names,
                                      std::vector<std::string>& missing);

}  // namespace jov::analyzer
