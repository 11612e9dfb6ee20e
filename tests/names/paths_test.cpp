// paths_test.cpp - the path functions: directory parts, file and directory tests, the
// long-path form with its DFS step, and the network name behind a drive. The platform's
// rarer answers (access denied, a DFS link, a mapped drive) come from replaced imports.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <lmcons.h>
#include <lmdfs.h>

#include <string>
#include <vector>

#include "support/files.h"
#include "support/import_patch.h"
#include "support/lane.h"

namespace {

using jovtest::ScopedImportPatch;

std::wstring Text(const JOVString& s) { return std::wstring(s.c_str(), s.length()); }
template <typename F>
const void* Entry(F f) { return reinterpret_cast<const void*>(f); }

std::vector<std::wstring> asked;  // what the replaced queries were given
DWORD answer = 0;

DWORD WINAPI FailingAttributes(LPCWSTR path) {
  asked.push_back(path);
  ::SetLastError(answer);
  return INVALID_FILE_ATTRIBUTES;
}

DWORD WINAPI FakeConnection(LPCWSTR drive, LPWSTR remote, LPDWORD size) {
  asked.push_back(drive + std::wstring(L" ") + std::to_wstring(*size));
  lstrcpyW(remote, L"\\\\srv\\shr");
  return answer;
}

std::vector<DFS_STORAGE_INFO> targets;
DFS_INFO_3 record{};
NET_API_STATUS WINAPI FakeDfsGetInfo(LPWSTR entry, LPWSTR server, LPWSTR share, DWORD level, LPBYTE* buffer) {
  asked.push_back(entry + std::wstring(server || share ? L" with server" : L" ") + std::to_wstring(level));
  record = DFS_INFO_3{};
  *buffer = reinterpret_cast<LPBYTE>(&record);  // written even on failure: not to be freed
  record.NumberOfStorages = static_cast<DWORD>(targets.size());
  record.Storage = targets.data();
  return answer;
}
NET_API_STATUS WINAPI FakeBufferFree(LPVOID buffer) {
  asked.push_back(buffer == &record ? L"freed" : L"freed other");
  return 0;
}

using Asked = std::vector<std::wstring>;

}  // namespace

TEST(Paths, DirectoryPartKeepsRootsAndNeverCutsIntoServerOrShare) {
  const struct {
    const wchar_t *path, *withoutSeparator, *withSeparator;
  } rows[] = {
      {L"C:\\dir\\file.txt", L"C:\\dir", L"C:\\dir\\"},  {L"C:\\a\\b\\", L"C:\\a\\b", L"C:\\a\\b\\"},
      {L"C:\\file.txt", L"C:\\", L"C:\\"},               {L"C:/dir/file", L"C:/dir", L"C:/dir/"},
      {L"\\\\srv\\shr\\dir\\f", L"\\\\srv\\shr\\dir", L"\\\\srv\\shr\\dir\\"},
      {L"\\\\srv\\shr\\file", L"\\\\srv\\shr", L"\\\\srv\\shr\\"},
      {L"\\\\srv\\shr", L"", L""}, {L"\\\\srv", L"", L""},  {L"dir\\file", L"dir", L"dir\\"},
      {L"\\file", L"\\", L"\\"},   {L"file.txt", L"", L""}, {L"C:file.txt", L"", L""},
      {L"C:\\dir/sub/file", L"C:\\", L"C:\\"},  // the last '/' counts only without any '\'
      {L"   C:\\dir\\file  ", L"C:\\dir", L"C:\\dir\\"}, {L"     ", L"", L""},
  };
  for (const auto& row : rows)
    for (int flag : {0, 1}) {
      JOVString directory(L"stale");
      EXPECT_EQ(JOV_GetDirFromPath(JOVString(row.path), directory, flag), 0);
      EXPECT_EQ(Text(directory), flag ? row.withSeparator : row.withoutSeparator)
          << "flag " << flag << ": " << jovtest::Narrow(row.path);
    }
  JOVString same(L"C:\\dir\\file");  // path and directory may be one string
  JOV_GetDirFromPath(same, same, 0);
  EXPECT_EQ(Text(same), L"C:\\dir");
}

