// placeholder_entries_test.cpp - networking calls the platform exports only as placeholders
// (Wine's unimplemented functions end the process when called) are not called, and on a
// platform that is not Wine every call is made as imported.
#include <gtest/gtest.h>

#include <windows.h>

#include <winnetwk.h>

#include <cstring>
#include <string>

#include <JOVUtil.h>

#include "names/names_test_support.h"
#include "support/child_process.h"
#include "support/crash_exit.h"
#include "support/import_patch.h"

using names_test::Text;

namespace {

constexpr DWORD kWineStubException = 0x80000100;

bool OnWine() {
  return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

// An entry Wine exports without implementing it.
const void* WinePlaceholder() {
  HMODULE netapi = ::LoadLibraryW(L"netapi32.dll");
  return netapi ? reinterpret_cast<const void*>(::GetProcAddress(netapi, "NetDfsMove")) : nullptr;
}

FARPROC WINAPI HideWine(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && std::strcmp(name, "wine_get_version") == 0)
    return nullptr;
  return ::GetProcAddress(module, name);
}

}  // namespace

// A placeholder put where the library expects the provider's calls is skipped as a failed
// query, whatever call it stands in for.
JOV_CHILD_CASE(PlaceholdersInNetworkingSlotsAreSkipped) {
  const void* placeholder = WinePlaceholder();
  if (!placeholder) return 10;
  jovtest::ExitWithExceptionCodeOnCrash();
  {
    jovtest::ScopedImportPatch connection("WNetGetConnectionW", placeholder);
    if (Text(JOV_GetUNCPath(JOVString(L"Z:\\x"))) != L"Z:\\x") return 11;
  }
  wchar_t expected[256] = {};
  DWORD size = 255;
  if (!::GetUserNameW(expected, &size)) return 12;
  jovtest::ScopedImportPatch provider("WNetGetUserW", placeholder);
  if (Text(JOV_GetLogonId()) != expected) return 13;
  return 0;
}

TEST(PlaceholderEntries, PlaceholderInAnyNetworkingSlotCountsAsAFailedCall) {
  JOV_REQUIRE_CHILD_PROCESSES();
  if (!OnWine()) GTEST_SKIP() << "needs Wine's placeholders";
  const auto child = jovtest::RunChild("PlaceholdersInNetworkingSlotsAreSkipped");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
}

// With Wine hidden the library takes the platform for Windows and makes the DFS query; the
// placeholder then ends the child with Wine's exception code, which proves the call.
JOV_CHILD_CASE(DfsQueryMadeWhenNotOnWine) {
  jovtest::ExitWithExceptionCodeOnCrash();
  jovtest::ScopedImportPatch lookup("GetProcAddress", names_test::Entry(&HideWine));
  JOV_InternalPath(JOVString(L"\\\\dom\\root\\link\\file"), 1);
  return 0;
}

TEST(PlaceholderEntries, OutsideWineTheDfsQueryIsMade) {
  JOV_REQUIRE_CHILD_PROCESSES();
  if (!OnWine()) GTEST_SKIP() << "needs Wine's placeholder to observe the call";
  const auto child = jovtest::RunChild("DfsQueryMadeWhenNotOnWine");
  EXPECT_EQ(child.exitCode, kWineStubException) << child.output;
}
