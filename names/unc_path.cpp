// unc_path.cpp - JOV_GetUNCPath: the network name behind a mapped drive, with the rest of
// the path appended as it is.
#include <cwchar>

#include <windows.h>

#include <winnetwk.h>

#include "JOVNames.h"
#include "JOVPlatform.h"
#include "names/names_internal.h"

namespace {

constexpr DWORD kRemoteNameChars = 256;
// A remembered connection that is not connected now still names its share.
constexpr DWORD kErrorConnectionUnavailable = 1201;

bool AnswerNamesShare(DWORD answer) {
  return answer == NO_ERROR || answer == kErrorConnectionUnavailable;
}

// The remote name of a drive ("Z:"), or false when the drive has none to offer.
bool RemoteNameOfDrive(const JOVString& drive, JOVString* remote) {
  if (JOV_IsWinNT()) {
    auto getConnection = jov::names::ImplementedImport(&::WNetGetConnectionW);
    if (!getConnection) return false;
    wchar_t name[kRemoteNameChars] = {};
    DWORD size = kRemoteNameChars;
    if (!AnswerNamesShare(getConnection(drive.c_str(), name, &size))) return false;
    remote->assign(name, static_cast<unsigned>(::wcsnlen(name, kRemoteNameChars)));
    return true;
  }
  auto getConnection = jov::names::ImplementedImport(&::WNetGetConnectionA);
  if (!getConnection) return false;
  const jov::names::NarrowText narrowDrive(drive);
  char name[kRemoteNameChars] = {};
  DWORD size = kRemoteNameChars;
  if (!AnswerNamesShare(getConnection(narrowDrive.c_str(), name, &size))) return false;
  name[kRemoteNameChars - 1] = '\0';
  remote->assign(name);  // converted under the current C locale
  return true;
}

}  // namespace

JOVString JOV_GetUNCPath(const JOVString& path) {
  if (path[1] != L':') return path;  // also every path shorter than two characters
  JOVString result;
  result.reserve(kRemoteNameChars);
  if (!RemoteNameOfDrive(path.substr(0u, 2u), &result)) return path;
  // No separator goes in between: "Z:dir" becomes "\\srv\shrdir", as the drive-relative
  // rest is appended exactly as the caller wrote it.
  result.append(path, 2u, JOVString::npos);
  return result;
}