TEST(Paths, FileAndDirectoryTestsGiveTheSystemsCode) {
  jovtest::ScratchDir dir;
  ::CreateDirectoryW(dir.Join(L"sub").c_str(), nullptr);
  ::CloseHandle(::CreateFileW(dir.Join(L"file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const JOVString file(dir.Join(L"file").c_str()), sub(dir.Join(L"sub").c_str());
  ::SetLastError(1234);
  const long answers[][2] = {
      {JOV_TestFileExists(file), 0}, {JOV_TestDirExists(file), 183}, {JOV_TestFileExists(file.c_str()), 0},
      {JOV_TestDirExists(sub), 0},   {JOV_TestFileExists(sub), 183},  {JOV_TestFileExists(sub.c_str()), 183},
      {JOV_TestFileExists(JOVString(dir.Join(L"absent").c_str())), 2},
      {JOV_TestDirExists(JOVString(dir.Join(L"absent\\x").c_str())), 3},
  };
  for (const auto& a : answers) EXPECT_EQ(a[0], a[1]);
  EXPECT_EQ(::GetLastError(), 3u);  // left as the query set it
  JOV_TestFileExists(file);
  EXPECT_EQ(::GetLastError(), 0u);  // a stale value does not leak into the answer
  ScopedImportPatch patch("GetFileAttributesW", Entry(&FailingAttributes));
  asked.clear();
  answer = ERROR_ACCESS_DENIED;  // a path the system refuses to show still exists
  EXPECT_EQ(JOV_TestFileExists(JOVString(L" C:\\locked ")) + JOV_TestDirExists(JOVString(L"C:\\x")), 0);
  EXPECT_EQ(JOV_TestFileExists(JOVString()) + JOV_TestDirExists(JOVString(L"")), 4);
  EXPECT_EQ(JOV_TestFileExists(static_cast<const wchar_t*>(nullptr)), 2);
  EXPECT_EQ(::GetLastError(), 2u);
  EXPECT_EQ(asked, (Asked{L" C:\\locked ", L"C:\\x"}));  // untrimmed; an empty path is not asked
}

TEST(Paths, InternalPathPrefixesAndReplacesADfsLinkByItsOneTarget) {
  const struct {
    const wchar_t *path, *internal;
  } plain[] = {
      {L"C:\\dir\\file", L"\\\\?\\C:\\dir\\file"}, {L"dir", L"\\\\?\\dir"},  {L"", L"\\\\?\\"},
      {L"\\rooted", L"\\\\?\\\\rooted"},  {L"\\\\?\\C:\\x", L"\\\\?\\C:\\x"},
      {L"\\\\?\\UNC\\s\\x", L"\\\\?\\UNC\\s\\x"}, {L"http://host/x", L"http://host/x"},
      {L"\\\\srv\\file://x", L"\\\\srv\\file://x"}, {L"\\\\server\\share\\d", L"\\\\?\\UNC\\server\\share\\d"},
      {L"\\\\?", L"\\\\?\\UNC\\?"},  // only "\\?\" itself is final
  };
  ScopedImportPatch dfs("NetDfsGetInfo", Entry(&FakeDfsGetInfo));
  ScopedImportPatch free("NetApiBufferFree", Entry(&FakeBufferFree));
  targets = {{DFS_STORAGE_STATE_ONLINE, const_cast<LPWSTR>(L"srv"), const_cast<LPWSTR>(L"shr")}};
  answer = 0;
  asked.clear();
  for (const auto& row : plain)
    for (int resolve : {0, 1}) EXPECT_EQ(Text(JOV_InternalPath(JOVString(row.path), resolve)), row.internal);
  EXPECT_EQ(asked, Asked{});  // fewer than three components: no DFS query
  const std::wstring link = L"\\\\dom\\root\\link\\a\\b", stays = L"\\\\?\\UNC\\dom\\root\\link\\a\\b";
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 0)), stays);
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 7)), L"\\\\?\\UNC\\srv\\shr\\a\\b");
  targets.push_back(targets[0]);  // two targets: the link stays
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 1)), stays);
  targets = {{DFS_STORAGE_STATE_ONLINE, nullptr, const_cast<LPWSTR>(L"shr")}};  // no server name
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 1)), stays);
  answer = 2662;  // a failed query hands nothing over
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 1)), stays);
  EXPECT_EQ(asked, (Asked{L"\\\\dom\\root\\link 3", L"freed", L"\\\\dom\\root\\link 3", L"freed",
                          L"\\\\dom\\root\\link 3", L"freed", L"\\\\dom\\root\\link 3"}));
}

// Wine exports NetDfsGetInfo as a placeholder that ends the process when called: the
// library must recognise it and carry on as after a failed query.
TEST(Paths, DfsQueryTheSystemLacksCountsAsFailed) {
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(L"\\\\dom\\root\\link\\f"), 1)), L"\\\\?\\UNC\\dom\\root\\link\\f");
}

TEST(Paths, UncPathNamesTheShareOfAMappedOrRememberedDrive) {
  ScopedImportPatch patch("WNetGetConnectionW", Entry(&FakeConnection));
  asked.clear();
  const struct {
    DWORD answer;
    const wchar_t *path, *unc;
  } rows[] = {
      {NO_ERROR, L"Z:\\dir\\file", L"\\\\srv\\shr\\dir\\file"}, {NO_ERROR, L"Z:dir", L"\\\\srv\\shrdir"},
      {ERROR_CONNECTION_UNAVAIL, L"Y:", L"\\\\srv\\shr"},       {ERROR_NOT_CONNECTED, L"Z:\\d", L"Z:\\d"},
      {ERROR_MORE_DATA, L"Z:\\d", L"Z:\\d"},  {NO_ERROR, L"\\\\host\\share", L"\\\\host\\share"},
      {NO_ERROR, L"x", L"x"},                 {NO_ERROR, L"dir\\f:x", L"dir\\f:x"},
  };
  for (const auto& row : rows) {
    answer = row.answer;
    EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(row.path))), row.unc) << row.answer;
  }
  EXPECT_EQ(asked, (Asked{L"Z: 256", L"Z: 256", L"Y: 256", L"Z: 256", L"Z: 256"}));
}

TEST(Paths, UncPathLeavesWinesLocalDrives) {
  JOV_SKIP_ON_EMULATED_LANE("the real WNetGetConnectionW");
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"Z:\\tmp"))), L"Z:\\tmp");  // 2250, not connected
}
