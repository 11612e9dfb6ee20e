// names_test.cpp - the path and name functions: directory parts, file and directory tests,
// the long-path form with its DFS step, the network name behind a drive, the logon and
// computer names, the narrow calls outside the NT family, and Wine's networking placeholders,
// which must not be called. Rarer platform answers come from replaced imports.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <lmcons.h>
#include <lmdfs.h>
#include <winnetwk.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/files.h"
#include "support/import_patch.h"
#include "support/lane.h"

namespace {

using jovtest::ScopedImportPatch;

std::wstring Text(const JOVString& s) { return std::wstring(s.c_str(), s.length()); }
template <typename F>
const void* Entry(F f) { return reinterpret_cast<const void*>(f); }

std::string asked;  // what the replaced queries were given, each ended by "|"
DWORD answer = 0;

DWORD WINAPI FailingAttributes(LPCWSTR path) { return asked += jovtest::Narrow(path) + "|", ::SetLastError(answer), INVALID_FILE_ATTRIBUTES; }
DWORD WINAPI FakeConnection(LPCWSTR drive, LPWSTR remote, LPDWORD size) {
  return asked += jovtest::Narrow(drive) + " " + std::to_string(*size) + "|", lstrcpyW(remote, L"\\\\srv\\shr"), answer;
}

std::vector<DFS_STORAGE_INFO> targets;
DFS_INFO_3 record{};
NET_API_STATUS WINAPI FakeDfsGetInfo(LPWSTR entry, LPWSTR server, LPWSTR share, DWORD level, LPBYTE* buffer) {
  asked += jovtest::Narrow(entry) + (server || share ? " with server " : " ") + std::to_string(level) + "|";
  record = DFS_INFO_3{nullptr, nullptr, 0, static_cast<DWORD>(targets.size()), targets.data()};
  *buffer = reinterpret_cast<LPBYTE>(&record);  // written even on failure: not to be freed
  return answer;
}
NET_API_STATUS WINAPI FakeBufferFree(LPVOID buffer) { return asked += buffer == &record ? "freed|" : "freed other|", 0; }


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
  EXPECT_EQ(asked, " C:\\locked |C:\\x|");  // untrimmed; an empty path is not asked
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
  EXPECT_EQ(asked, "");  // fewer than three components: no DFS query
  const std::wstring link = L"\\\\dom\\root\\link\\a\\b", stays = L"\\\\?\\UNC\\dom\\root\\link\\a\\b";
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 0)), stays);
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 7)), L"\\\\?\\UNC\\srv\\shr\\a\\b");
  targets.push_back(targets[0]);  // two targets: the link stays
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 1)), stays);
  targets = {{DFS_STORAGE_STATE_ONLINE, nullptr, const_cast<LPWSTR>(L"shr")}};  // no server name
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 1)), stays);
  answer = 2662;  // a failed query hands nothing over
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(link.c_str()), 1)), stays);
  EXPECT_EQ(asked, "\\\\dom\\root\\link 3|freed|\\\\dom\\root\\link 3|freed|\\\\dom\\root\\link 3|freed|\\\\dom\\root\\link 3|");
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
  EXPECT_EQ(asked, "Z: 256|Z: 256|Y: 256|Z: 256|Z: 256|");
}

TEST(Paths, UncPathLeavesWinesLocalDrives) {
  JOV_SKIP_ON_EMULATED_LANE("the real WNetGetConnectionW");
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"Z:\\tmp"))), L"Z:\\tmp");  // 2250, not connected
}

