// names_test.cpp - the path and name functions: directory parts, file and directory tests,
// the long-path form with its DFS step, the network name behind a drive, the logon and
// computer names, the narrow calls outside the NT family, and Wine's networking
// placeholders, which must not be called. Rarer platform answers come from replaced imports.
#include "support/test_prelude.h"

#include <lmcons.h>
#include <lmdfs.h>
#include <winnetwk.h>

namespace {

using jovtest::ScopedImportPatch;
using jovtest::Text;
template <typename F>
const void* Entry(F f) {
  return reinterpret_cast<const void*>(f);
}

// The replaced queries: what each was given is noted in `asked`, each note ended by "|".
std::string asked;
DWORD answer = 0;
BOOL systemAnswers = TRUE;
const wchar_t* computerName = nullptr;  // null: the query fails
std::vector<DFS_STORAGE_INFO> targets;
DFS_INFO_3 record{};

std::string Note(const std::string& what, DWORD size) {
  return asked += what + " " + std::to_string(size) + "|";
}
// A query's answer `result` with `text` in its (wide or narrow) buffer, noted with the buffer
// size it was given. The text is written on failure too: only a success may be used.
template <typename Char, typename Result>
Result Answer(const std::string& query, Char* buffer, const Char* text, DWORD size, Result result) {
  Note(query, size);
  std::copy(text, text + std::char_traits<Char>::length(text) + 1, buffer);
  return result;
}

DWORD WINAPI FailingAttributes(LPCWSTR path) {
  asked += jovtest::Narrow(path) + "|";
  ::SetLastError(answer);
  return INVALID_FILE_ATTRIBUTES;
}
DWORD WINAPI FakeConnection(LPCWSTR drive, LPWSTR remote, LPDWORD size) {
  return Answer(jovtest::Narrow(drive), remote, L"\\\\srv\\shr", *size, answer);
}
NET_API_STATUS WINAPI FakeDfsGetInfo(LPWSTR entry, LPWSTR server, LPWSTR share, DWORD level,
                                     LPBYTE* buffer) {
  Note(jovtest::Narrow(entry) + (server || share ? " with server" : ""), level);
  record = DFS_INFO_3{nullptr, nullptr, 0, static_cast<DWORD>(targets.size()), targets.data()};
  *buffer = reinterpret_cast<LPBYTE>(&record);  // written even on failure: not to be freed
  return answer;
}
NET_API_STATUS WINAPI FakeBufferFree(LPVOID buffer) {
  asked += buffer == &record ? "freed|" : "other|";
  return 0;
}
DWORD WINAPI Provider(LPCWSTR, LPWSTR name, LPDWORD size) {
  return Answer("provider", name, L"net", *size, answer);
}
BOOL WINAPI System(LPWSTR name, LPDWORD size) {
  return Answer("system", name, L"sys", *size, systemAnswers);
}
BOOL WINAPI FakeComputerName(LPWSTR buffer, LPDWORD size) {
  Note("computer", *size);
  ::Sleep(computerName ? 100 : 0);  // keeps the first caller inside while others arrive
  return computerName && lstrcpyW(buffer, computerName) && (*size = lstrlenW(computerName)) != 0;
}

// A system that claims a name filling the whole buffer, with no room for the terminator.
BOOL WINAPI OverlongComputerName(LPWSTR buffer, LPDWORD size) {
  Note("overlong", *size);
  std::fill_n(buffer, *size, L'N');
  return TRUE;
}

// Outside the NT family: the narrow calls, with text converted under the C locale.
BOOL WINAPI Windows98(LPOSVERSIONINFOW info) {
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  return TRUE;
}
DWORD WINAPI AttributesA(LPCSTR path) {
  asked += path + std::string("|");
  return FILE_ATTRIBUTE_DIRECTORY;
}
DWORD WINAPI ConnectionA(LPCSTR drive, LPSTR remote, LPDWORD size) {
  return Answer(drive, remote, "\\\\srv\\caf\xe9", *size, DWORD{NO_ERROR});
}
DWORD WINAPI ProviderA(LPCSTR, LPSTR name, LPDWORD size) {
  return Answer("provider", name, "jos\xe9", *size, DWORD{0});
}
DWORD WINAPI ProviderFailsA(LPCSTR, LPSTR, LPDWORD) { return ERROR_NO_NETWORK; }
// A provider that fills the whole buffer it is given, with no room for the terminator.
DWORD WINAPI WholeBufferProviderA(LPCSTR, LPSTR name, LPDWORD size) {
  std::fill_n(name, *size, 'n');
  return 0;
}
BOOL WINAPI SystemA(LPSTR name, LPDWORD size) { return Answer("system", name, "sys", *size, TRUE); }
BOOL WINAPI ComputerA(LPSTR name, LPDWORD size) {
  return Answer("computer", name, "BOX\xc4", *size, TRUE);
}

// A jump to `target` in memory of no module, as a debugger's or a tool's hook would be.
const void* HookOutsideAnyModule(const void* target) {
  auto* code =
      static_cast<unsigned char*>(::VirtualAlloc(nullptr, 16, MEM_COMMIT, PAGE_EXECUTE_READWRITE));
  unsigned char* at = code;
  if (sizeof target == 8) *at++ = 0x48;  // REX.W: mov rax rather than mov eax
  *at++ = 0xB8;                          // mov rax / eax, target
  std::memcpy(at, &target, sizeof target);
  at[sizeof target] = 0xFF;  // jmp rax / eax
  at[sizeof target + 1] = 0xE0;
  return code;
}

}  // namespace

