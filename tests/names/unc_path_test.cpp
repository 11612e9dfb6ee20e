// unc_path_test.cpp - the network name behind a mapped drive, with the provider's answers
// replaced (mapped, remembered, not connected) and as the system gives them.
#include <gtest/gtest.h>

#include <string>

#include <JOVUtil.h>

#include "names/names_test_support.h"
#include "support/import_patch.h"
#include "support/lane.h"

using names_test::Text;

namespace {

int g_connectionCalls = 0;
std::wstring g_askedDrive;
DWORD g_offeredSize = 0;
DWORD g_connectionAnswer = 0;
const wchar_t* g_remoteName = L"\\\\srv\\shr";

DWORD WINAPI FakeConnection(LPCWSTR local, LPWSTR remote, LPDWORD size) {
  ++g_connectionCalls;
  g_askedDrive = local;
  g_offeredSize = *size;
  if (g_connectionAnswer == NO_ERROR || g_connectionAnswer == ERROR_CONNECTION_UNAVAIL)
    lstrcpyW(remote, g_remoteName);
  return g_connectionAnswer;
}

class UncPath : public testing::Test {
 protected:
  void SetUp() override {
    g_connectionCalls = 0;
    g_askedDrive.clear();
    g_offeredSize = 0;
    g_connectionAnswer = NO_ERROR;
    g_remoteName = L"\\\\srv\\shr";
  }
  static std::wstring Unc(const wchar_t* path) { return Text(JOV_GetUNCPath(JOVString(path))); }
};

}  // namespace

TEST_F(UncPath, MappedDriveGivesRemoteNameWithTheRestAppendedAsItIs) {
  jovtest::ScopedImportPatch patch("WNetGetConnectionW", names_test::Entry(&FakeConnection));
  EXPECT_EQ(Unc(L"Z:\\dir\\file"), L"\\\\srv\\shr\\dir\\file");
  EXPECT_EQ(g_askedDrive, L"Z:");
  EXPECT_EQ(g_offeredSize, 256u);
  EXPECT_EQ(Unc(L"Z:"), L"\\\\srv\\shr");
  EXPECT_EQ(Unc(L"Z:dir"), L"\\\\srv\\shrdir");
  EXPECT_EQ(Unc(L"Z:\\dir"), L"\\\\srv\\shr\\dir");
}

TEST_F(UncPath, RememberedButDisconnectedDriveStillNamesItsShare) {
  g_connectionAnswer = ERROR_CONNECTION_UNAVAIL;  // 1201
  jovtest::ScopedImportPatch patch("WNetGetConnectionW", names_test::Entry(&FakeConnection));
  EXPECT_EQ(Unc(L"Y:\\x"), L"\\\\srv\\shr\\x");
  EXPECT_EQ(g_askedDrive, L"Y:");
}

TEST_F(UncPath, AnyOtherAnswerLeavesThePathUnchanged) {
  jovtest::ScopedImportPatch patch("WNetGetConnectionW", names_test::Entry(&FakeConnection));
  for (DWORD answer : {ERROR_NOT_CONNECTED, ERROR_BAD_DEVICE, ERROR_MORE_DATA,
                       ERROR_NO_NETWORK, ERROR_EXTENDED_ERROR}) {
    g_connectionAnswer = answer;
    EXPECT_EQ(Unc(L"Z:\\dir"), L"Z:\\dir") << answer;
  }
}

TEST_F(UncPath, PathsWithoutADriveAreNotQueried) {
  jovtest::ScopedImportPatch patch("WNetGetConnectionW", names_test::Entry(&FakeConnection));
  EXPECT_EQ(Unc(L"\\\\host\\share\\x"), L"\\\\host\\share\\x");
  EXPECT_EQ(Unc(L"x"), L"x");
  EXPECT_EQ(Unc(L""), L"");
  EXPECT_EQ(Unc(L"dir\\f:x"), L"dir\\f:x");
  EXPECT_EQ(g_connectionCalls, 0);
}

TEST(UncPathOnThisSystem, LocalDrivesComeBackUnchanged) {
  JOV_REQUIRE_REAL_NETWORK_QUERIES();
  // Wine answers 2250 (not connected) for its local drives.
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"C:\\x"))), L"C:\\x");
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"Z:\\tmp"))), L"Z:\\tmp");
}
