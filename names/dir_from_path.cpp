// dir_from_path.cpp - JOV_GetDirFromPath: the directory part of a path, found from the end
// of its root and its last separator.
#include "JOVNames.h"

namespace {

constexpr unsigned npos = 0xFFFFFFFFu;

// Where the root of the path ends: 2 behind a drive ("C:"), the backslash behind the share
// name of a network path ("\\srv\shr\") or its end ("\\srv\shr"), 0 for anything else.
// False for a network path that names a server only ("\\srv"), which has no root.
bool FindRootEnd(const JOVString& path, unsigned* rootEnd) {
  if (path[1] == L':') {
    *rootEnd = 2;
    return true;
  }
  if (path.compare(0u, 2u, L"\\\\", 2u) != 0) {
    *rootEnd = 0;
    return true;
  }
  const unsigned serverEnd = path.find(L'\\', 2u);
  if (serverEnd == npos) return false;
  const unsigned shareEnd = path.find(L'\\', serverEnd + 1);
  *rootEnd = shareEnd == npos ? path.length() : shareEnd;
  return true;
}

}  // namespace

long JOV_GetDirFromPath(const JOVString& path, JOVString& directory, int flag) {
  JOVString copy(path);  // path and directory may be the same object
  copy.Trim();
  JOVString part;
  unsigned rootEnd = 0;
  if (!copy.empty() && FindRootEnd(copy, &rootEnd)) {
    unsigned separator = copy.find_last_of(L'\\');
    if (separator == npos) separator = copy.find_last_of(L'/');
    if (separator != npos && separator >= rootEnd && separator < copy.length()) {
      // Without its separator "C:\" would turn into "C:" (the drive's current directory)
      // and "\" into "" (the current directory): roots keep it whatever flag says.
      const bool driveRoot = separator == 2 && copy[1] == L':';
      const bool keepSeparator = flag != 0 || separator == 0 || driveRoot;
      part = copy.substr(0u, keepSeparator ? separator + 1 : separator);
    }
  }
  directory.swap(part);
  return 0;
}