namespace {


DWORD WINAPI ProviderUser(LPCWSTR, LPWSTR name, LPDWORD size) { return asked += "provider " + std::to_string(*size) + "|", lstrcpyW(name, L"netuser"), NO_ERROR; }
DWORD WINAPI ProviderFails(LPCWSTR, LPWSTR, LPDWORD) { return asked += "provider|", ERROR_NO_NETWORK; }
BOOL WINAPI SystemUser(LPWSTR name, LPDWORD size) { return asked += "system " + std::to_string(*size) + "|", lstrcpyW(name, L"sysuser"), TRUE; }
BOOL WINAPI SystemFails(LPWSTR, LPDWORD) { return asked += "system|", FALSE; }
const wchar_t* computerName = nullptr;  // null: the query fails
BOOL WINAPI FakeComputerName(LPWSTR buffer, LPDWORD size) {
  asked += "computer " + std::to_string(*size) + "|";
  ::Sleep(computerName ? 100 : 0);  // keeps the first caller inside while others arrive
  return computerName && (lstrcpyW(buffer, computerName), *size = lstrlenW(computerName));
}

// A jump to `target` in memory of no module, as a debugger's or a tool's hook would be.
const void* HookOutsideAnyModule(const void* target) {
  auto* code = static_cast<unsigned char*>(::VirtualAlloc(nullptr, 16, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
  const int wide = sizeof(void*) == 8;
  code[0] = 0x48, code[wide] = 0xB8;  // mov rax / eax, target
  std::memcpy(code + 1 + wide, &target, sizeof target);
  code[1 + wide + sizeof target] = 0xFF, code[2 + wide + sizeof target] = 0xE0;  // jmp rax / eax
  return code;
}

}  // namespace

TEST(UserNames, LogonIdAsksTheProviderThenTheSystem) {
  const struct {
    const void *provider, *system;
    const wchar_t* name;
    std::string asked;
  } rows[] = {
      {Entry(&ProviderUser), Entry(&SystemUser), L"netuser", "provider 255|"},
      {HookOutsideAnyModule(Entry(&ProviderUser)), Entry(&SystemUser), L"netuser", "provider 255|"},
      {Entry(&ProviderFails), Entry(&SystemUser), L"sysuser", "provider|system 255|"},
      {Entry(&ProviderFails), Entry(&SystemFails), L"Unknown", "provider|system|"},
  };
  for (const auto& row : rows) {
    ScopedImportPatch provider("WNetGetUserW", row.provider), system("GetUserNameW", row.system);
    asked.clear();
    EXPECT_EQ(Text(JOV_GetLogonId()), row.name);
    EXPECT_EQ(asked, row.asked);
  }
  // The real provider's answer, which only it can have given while the system's query fails.
  wchar_t expected[256] = {};
  DWORD size = 255;
  auto getUser = reinterpret_cast<DWORD(WINAPI*)(LPCWSTR, LPWSTR, LPDWORD)>(Entry(::GetProcAddress(::LoadLibraryW(L"mpr.dll"), "WNetGetUserW")));
  ASSERT_EQ(getUser(nullptr, expected, &size), static_cast<DWORD>(NO_ERROR));
  ScopedImportPatch system("GetUserNameW", Entry(&SystemFails));
  EXPECT_EQ(Text(JOV_GetLogonId()), expected);
}

// Asked until the system answers once, then kept; racing first calls ask once.
FRESH_TEST(Names, ComputerNameIsAskedUntilKnownThenKept) {
  ScopedImportPatch patch("GetComputerNameW", Entry(&FakeComputerName));
  EXPECT_EQ(Text(JOV_GetComputerName()) + Text(JOV_GetComputerName()), L"");
  computerName = L"ALPHA";
  std::vector<std::thread> threads;
  std::wstring names[4];
  for (std::wstring& name : names) threads.emplace_back([&name] { name = Text(JOV_GetComputerName()); });
  for (auto& thread : threads) thread.join();
  computerName = L"BETA";
  EXPECT_EQ(names[0] + names[1] + names[2] + names[3] + Text(JOV_GetComputerName()), L"ALPHAALPHAALPHAALPHAALPHA");
  EXPECT_EQ(asked, "computer 16|computer 16|computer 16|");
}

// ---- Outside the NT family: the narrow calls, with text converted under the C locale ----
namespace {

BOOL WINAPI Windows98(LPOSVERSIONINFOW info) { return info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS, info->dwMajorVersion = 4, TRUE; }
DWORD WINAPI AttributesA(LPCSTR path) { return asked += path + std::string("|"), FILE_ATTRIBUTE_DIRECTORY; }
DWORD WINAPI ConnectionA(LPCSTR drive, LPSTR remote, LPDWORD size) {
  return asked += drive + (" " + std::to_string(*size)) + "|", lstrcpyA(remote, "\\\\srv\\caf\xe9"), NO_ERROR;
}
DWORD WINAPI ProviderA(LPCSTR, LPSTR name, LPDWORD size) { return asked += "provider " + std::to_string(*size) + "|", lstrcpyA(name, "jos\xe9"), NO_ERROR; }
DWORD WINAPI ProviderFailsA(LPCSTR, LPSTR, LPDWORD) { return ERROR_NO_NETWORK; }
BOOL WINAPI SystemA(LPSTR name, LPDWORD size) { return asked += "system " + std::to_string(*size) + "|", lstrcpyA(name, "sysuser"), TRUE; }
BOOL WINAPI ComputerA(LPSTR buffer, LPDWORD size) { return asked += "computer " + std::to_string(*size) + "|", lstrcpyA(buffer, "BOX\xc4"), *size = 4, TRUE; }

}  // namespace

FRESH_TEST(Names, OutsideNtTheNarrowCallsGetAndGiveConvertedText) {
  ScopedImportPatch version("GetVersionExW", Entry(&Windows98)), attributes("GetFileAttributesA", Entry(&AttributesA)),
      connection("WNetGetConnectionA", Entry(&ConnectionA)), computer("GetComputerNameA", Entry(&ComputerA)),
      system("GetUserNameA", Entry(&SystemA));
  EXPECT_EQ(JOV_TestDirExists(JOVString(L"C:\\caf\xe9")) + JOV_TestDirExists(JOVString(L".")), 0);
  EXPECT_EQ(JOV_TestFileExists(JOVString(L".")), 183);
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"Q:\\d"))), L"\\\\srv\\caf\xe9\\d");
  for (const wchar_t* path : {L"C:\\x", L"", L"\\\\s\\x\\y\\z"}) EXPECT_EQ(Text(JOV_InternalPath(JOVString(path), 1)), path);  // no long paths
  {
    ScopedImportPatch provider("WNetGetUserA", Entry(&ProviderA));
    EXPECT_EQ(Text(JOV_GetLogonId()), L"jos\xe9");
  }
  ScopedImportPatch provider("WNetGetUserA", Entry(&ProviderFailsA));
  EXPECT_EQ(Text(JOV_GetLogonId()), L"sysuser");
  EXPECT_EQ(Text(JOV_GetComputerName()), L"BOX\xc4");
  EXPECT_EQ(asked, "C:\\caf\xe9|.|.|Q: 256|provider 256|system 256|computer 16|");
}

// ---- Wine's placeholders: exported, unimplemented, ending the process when called -------
namespace {

const void* WinePlaceholder() { return Entry(::GetProcAddress(::LoadLibraryW(L"netapi32.dll"), "NetDfsMove")); }
FARPROC WINAPI HideWine(HMODULE module, LPCSTR name) {
  return reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && !std::strcmp(name, "wine_get_version") ? nullptr : ::GetProcAddress(module, name);
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
  JOV_SKIP_ON_EMULATED_LANE("child processes");
  EXPECT_EQ(jovtest::RunAlone("DISABLED_ExitNames.DfsQueryIsMadeWhenNotOnWine").exitCode, 0x80000100u);
}
