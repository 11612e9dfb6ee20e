// output_text.h - a whole output written at once, checked: to standard output, or to a file
// under a temporary name that is renamed over the target only when every byte was written.
#pragma once

#include <string>

namespace jov::analyzer::diff {

// Writes `text` to `path` ("" for standard output). False with the reason in `error` when any
// part could not be written; a file target is then left as it was.
bool WriteOutputText(const std::string& path, const std::string& text, std::string& error);

}  // namespace jov::analyzer::diff
