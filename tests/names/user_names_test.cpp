// user_names_test.cpp - the logon name (network provider first, system second, "Unknown"),
// the process-wide computer name, the narrow calls outside the NT family, and the
// networking placeholders of Wine that must not be called.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <winnetwk.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

using jovtest::ScopedImportPatch;

std::wstring Text(const JOVString& s) { return std::wstring(s.c_str(), s.length()); }
template <typename F>
const void* Entry(F f) { return reinterpret_cast<const void*>(f); }

std::vector<std::string> asked;  // each replaced query and the size it was offered
const wchar_t* computerName = nullptr;  // null: the query fails

DWORD WINAPI ProviderUser(LPCWSTR, LPWSTR name, LPDWORD size) {
  asked.push_back("provider " + std::to_string(*size));
  return lstrcpyW(name, L"netuser"), NO_ERROR;
}
DWORD WINAPI ProviderFails(LPCWSTR, LPWSTR, LPDWORD size) {
  asked.push_back("provider " + std::to_string(*size));
  return ERROR_NO_NETWORK;
}
BOOL WINAPI SystemUser(LPWSTR name, LPDWORD size) {
  asked.push_back("system " + std::to_string(*size));
  return lstrcpyW(name, L"sysuser"), TRUE;
}
BOOL WINAPI SystemFails(LPWSTR, LPDWORD) { return asked.push_back("system"), FALSE; }
BOOL WINAPI FakeComputerName(LPWSTR buffer, LPDWORD size) {
  asked.push_back("computer " + std::to_string(*size));
  ::Sleep(computerName ? 100 : 0);  // keeps the first caller inside while others arrive
  if (!computerName) return FALSE;
  lstrcpyW(buffer, computerName);
  return *size = lstrlenW(computerName), TRUE;
}

}  // namespace

TEST(UserNames, LogonIdAsksTheProviderThenTheSystem) {
  const struct {
    const void *provider, *system;
    const wchar_t* name;
    std::vector<std::string> asked;
  } rows[] = {
      {Entry(&ProviderUser), Entry(&SystemUser), L"netuser", {"provider 255"}},
      {Entry(&ProviderFails), Entry(&SystemUser), L"sysuser", {"provider 255", "system 255"}},
      {Entry(&ProviderFails), Entry(&SystemFails), L"Unknown", {"provider 255", "system"}},
  };
  for (const auto& row : rows) {
    ScopedImportPatch provider("WNetGetUserW", row.provider), system("GetUserNameW", row.system);
    asked.clear();
    EXPECT_EQ(Text(JOV_GetLogonId()), row.name);
    EXPECT_EQ(asked, row.asked);
  }
  // The real provider's answer, which only it can have given while the system's fails.
  wchar_t expected[256] = {};
  DWORD size = 255;
  auto getUser = reinterpret_cast<DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD)>(
      reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(L"mpr.dll"), "WNetGetUserW")));
  ASSERT_EQ(getUser(nullptr, expected, &size), static_cast<DWORD>(NO_ERROR));
  ScopedImportPatch system("GetUserNameW", Entry(&SystemFails));
  EXPECT_EQ(Text(JOV_GetLogonId()), expected);
}

FRESH_TEST(Names, ComputerNameIsAskedUntilKnownThenKeptAndFilledOnce) {
  ScopedImportPatch patch("GetComputerNameW", Entry(&FakeComputerName));
  EXPECT_EQ(Text(JOV_GetComputerName()) + Text(JOV_GetComputerName()), L"");  // asked again
  computerName = L"ALPHA";
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 6; ++t) threads.emplace_back([&wrong] { wrong += Text(JOV_GetComputerName()) != L"ALPHA"; });
  for (auto& thread : threads) thread.join();
  computerName = L"BETA";
  EXPECT_EQ(Text(JOV_GetComputerName()), L"ALPHA");  // kept, never asked again
  EXPECT_EQ(wrong, 0);
  EXPECT_EQ(asked, (std::vector<std::string>{"computer 16", "computer 16", "computer 16"}));
}

