// logon_id.cpp - JOV_GetLogonId: the current user's logon name, asked of the network
// provider first and of the system's user-name query second, on every call.
#include <windows.h>

#include <winnetwk.h>

#include "JOVNames.h"
#include "JOVPlatform.h"
#include "names/names_internal.h"

namespace {

constexpr DWORD kWideNameChars = 255;
constexpr DWORD kNarrowNameBytes = 256;
constexpr wchar_t kUnknownUser[] = L"Unknown";

bool LogonNameWide(JOVString* name) {
  wchar_t buffer[kWideNameChars + 1] = {};  // one more than announced: always terminated
  DWORD size = kWideNameChars;
  auto networkUser = jov::names::ImplementedImport(&::WNetGetUserW);
  bool found = networkUser && networkUser(nullptr, buffer, &size) == NO_ERROR;
  if (!found) {
    size = kWideNameChars;
    found = ::GetUserNameW(buffer, &size) != FALSE;
  }
  if (found) name->assign(buffer);
  return found;
}

bool LogonNameNarrow(JOVString* name) {
  char buffer[kNarrowNameBytes + 1] = {};
  DWORD size = kNarrowNameBytes;
  auto networkUser = jov::names::ImplementedImport(&::WNetGetUserA);
  bool found = networkUser && networkUser(nullptr, buffer, &size) == NO_ERROR;
  if (!found) {
    size = kNarrowNameBytes;
    found = ::GetUserNameA(buffer, &size) != FALSE;
  }
  if (found) name->assign(buffer);  // converted under the current C locale
  return found;
}

}  // namespace

JOVString JOV_GetLogonId() {
  JOVString name;
  try {
    const bool found = JOV_IsWinNT() ? LogonNameWide(&name) : LogonNameNarrow(&name);
    if (!found) name.assign(kUnknownUser);
  } catch (...) {
    // The name is a courtesy (the trace header prints it); no failure to build it may
    // reach the caller.
    name.assign(kUnknownUser);
  }
  return name;
}
