// internal_path_test.cpp - the long-path form: every row of the conversion table, and the
// DFS step with the platform's DFS answers replaced (one target, two, none, failure).
#include <gtest/gtest.h>

#include <windows.h>

#include <lmcons.h>
#include <lmdfs.h>

#include <string>
#include <vector>

#include <JOVUtil.h>

#include "names/names_test_support.h"
#include "support/import_patch.h"

using names_test::Text;

namespace {

std::wstring Internal(const wchar_t* path, int resolveDfs) {
  return Text(JOV_InternalPath(JOVString(path), resolveDfs));
}

}  // namespace

TEST(InternalPath, DriveRelativeAndEmptyPathsGetTheLongPrefix) {
  for (int resolve : {0, 1}) {
    EXPECT_EQ(Internal(L"C:\\dir\\file", resolve), L"\\\\?\\C:\\dir\\file");
    EXPECT_EQ(Internal(L"dir\\file", resolve), L"\\\\?\\dir\\file");
    EXPECT_EQ(Internal(L"", resolve), L"\\\\?\\");
    EXPECT_EQ(Internal(L"\\rooted", resolve), L"\\\\?\\\\rooted");
  }
}

TEST(InternalPath, PrefixedPathsAndUrlsComeBackUnchanged) {
  for (int resolve : {0, 1}) {
    EXPECT_EQ(Internal(L"\\\\?\\C:\\x", resolve), L"\\\\?\\C:\\x");
    EXPECT_EQ(Internal(L"\\\\?\\UNC\\s\\x", resolve), L"\\\\?\\UNC\\s\\x");
    EXPECT_EQ(Internal(L"\\\\?\\unc\\x", resolve), L"\\\\?\\unc\\x");
    EXPECT_EQ(Internal(L"http://host/x", resolve), L"http://host/x");
    EXPECT_EQ(Internal(L"\\\\srv\\file://x", resolve), L"\\\\srv\\file://x");
  }
}

TEST(InternalPath, NetworkPathWithoutDfsStepGetsTheUncPrefix) {
  EXPECT_EQ(Internal(L"\\\\server\\share\\dir\\file", 0), L"\\\\?\\UNC\\server\\share\\dir\\file");
  EXPECT_EQ(Internal(L"\\\\server", 0), L"\\\\?\\UNC\\server");
  EXPECT_EQ(Internal(L"\\\\?", 0), L"\\\\?\\UNC\\?");  // only "\\?\" itself is final
}

namespace {

int g_dfsCalls = 0;
std::wstring g_dfsEntry;
bool g_dfsServerOrShareGiven = false;
DWORD g_dfsLevel = 0;
NET_API_STATUS g_dfsAnswer = 0;
std::vector<DFS_STORAGE_INFO> g_storages;
DFS_INFO_3 g_record{};
std::vector<void*> g_freed;

NET_API_STATUS WINAPI FakeDfsGetInfo(LPWSTR entry, LPWSTR server, LPWSTR share, DWORD level,
                                     LPBYTE* buffer) {
  ++g_dfsCalls;
  g_dfsEntry = entry;
  g_dfsServerOrShareGiven = server != nullptr || share != nullptr;
  g_dfsLevel = level;
  g_record = DFS_INFO_3{};
  *buffer = reinterpret_cast<LPBYTE>(&g_record);  // written even on failure: not to be freed
  if (g_dfsAnswer != 0) return g_dfsAnswer;
  g_record.EntryPath = entry;
  g_record.NumberOfStorages = static_cast<DWORD>(g_storages.size());
  g_record.Storage = g_storages.empty() ? nullptr : g_storages.data();
  return 0;
}

NET_API_STATUS WINAPI FakeBufferFree(LPVOID buffer) {
  g_freed.push_back(buffer);
  return 0;
}

DFS_STORAGE_INFO Storage(const wchar_t* server, const wchar_t* share) {
  DFS_STORAGE_INFO info{};
  info.State = DFS_STORAGE_STATE_ONLINE;
  info.ServerName = const_cast<LPWSTR>(server);
  info.ShareName = const_cast<LPWSTR>(share);
  return info;
}

class DfsStep : public testing::Test {
 protected:
  void SetUp() override {
    g_dfsCalls = 0;
    g_dfsEntry.clear();
    g_dfsServerOrShareGiven = false;
    g_dfsLevel = 0;
    g_dfsAnswer = 0;
    g_storages.clear();
    g_freed.clear();
  }
  jovtest::ScopedImportPatch dfs_{"NetDfsGetInfo", names_test::Entry(&FakeDfsGetInfo)};
  jovtest::ScopedImportPatch free_{"NetApiBufferFree", names_test::Entry(&FakeBufferFree)};
};

}  // namespace