TEST(UserNames, ComputerNameIsTheSystemsAnswer) {
  wchar_t expected[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(::GetComputerNameW(expected, &size));
  EXPECT_EQ(Text(JOV_GetComputerName()), expected);
}

// ---- Outside the NT family: the narrow calls, with text converted under the C locale ----
namespace {

std::string narrowAsked;
BOOL WINAPI Windows98(LPOSVERSIONINFOW info) {
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  info->dwMajorVersion = 4;
  info->dwMinorVersion = 10;
  return TRUE;
}
DWORD WINAPI AttributesA(LPCSTR path) { return narrowAsked += std::string(path) + "|", FILE_ATTRIBUTE_DIRECTORY; }
DWORD WINAPI ConnectionA(LPCSTR drive, LPSTR remote, LPDWORD size) {
  narrowAsked += std::string(drive) + " " + std::to_string(*size) + "|";
  return lstrcpyA(remote, "\\\\srv\\caf\xe9"), NO_ERROR;
}
DWORD WINAPI ProviderA(LPCSTR, LPSTR name, LPDWORD size) {
  narrowAsked += "provider " + std::to_string(*size) + "|";
  return lstrcpyA(name, "jos\xe9"), NO_ERROR;
}
DWORD WINAPI ProviderFailsA(LPCSTR, LPSTR, LPDWORD) { return ERROR_NO_NETWORK; }
BOOL WINAPI SystemA(LPSTR name, LPDWORD size) {
  narrowAsked += "system " + std::to_string(*size) + "|";
  return lstrcpyA(name, "sysuser"), TRUE;
}
BOOL WINAPI ComputerA(LPSTR buffer, LPDWORD size) {
  narrowAsked += "computer " + std::to_string(*size) + "|";
  return lstrcpyA(buffer, "BOX\xc4"), *size = 4, TRUE;
}

}  // namespace

FRESH_TEST(Names, OutsideNtTheNarrowCallsGetAndGiveConvertedText) {
  ScopedImportPatch version("GetVersionExW", Entry(&Windows98));
  ScopedImportPatch attributes("GetFileAttributesA", Entry(&AttributesA)), connection("WNetGetConnectionA", Entry(&ConnectionA));
  ScopedImportPatch computer("GetComputerNameA", Entry(&ComputerA)), system("GetUserNameA", Entry(&SystemA));
  EXPECT_EQ(JOV_TestDirExists(JOVString(L"C:\\caf\xe9")) + JOV_TestDirExists(JOVString(L".")), 0);
  EXPECT_EQ(JOV_TestFileExists(JOVString(L".")), 183);
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"Q:\\d"))), L"\\\\srv\\caf\xe9\\d");
  for (const wchar_t* path : {L"C:\\x", L"", L"\\\\s\\x\\y\\z"}) EXPECT_EQ(Text(JOV_InternalPath(JOVString(path), 1)), path);
  {
    ScopedImportPatch provider("WNetGetUserA", Entry(&ProviderA));
    EXPECT_EQ(Text(JOV_GetLogonId()), L"jos\xe9");
  }
  ScopedImportPatch provider("WNetGetUserA", Entry(&ProviderFailsA));
  EXPECT_EQ(Text(JOV_GetLogonId()), L"sysuser");
  EXPECT_EQ(Text(JOV_GetComputerName()), L"BOX\xc4");
  EXPECT_EQ(narrowAsked, "C:\\caf\xe9|.|.|Q: 256|provider 256|system 256|computer 16|");
}

// ---- Wine's placeholders: exported, unimplemented, ending the process when called ----
namespace {

const void* WinePlaceholder() {  // an entry Wine exports without implementing it
  return Entry(::GetProcAddress(::LoadLibraryW(L"netapi32.dll"), "NetDfsMove"));
}
FARPROC WINAPI HideWine(HMODULE module, LPCSTR name) {
  if (reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && std::strcmp(name, "wine_get_version") == 0) return nullptr;
  return ::GetProcAddress(module, name);
}

}  // namespace

// A placeholder in any networking slot is skipped as a failed query.
FRESH_TEST(Names, PlaceholdersInNetworkingSlotsAreNotCalled) {
  ScopedImportPatch connection("WNetGetConnectionW", WinePlaceholder());
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"Z:\\x"))), L"Z:\\x");
  ScopedImportPatch provider("WNetGetUserW", WinePlaceholder()), system("GetUserNameW", Entry(&SystemUser));
  EXPECT_EQ(Text(JOV_GetLogonId()), L"sysuser");
}

// With Wine hidden the library takes the platform for Windows and makes the DFS query; the
// placeholder then ends the process with Wine's exception code, which proves the call.
TEST(DISABLED_ExitNames, DfsQueryIsMadeWhenNotOnWine) {
  ScopedImportPatch lookup("GetProcAddress", Entry(&HideWine));
  JOV_InternalPath(JOVString(L"\\\\dom\\root\\link\\file"), 1);
}

TEST(UserNames, OutsideWineTheDfsQueryIsMade) {
  if (sizeof(void*) == 4) GTEST_SKIP() << "child processes on the 32-bit lane";
  EXPECT_EQ(jovtest::RunAlone("DISABLED_ExitNames.DfsQueryIsMadeWhenNotOnWine").exitCode, 0x80000100u);
}
