// user_names_test.cpp - the logon name (provider first, system second, "Unknown") and the
// process-wide computer name, which is retried after a failure and kept after a success.
#include <gtest/gtest.h>

#include <windows.h>

#include <winnetwk.h>

#include <string>

#include <JOVUtil.h>

#include "names/names_test_support.h"
#include "support/child_process.h"
#include "support/import_patch.h"

using names_test::Text;

namespace {

int g_providerCalls = 0;
int g_systemCalls = 0;
DWORD g_providerSize = 0;
DWORD g_systemSize = 0;

DWORD WINAPI ProviderKnowsUser(LPCWSTR, LPWSTR name, LPDWORD size) {
  ++g_providerCalls;
  g_providerSize = *size;
  lstrcpyW(name, L"netuser");
  return NO_ERROR;
}
DWORD WINAPI ProviderFails(LPCWSTR, LPWSTR, LPDWORD size) {
  ++g_providerCalls;
  g_providerSize = *size;
  return ERROR_NO_NETWORK;
}
BOOL WINAPI SystemKnowsUser(LPWSTR name, LPDWORD size) {
  ++g_systemCalls;
  g_systemSize = *size;
  lstrcpyW(name, L"sysuser");
  *size = 8;
  return TRUE;
}
BOOL WINAPI SystemFails(LPWSTR, LPDWORD) {
  ++g_systemCalls;
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

class LogonId : public testing::Test {
 protected:
  void SetUp() override { g_providerCalls = g_systemCalls = 0; g_providerSize = g_systemSize = 0; }
};

}  // namespace

TEST_F(LogonId, ProvidersNameWinsOverTheSystemsName) {
  jovtest::ScopedImportPatch provider("WNetGetUserW", names_test::Entry(&ProviderKnowsUser));
  jovtest::ScopedImportPatch system("GetUserNameW", names_test::Entry(&SystemKnowsUser));
  EXPECT_EQ(Text(JOV_GetLogonId()), L"netuser");
  EXPECT_EQ(g_providerSize, 255u);
  EXPECT_EQ(g_systemCalls, 0);
}

TEST_F(LogonId, SystemsNameWhenTheProviderFails) {
  jovtest::ScopedImportPatch provider("WNetGetUserW", names_test::Entry(&ProviderFails));
  jovtest::ScopedImportPatch system("GetUserNameW", names_test::Entry(&SystemKnowsUser));
  EXPECT_EQ(Text(JOV_GetLogonId()), L"sysuser");
  EXPECT_EQ(g_systemSize, 255u);
}

TEST_F(LogonId, BothQueriesFailingGiveUnknown) {
  jovtest::ScopedImportPatch provider("WNetGetUserW", names_test::Entry(&ProviderFails));
  jovtest::ScopedImportPatch system("GetUserNameW", names_test::Entry(&SystemFails));
  const JOVString name = JOV_GetLogonId();
  EXPECT_EQ(Text(name), L"Unknown");
  EXPECT_EQ(name.length(), 7u);
  EXPECT_EQ(g_providerCalls, 1);
  EXPECT_EQ(g_systemCalls, 1);
}

TEST(LogonIdOnThisSystem, ProvidersAnswerIsTaken) {
  // Asked directly of the provider library, which the test executable does not import.
  using GetUserFn = DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD);
  auto getUser = reinterpret_cast<GetUserFn>(
      reinterpret_cast<void*>(::GetProcAddress(::LoadLibraryW(L"mpr.dll"), "WNetGetUserW")));
  ASSERT_NE(getUser, nullptr);
  wchar_t expected[256] = {};
  DWORD size = 255;
  ASSERT_EQ(getUser(nullptr, expected, &size), static_cast<DWORD>(NO_ERROR));
  // With the system's query failing, only the real provider can have named the user.
  jovtest::ScopedImportPatch system("GetUserNameW", names_test::Entry(&SystemFails));
  EXPECT_EQ(Text(JOV_GetLogonId()), expected);
}

namespace {

int g_computerCalls = 0;
bool g_computerFails = true;
const wchar_t* g_computerName = L"ALPHA";

BOOL WINAPI FakeComputerName(LPWSTR buffer, LPDWORD size) {
  ++g_computerCalls;
  if (*size != 16) return FALSE;
  if (g_computerFails) {
    ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  lstrcpyW(buffer, g_computerName);
  *size = lstrlenW(g_computerName);
  return TRUE;
}

}  // namespace

JOV_CHILD_CASE(ComputerNameRetriedUntilKnownThenKept) {
  jovtest::ScopedImportPatch patch("GetComputerNameW", names_test::Entry(&FakeComputerName));
  if (!JOV_GetComputerName().empty()) return 10;  // the failure gives an empty name
  if (!JOV_GetComputerName().empty()) return 11;
  if (g_computerCalls != 2) return 12;             // ... and is asked again
  g_computerFails = false;
  if (Text(JOV_GetComputerName()) != L"ALPHA") return 13;
  g_computerName = L"BETA";
  g_computerFails = true;
  if (Text(JOV_GetComputerName()) != L"ALPHA") return 14;  // kept, never asked again
  if (g_computerCalls != 3) return 15;
  return 0;
}

TEST(ComputerName, FailedQueryIsRetriedAndSuccessfulOneKept) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const auto child = jovtest::RunChild("ComputerNameRetriedUntilKnownThenKept");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
}

namespace {

volatile LONG g_slowCalls = 0;

BOOL WINAPI SlowComputerName(LPWSTR buffer, LPDWORD size) {
  ::InterlockedIncrement(&g_slowCalls);
  ::Sleep(100);  // keeps the first caller inside while the others arrive
  lstrcpyW(buffer, L"GAMMA");
  *size = 5;
  return TRUE;
}

DWORD WINAPI CallComputerName(LPVOID result) {
  *static_cast<std::wstring*>(result) = Text(JOV_GetComputerName());
  return 0;
}

}  // namespace

JOV_CHILD_CASE(ComputerNameFilledOnceUnderConcurrentFirstCalls) {
  jovtest::ScopedImportPatch patch("GetComputerNameW", names_test::Entry(&SlowComputerName));
  constexpr int kThreads = 6;
  std::wstring results[kThreads];
  HANDLE threads[kThreads];
  for (int i = 0; i < kThreads; ++i)
    threads[i] = ::CreateThread(nullptr, 0, &CallComputerName, &results[i], 0, nullptr);
  ::WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
  for (HANDLE thread : threads) ::CloseHandle(thread);
  for (const std::wstring& result : results)
    if (result != L"GAMMA") return 10;
  return g_slowCalls == 1 ? 0 : 11;
}

TEST(ComputerName, ConcurrentFirstCallsAskTheSystemOnce) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const auto child = jovtest::RunChild("ComputerNameFilledOnceUnderConcurrentFirstCalls");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
}

TEST(ComputerNameOnThisSystem, MatchesTheSystemsAnswerOnEveryCall) {
  wchar_t expected[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  ASSERT_TRUE(::GetComputerNameW(expected, &size));
  EXPECT_EQ(Text(JOV_GetComputerName()), expected);
  EXPECT_EQ(Text(JOV_GetComputerName()), expected);
}