TEST_F(DfsStep, LinkWithOneTargetIsReplacedByThatTarget) {
  g_storages = {Storage(L"srv", L"shr")};
  EXPECT_EQ(Internal(L"\\\\dom\\root\\link\\file", 1), L"\\\\?\\UNC\\srv\\shr\\file");
  EXPECT_EQ(g_dfsEntry, L"\\\\dom\\root\\link");
  EXPECT_FALSE(g_dfsServerOrShareGiven);
  EXPECT_EQ(g_dfsLevel, 3u);
  ASSERT_EQ(g_freed.size(), 1u);
  EXPECT_EQ(g_freed[0], &g_record);
  EXPECT_EQ(Internal(L"\\\\dom\\root\\link\\a\\b\\", 7), L"\\\\?\\UNC\\srv\\shr\\a\\b\\");
}

TEST_F(DfsStep, LinkWithTwoTargetsOrNoneStaysAndTheRecordIsGivenBack) {
  g_storages = {Storage(L"srv1", L"shr1"), Storage(L"srv2", L"shr2")};
  EXPECT_EQ(Internal(L"\\\\dom\\root\\link\\file", 1), L"\\\\?\\UNC\\dom\\root\\link\\file");
  g_storages.clear();
  EXPECT_EQ(Internal(L"\\\\s\\x\\y\\z", 1), L"\\\\?\\UNC\\s\\x\\y\\z");
  EXPECT_EQ(g_dfsCalls, 2);
  EXPECT_EQ(g_freed.size(), 2u);
}

TEST_F(DfsStep, FailedQueryLeavesThePathAndFreesNothing) {
  for (NET_API_STATUS answer : {NET_API_STATUS(2662), NET_API_STATUS(ERROR_ACCESS_DENIED),
                                NET_API_STATUS(ERROR_NOT_SUPPORTED)}) {
    g_dfsAnswer = answer;
    EXPECT_EQ(Internal(L"\\\\dom\\root\\link\\file", 1), L"\\\\?\\UNC\\dom\\root\\link\\file");
  }
  EXPECT_EQ(g_dfsCalls, 3);
  EXPECT_TRUE(g_freed.empty());
}

TEST_F(DfsStep, TargetRecordWithoutNamesIsNotUsed) {
  g_storages = {Storage(nullptr, L"shr")};
  EXPECT_EQ(Internal(L"\\\\dom\\root\\link\\file", 1), L"\\\\?\\UNC\\dom\\root\\link\\file");
  EXPECT_EQ(g_freed.size(), 1u);
}

TEST_F(DfsStep, PathsWithFewerThanThreeComponentsAreNotQueried) {
  g_storages = {Storage(L"srv", L"shr")};
  EXPECT_EQ(Internal(L"\\\\dom\\root\\link", 1), L"\\\\?\\UNC\\dom\\root\\link");
  EXPECT_EQ(Internal(L"\\\\dom\\root", 1), L"\\\\?\\UNC\\dom\\root");
  EXPECT_EQ(Internal(L"\\\\dom", 1), L"\\\\?\\UNC\\dom");
  EXPECT_EQ(g_dfsCalls, 0);
}

TEST_F(DfsStep, ResolveFlagZeroMakesNoQuery) {
  g_storages = {Storage(L"srv", L"shr")};
  EXPECT_EQ(Internal(L"\\\\dom\\root\\link\\file", 0), L"\\\\?\\UNC\\dom\\root\\link\\file");
  EXPECT_EQ(g_dfsCalls, 0);
}

TEST(InternalPathOnThisSystem, DfsQueryTheSystemLacksCountsAsFailed) {
  // Wine exports NetDfsGetInfo as a placeholder that ends the process when called: the
  // library must recognise it and carry on as after a failed query.
  EXPECT_EQ(Internal(L"\\\\s\\x\\y\\z", 1), L"\\\\?\\UNC\\s\\x\\y\\z");
  EXPECT_EQ(Internal(L"\\\\dom\\root\\link\\f", 1), L"\\\\?\\UNC\\dom\\root\\link\\f");
}
