// outside_nt_test.cpp - outside the NT family every path and name function uses the narrow
// system calls with text converted under the C locale, and long paths do not exist.
#include <gtest/gtest.h>

#include <string>

#include <JOVUtil.h>

#include "names/names_test_support.h"
#include "support/child_process.h"
#include "support/import_patch.h"

using names_test::Entry;
using names_test::Text;

namespace {

// Installed before the library's first version query, it reports Windows 98 (platform 1).
BOOL WINAPI VersionOfWindows98(LPOSVERSIONINFOW info) {
  info->dwMajorVersion = 4;
  info->dwMinorVersion = 10;
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  return TRUE;
}

std::string g_asked;  // the narrow text the last fake was given

DWORD WINAPI AttributesA(LPCSTR path) {
  g_asked = path;
  ::SetLastError(0);
  return FILE_ATTRIBUTE_DIRECTORY;
}
DWORD WINAPI ConnectionA(LPCSTR local, LPSTR remote, LPDWORD size) {
  g_asked = local;
  if (*size != 256) return ERROR_MORE_DATA;
  lstrcpyA(remote, "\\\\srv\\caf\xe9");
  return NO_ERROR;
}
DWORD WINAPI ProviderUserA(LPCSTR, LPSTR name, LPDWORD size) {
  if (*size != 256) return ERROR_MORE_DATA;
  lstrcpyA(name, "jos\xe9");
  return NO_ERROR;
}
DWORD WINAPI ProviderFailsA(LPCSTR, LPSTR, LPDWORD) { return ERROR_NO_NETWORK; }
BOOL WINAPI SystemUserA(LPSTR name, LPDWORD size) {
  if (*size != 256) return FALSE;
  lstrcpyA(name, "sysuser");
  return TRUE;
}
BOOL WINAPI SystemFailsA(LPSTR, LPDWORD) { return FALSE; }
BOOL WINAPI ComputerNameA(LPSTR buffer, LPDWORD size) {
  if (*size != 16) return FALSE;
  lstrcpyA(buffer, "BOX\xc4");
  *size = 4;
  return TRUE;
}

// Each failed check returns its own exit code.
int CheckNarrowCalls() {
  jovtest::ScopedImportPatch version("GetVersionExW", Entry(&VersionOfWindows98));
  if (JOV_IsWinNT()) return 10;

  names_test::ScratchTree tree;  // first the real narrow attribute query
  if (JOV_TestFileExists(tree.File().c_str()) != 0) return 11;
  if (JOV_TestFileExists(tree.Dir().c_str()) != 183) return 12;
  {
    jovtest::ScopedImportPatch attributes("GetFileAttributesA", Entry(&AttributesA));
    if (JOV_TestDirExists(JOVString(L"C:\\caf\u00e9")) != 0 || g_asked != "C:\\caf\xe9") return 13;
  }
  {
    jovtest::ScopedImportPatch connection("WNetGetConnectionA", Entry(&ConnectionA));
    if (Text(JOV_GetUNCPath(JOVString(L"Q:\\d"))) != L"\\\\srv\\caf\u00e9\\d") return 20;
    if (g_asked != "Q:") return 21;
  }
  for (const wchar_t* path : {L"C:\\x", L"", L"\\\\s\\x\\y\\z", L"rel"})
    if (Text(JOV_InternalPath(JOVString(path), 1)) != path) return 30;
  {
    jovtest::ScopedImportPatch provider("WNetGetUserA", Entry(&ProviderUserA));
    if (Text(JOV_GetLogonId()) != L"jos\u00e9") return 40;
  }
  jovtest::ScopedImportPatch provider("WNetGetUserA", Entry(&ProviderFailsA));
  {
    jovtest::ScopedImportPatch system("GetUserNameA", Entry(&SystemUserA));
    if (Text(JOV_GetLogonId()) != L"sysuser") return 41;
  }
  {
    jovtest::ScopedImportPatch system("GetUserNameA", Entry(&SystemFailsA));
    if (Text(JOV_GetLogonId()) != L"Unknown") return 42;
  }
  jovtest::ScopedImportPatch computer("GetComputerNameA", Entry(&ComputerNameA));
  if (Text(JOV_GetComputerName()) != L"BOX\u00c4") return 50;
  return 0;
}

}  // namespace

JOV_CHILD_CASE(NarrowCallsOutsideNt) { return CheckNarrowCalls(); }

TEST(OutsideNt, NarrowCallsGetAndGiveConvertedTextAndPathsStayAsTheyAre) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const auto child = jovtest::RunChild("NarrowCallsOutsideNt");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
}