// Each path also serves as the output string, which the result must replace whole.
TEST(Paths, DirectoryPartKeepsRootsAndNeverCutsIntoServerOrShare) {
  const wchar_t* rows[][3] = {
      // the path, its directory without and with the separator
      {L"C:\\dir\\file.txt", L"C:\\dir", L"C:\\dir\\"},
      {L"C:\\file.txt", L"C:\\", L"C:\\"},
      {L"C:/dir/file", L"C:/dir", L"C:/dir/"},
      {L"\\\\srv\\shr\\f", L"\\\\srv\\shr", L"\\\\srv\\shr\\"},
      {L"\\\\srv\\shr", L"", L""},
      {L"\\\\srv", L"", L""},
      {L"\\file", L"\\", L"\\"},
      {L"C:file.txt", L"", L""},
      // The last '/' counts only without any '\'; blanks around the path do not count.
      {L"C:\\dir/sub/f", L"C:\\", L"C:\\"},
      {L"   C:\\dir\\file  ", L"C:\\dir", L"C:\\dir\\"},
  };
  for (const auto& row : rows)
    for (int flag : {0, 1}) {
      JOVString pathAndDirectory(row[0]);
      EXPECT_EQ(JOV_GetDirFromPath(pathAndDirectory, pathAndDirectory, flag), 0);
      EXPECT_EQ(Text(pathAndDirectory), row[1 + flag]) << jovtest::Narrow(row[0]);
    }
}

