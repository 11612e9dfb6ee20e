// input_expand.cpp - the names a user gives, expanded: directories to their trace files,
// wildcards (which the Windows command line leaves to the program) to matching files.
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "analyzer/input/input_expand.h"
#include "trace/trace_format.h"

namespace jov::analyzer {
namespace {

namespace fs = std::filesystem;

bool WildcardMatch(const std::string& pattern, const std::string& name) {
  std::size_t p = 0, n = 0, star = std::string::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// The regular files of `dir` whose names match `pattern`, sorted.
std::vector<std::string> FilesMatching(const fs::path& dir, const std::string& pattern) {
  std::vector<std::string> found;
  std::error_code error;
  for (fs::directory_iterator it(dir.empty() ? fs::path(".") : dir, error), end;
       !error && it != end; it.increment(error)) {
    if (!it->is_regular_file(error)) continue;
    const std::string name = it->path().filename().string();
    if (WildcardMatch(pattern, name)) found.push_back((dir / name).string());
  }
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace

std::vector<std::string> ExpandInputs(const std::vector<std::string>& names,
                                      std::vector<std::string>& missing) {
  std::vector<std::string> files;
  for (const std::string& name : names) {
    const fs::path path(name);
    std::error_code error;
    if (fs::is_directory(path, error)) {
      const std::vector<std::string> found =
          FilesMatching(path, std::string("*") + jov::trace::format::kExtension);
      if (found.empty()) missing.push_back(name);
      files.insert(files.end(), found.begin(), found.end());
      continue;
    }
    const std::string last = path.filename().string();
    if (last.find_first_of("*?") != std::string::npos) {
      const std::vector<std::string> found = FilesMatching(path.parent_path(), last);
      if (found.empty()) missing.push_back(name);
      files.insert(files.end(), found.begin(), found.end());
      continue;
    }
    if (!fs::exists(path, error)) {
      missing.push_back(name);
      continue;
    }
    files.push_back(name);
  }
  return files;
}

}  // namespace jov::analyzer
