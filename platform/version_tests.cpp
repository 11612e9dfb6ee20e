// version_tests.cpp - the Windows release tests. Each test asks GetVersionExW once per
// process into a cache of its own and answers from it afterwards.
#include <cstring>

#include "JOVPlatform.h"
#include "platform/once.h"

namespace {

// One per test: the basic version record (no service-pack fields), filled once.
struct VersionCache {
  OSVERSIONINFOW info{};
  jov::Once filled;
};

// A failed query leaves the record zeroed, whatever the call wrote before it failed, so
// every test answers 0 for the rest of the process.
void QueryVersion(OSVERSIONINFOW& info) {
  std::memset(&info, 0, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  if (!::GetVersionExW(&info)) {
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
  }
}

// The cached record, filled on the first call; a thread that comes meanwhile waits for it.
template <typename Rule>
int Answer(VersionCache& cache, Rule rule) {
  cache.filled.Run([&cache] { QueryVersion(cache.info); });
  const OSVERSIONINFOW& v = cache.info;
  return v.dwPlatformId == VER_PLATFORM_WIN32_NT && rule(v) ? 1 : 0;
}

VersionCache ntCache, win2kCache, xpCache, win2003Cache, vistaCache, win2008Cache, win7Cache;

// Release order on (major, minor); every field is unsigned.
bool AtLeast(const OSVERSIONINFOW& v, DWORD major, DWORD minor) {
  return v.dwMajorVersion > major || (v.dwMajorVersion == major && v.dwMinorVersion >= minor);
}

bool Exactly(const OSVERSIONINFOW& v, DWORD major, DWORD minor, DWORD fromBuild) {
  return v.dwMajorVersion == major && v.dwMinorVersion == minor && v.dwBuildNumber >= fromBuild;
}

}  // namespace

int JOV_IsWinNT() {
  return Answer(ntCache, [](const OSVERSIONINFOW&) { return true; });
}

int JOV_IsWin2K() {
  return Answer(win2kCache, [](const OSVERSIONINFOW& v) { return v.dwMajorVersion >= 5; });
}

int JOV_IsWinXP() {
  return Answer(xpCache, [](const OSVERSIONINFOW& v) { return AtLeast(v, 5, 1); });
}

int JOV_IsWin2003() {
  return Answer(win2003Cache, [](const OSVERSIONINFOW& v) { return AtLeast(v, 5, 2); });
}

int JOV_IsWinVista() {
  return Answer(vistaCache, [](const OSVERSIONINFOW& v) { return v.dwMajorVersion >= 6; });
}

// Exact: 6.0 from build 6001 (the server release shares the workstation's numbers, so the
// product type is not consulted); 6.1 and later answer 0.
int JOV_IsWin2008() {
  return Answer(win2008Cache, [](const OSVERSIONINFOW& v) { return Exactly(v, 6, 0, 6001); });
}

// Exact: 6.1 from build 7600; 6.2 and later answer 0.
int JOV_IsWin7Or2008R2() {
  return Answer(win7Cache, [](const OSVERSIONINFOW& v) { return Exactly(v, 6, 1, 7600); });
}