TEST(Paths, FileAndDirectoryTestsGiveTheSystemsCode) {
  jovtest::ScratchDir dir;
  ::CloseHandle(
      ::CreateFileW(dir.Join(L"file").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  const JOVString file(dir.Join(L"file").c_str()), directory(dir.path().c_str());
  ::SetLastError(1234);
  EXPECT_EQ(
      JOV_TestFileExists(file) + JOV_TestFileExists(file.c_str()) + JOV_TestDirExists(directory),
      0);
  EXPECT_EQ(::GetLastError(), 0u);  // a stale value does not leak into the answer
  // There, but of the other kind; then the query's own code.
  EXPECT_EQ(JOV_TestDirExists(file) + JOV_TestFileExists(directory), 2 * 183);
  EXPECT_EQ(JOV_TestDirExists(JOVString(dir.Join(L"absent\\x").c_str())), 3);
  ScopedImportPatch patch("GetFileAttributesW", Entry(&FailingAttributes));
  asked.clear();
  answer = ERROR_ACCESS_DENIED;  // a path the system refuses to show still exists
  EXPECT_EQ(JOV_TestFileExists(JOVString(L" C:\\locked ")) + JOV_TestDirExists(JOVString(L"C:\\x")),
            0);
  EXPECT_EQ(
      JOV_TestFileExists(JOVString()) + JOV_TestFileExists(static_cast<const wchar_t*>(nullptr)),
      4);
  EXPECT_EQ(::GetLastError(), 2u);
  EXPECT_EQ(asked, " C:\\locked |C:\\x|");  // untrimmed; an empty path is not asked
}

TEST(Paths, InternalPathPrefixesAndReplacesADfsLinkByItsOneTarget) {
  const wchar_t* plain[][2] = {
      {L"C:\\dir\\file", L"\\\\?\\C:\\dir\\file"},
      {L"\\\\?\\UNC\\s\\x", L"\\\\?\\UNC\\s\\x"},
      {L"http://host/x", L"http://host/x"},
      {L"\\\\server\\share\\d", L"\\\\?\\UNC\\server\\share\\d"},
      {L"\\\\?", L"\\\\?\\UNC\\?"},  // only "\\?\" itself is final
  };
  // Wine's own NetDfsGetInfo is a placeholder that ends the process when called: the library
  // recognises it and carries on as after a failed query.
  EXPECT_EQ(Text(JOV_InternalPath(JOVString(L"\\\\dom\\root\\link\\f"), 1)),
            L"\\\\?\\UNC\\dom\\root\\link\\f");
  ScopedImportPatch dfs("NetDfsGetInfo", Entry(&FakeDfsGetInfo)),
      free("NetApiBufferFree", Entry(&FakeBufferFree));
  targets = {{DFS_STORAGE_STATE_ONLINE, const_cast<LPWSTR>(L"srv"), const_cast<LPWSTR>(L"shr")}};
  answer = 0;
  asked.clear();
  for (const auto& row : plain) EXPECT_EQ(Text(JOV_InternalPath(JOVString(row[0]), 1)), row[1]);
  const JOVString link(L"\\\\dom\\root\\link\\a\\b");
  const std::wstring stays = L"\\\\?\\UNC\\dom\\root\\link\\a\\b";
  EXPECT_EQ(Text(JOV_InternalPath(link, 0)), stays);
  EXPECT_EQ(Text(JOV_InternalPath(link, 7)), L"\\\\?\\UNC\\srv\\shr\\a\\b");
  targets.push_back(targets[0]);  // two targets: the link stays
  EXPECT_EQ(Text(JOV_InternalPath(link, 1)), stays);
  targets = {{DFS_STORAGE_STATE_ONLINE, nullptr, const_cast<LPWSTR>(L"shr")}};  // no server name
  EXPECT_EQ(Text(JOV_InternalPath(link, 1)), stays);
  answer = 2662;  // a failed query hands nothing over
  EXPECT_EQ(Text(JOV_InternalPath(link, 1)), stays);
  // Only the link asked to be resolved was queried: never a path of fewer than three components.
  EXPECT_EQ(asked,
            "\\\\dom\\root\\link 3|freed|\\\\dom\\root\\link 3|freed|\\\\dom\\root\\link 3|freed|"
            "\\\\dom\\root\\link 3|");
}

TEST(Paths, UncPathNamesTheShareOfAMappedOrRememberedDrive) {
  ScopedImportPatch patch("WNetGetConnectionW", Entry(&FakeConnection));
  asked.clear();
  const std::tuple<DWORD, const wchar_t*, const wchar_t*> rows[] = {
      // the answer, the path, its network name
      {NO_ERROR, L"Z:\\dir\\file", L"\\\\srv\\shr\\dir\\file"},
      {NO_ERROR, L"Z:dir", L"\\\\srv\\shrdir"},
      {ERROR_CONNECTION_UNAVAIL, L"Y:", L"\\\\srv\\shr"},
      {ERROR_NOT_CONNECTED, L"Z:\\d", L"Z:\\d"},
      {NO_ERROR, L"x", L"x"},
  };
  for (const auto& [reply, path, unc] : rows) {
    answer = reply;
    EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(path))), unc);
  }
  EXPECT_EQ(asked, "Z: 256|Z: 256|Y: 256|Z: 256|");
}

TEST(UserNames, LogonIdAsksTheProviderThenTheSystem) {
  ScopedImportPatch provider("WNetGetUserW", Entry(&Provider)),
      system("GetUserNameW", Entry(&System));
  const std::tuple<DWORD, BOOL, const wchar_t*, std::string> rows[] = {
      // the two answers, the name, the queries
      {NO_ERROR, FALSE, L"net", "provider 255|"},
      {ERROR_NO_NETWORK, FALSE, L"Unknown", "provider 255|system 255|"},
      {ERROR_NO_NETWORK, TRUE, L"sys",
       "provider 255|system 255|"},  // last: the system answers again
  };
  for (const auto& [providerAnswer, systemAnswer, name, queries] : rows) {
    answer = providerAnswer;
    systemAnswers = systemAnswer;
    asked.clear();
    EXPECT_EQ(Text(JOV_GetLogonId()), name);
    EXPECT_EQ(asked, queries);
  }
  // A provider hooked from memory of no module is a real function, not a placeholder.
  ScopedImportPatch hooked("WNetGetUserW", HookOutsideAnyModule(Entry(&Provider)));
  answer = NO_ERROR;
  EXPECT_EQ(Text(JOV_GetLogonId()), L"net");
}

// Asked until the system answers once, then kept; racing first calls ask once.
FRESH_TEST(Names, ComputerNameIsAskedUntilKnownThenKept) {
  ScopedImportPatch patch("GetComputerNameW", Entry(&FakeComputerName));
  EXPECT_EQ(Text(JOV_GetComputerName()) + Text(JOV_GetComputerName()), L"");
  {
    ScopedImportPatch overlong("GetComputerNameW", Entry(&OverlongComputerName));
    EXPECT_EQ(Text(JOV_GetComputerName()), L"");
  }
  computerName = L"ALPHA";
  std::vector<std::thread> threads;
  std::wstring names[4];
  for (std::wstring& name : names)
    threads.emplace_back([&name] { name = Text(JOV_GetComputerName()); });
  for (auto& thread : threads) thread.join();
  computerName = L"BETA";
  EXPECT_EQ(names[0] + names[1] + names[2] + names[3] + Text(JOV_GetComputerName()),
            L"ALPHAALPHAALPHAALPHAALPHA");
  EXPECT_EQ(asked, "computer 16|computer 16|overlong 16|computer 16|");
}

FRESH_TEST(Names, OutsideNtTheNarrowCallsGetAndGiveConvertedText) {
  ScopedImportPatch version("GetVersionExW", Entry(&Windows98));
  ScopedImportPatch attributes("GetFileAttributesA", Entry(&AttributesA));
  ScopedImportPatch connection("WNetGetConnectionA", Entry(&ConnectionA));
  ScopedImportPatch computer("GetComputerNameA", Entry(&ComputerA));
  ScopedImportPatch system("GetUserNameA", Entry(&SystemA));
  EXPECT_EQ(JOV_TestDirExists(JOVString(L"C:\\caf\xe9")) + JOV_TestDirExists(JOVString(L".")), 0);
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"Q:\\d"))), L"\\\\srv\\caf\xe9\\d");
  for (const wchar_t* path : {L"C:\\x", L"\\\\s\\x\\y\\z"})
    EXPECT_EQ(Text(JOV_InternalPath(JOVString(path), 1)), path);
  const std::pair<const void*, std::wstring> providers[] = {
      {Entry(&ProviderA), L"jos\xe9"}, {Entry(&WholeBufferProviderA), std::wstring(256, L'n')}};
  for (const auto& [entry, name] : providers) {
    ScopedImportPatch provider("WNetGetUserA", entry);
    EXPECT_EQ(Text(JOV_GetLogonId()), name);
  }
  ScopedImportPatch provider("WNetGetUserA", Entry(&ProviderFailsA));
  EXPECT_EQ(Text(JOV_GetLogonId()), L"sys");
  EXPECT_EQ(Text(JOV_GetComputerName()), L"BOX\xc4");
  EXPECT_EQ(asked, "C:\\caf\xe9|.|Q: 256|provider 256|system 256|computer 16|");
}

// A placeholder in any networking slot is skipped as a failed query.
FRESH_TEST(Names, PlaceholdersInNetworkingSlotsAreNotCalled) {
  const void* placeholder = Entry(::GetProcAddress(::LoadLibraryW(L"netapi32.dll"), "NetDfsMove"));
  ScopedImportPatch connection("WNetGetConnectionW", placeholder),
      provider("WNetGetUserW", placeholder);
  ScopedImportPatch system("GetUserNameW", Entry(&System));
  EXPECT_EQ(Text(JOV_GetUNCPath(JOVString(L"Z:\\x"))) + L"|" + Text(JOV_GetLogonId()),
            L"Z:\\x|sys");
}

// With Wine hidden the library takes the platform for Windows and makes the DFS query; the
// placeholder then ends the process with Wine's exception code, which proves the call.
FARPROC WINAPI HideWine(HMODULE module, LPCSTR name) {
  const bool wine =
      reinterpret_cast<ULONG_PTR>(name) > 0xFFFF && !std::strcmp(name, "wine_get_version");
  return wine ? nullptr : ::GetProcAddress(module, name);
}
TEST(DISABLED_ExitNames, DfsQueryIsMadeWhenNotOnWine) {
  jovtest::EndWithExceptionCodeOnCrash();
  ScopedImportPatch lookup("GetProcAddress", Entry(&HideWine));
  JOV_InternalPath(JOVString(L"\\\\dom\\root\\link\\file"), 1);
}
TEST(UserNames, OutsideWineTheDfsQueryIsMade) {
  JOV_SKIP_ON_EMULATED_LANE("child processes");
  EXPECT_EQ(jovtest::RunAlone("DISABLED_ExitNames.DfsQueryIsMadeWhenNotOnWine").exitCode,
            0x80000100u);
}
