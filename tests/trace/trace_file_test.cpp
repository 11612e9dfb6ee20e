// trace_file_test.cpp - the trace file: its name, its opening and closing lines, and the
// starting and stopping of a file trace.
#include "trace/trace_test_util.h"

#include "support/import_patch.h"

using tracetest::ReadLines;
using tracetest::ScopedTempDir;
using tracetest::StartIn;

namespace {

std::wstring fakeCommandLine;
LPWSTR WINAPI FakeGetCommandLineW() { return &fakeCommandLine[0]; }

// The file a start with `name` creates while the program seems to be `program`; "" when
// none was made. The time stamp is checked against the clock around the start.
std::wstring FileMadeFor(const ScopedTempDir& dir, const std::wstring& program,
                         const wchar_t* name) {
  fakeCommandLine = L"\"" + program + L"\" -x \"two words\"";
  jovtest::ScopedImportPatch patch("GetCommandLineW", reinterpret_cast<void*>(&FakeGetCommandLineW));
  const auto before = dir.TraceFiles();
  JOVDebug trace;
  if (name == nullptr) {
    trace.TraceStart();
  } else {
    std::wstring copy(name);
    trace.TraceStart(&copy[0], 0);
  }
  trace.TraceStop(1);
  for (const std::wstring& file : dir.TraceFiles()) {
    if (std::find(before.begin(), before.end(), file) == before.end()) return file;
  }
  return L"";
}

// The file name without its folder, with the time stamp replaced by "<stamp>".
std::wstring Shape(const std::wstring& file) {
  const std::wstring name = file.substr(file.rfind(L'\\') + 1);
  static const std::wregex stamp(LR"(^\d{6} \d{6} )");
  return std::regex_replace(name, stamp, L"<stamp> ");
}

}  // namespace

// Each start gets a folder of its own, so that no counter enters the names compared.
// "<dir>" in the name stands for that folder.
std::wstring ShapeFor(const std::wstring& program, const wchar_t* name) {
  ScopedTempDir dir;
  std::wstring given = name == nullptr ? L"" : name;
  const size_t at = given.find(L"<dir>");
  if (at != std::wstring::npos) given.replace(at, 5, dir.path());
  return Shape(FileMadeFor(dir, dir.Join(program), name == nullptr ? nullptr : given.c_str()));
}

TEST(TraceFileName, FollowsTheGivenNameOrTheProgram) {
  EXPECT_EQ(ShapeFor(L"batch.exe", nullptr), L"<stamp> batch.JOV_Log");
  EXPECT_EQ(ShapeFor(L"batch.exe", L""), L"<stamp> batch.JOV_Log");
  EXPECT_EQ(ShapeFor(L"batch.exe", L"nightly"), L"<stamp> nightly.JOV_Log");
  EXPECT_EQ(ShapeFor(L"batch.exe", L"nightly.log"), L"<stamp> nightly.log.JOV_Log");
  EXPECT_EQ(ShapeFor(L"batch.exe", L"<dir>\\run.log"), L"<stamp> run.JOV_Log");
  EXPECT_EQ(ShapeFor(L"batch.exe", L"<dir>\\run.JOV_Log"), L"<stamp> run.JOV_Log");
  EXPECT_EQ(ShapeFor(L"batch.exe", L"<dir>\\run.jov_log"), L"<stamp> run.JOV_Log");
  EXPECT_EQ(ShapeFor(L"Tool.EXE", nullptr), L"<stamp> Tool.JOV_Log");
  EXPECT_EQ(ShapeFor(L"tool.cmd", nullptr), L"<stamp> tool.cmd.JOV_Log");
}

TEST(TraceFileName, StampIsTheLocalDateAndTimeOfTheOpening) {
  ScopedTempDir dir;
  SYSTEMTIME before, after;
  ::GetLocalTime(&before);
  const std::wstring file = FileMadeFor(dir, dir.Join(L"batch.exe"), L"stamped");
  ::GetLocalTime(&after);
  auto stampOf = [](const SYSTEMTIME& t) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%02u%02u%02u %02u%02u%02u", t.wYear % 100, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return std::wstring(text);
  };
  const std::wstring stamp = file.substr(file.rfind(L'\\') + 1, 13);
  EXPECT_GE(stamp, stampOf(before));
  EXPECT_LE(stamp, stampOf(after));
}

TEST(TraceFileName, SameNameInTheSameSecondGetsACounter) {
  ScopedTempDir dir;
  const std::wstring program = dir.Join(L"batch.exe");
  // Three starts within one second are very likely; retry if a second boundary intervened.
  for (int attempt = 0; attempt < 5; ++attempt) {
    const std::wstring first = FileMadeFor(dir, program, nullptr);
    const std::wstring second = FileMadeFor(dir, program, nullptr);
    const std::wstring third = FileMadeFor(dir, program, nullptr);
    const std::wstring stem = first.substr(0, first.size() - 8);
    if (second.substr(0, stem.size()) != stem || third.substr(0, stem.size()) != stem) continue;
    EXPECT_EQ(second, stem + L" 1.JOV_Log");
    EXPECT_EQ(third, stem + L" 2.JOV_Log");
    return;
  }
  ADD_FAILURE() << "no three starts within one second";
}

TEST(TraceFileName, ProgramWithoutFolderIgnoresABareNameAndUsesTheCurrentFolder) {
  ScopedTempDir dir;
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ::SetCurrentDirectoryW(dir.path().c_str());
  const std::wstring file = FileMadeFor(dir, L"batch", L"nightly");
  ::SetCurrentDirectoryW(previous);
  EXPECT_EQ(Shape(file), L"<stamp> batch.JOV_Log");
}

TEST(TraceFileContent, BeginsWithDateAndHeaderAndEndsWithTraceClosed) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartIn(trace, dir, L"header");
  ASSERT_EQ(trace.TraceActive(), 1);
  trace.InsertMsg(L"body");
  trace.TraceStop(1);
  EXPECT_EQ(trace.TraceActive(), 0);

  const auto files = dir.TraceFiles();
  ASSERT_EQ(files.size(), 1u);
  const auto lines = ReadLines(files[0]);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], tracetest::DateLine());
  ASSERT_TRUE(tracetest::IsPrefixed(lines[1]));
  char expected[512];
  std::snprintf(expected, sizeof expected,
                "Trace Started. UserId=%s, ProcessId=%lu, ThreadId=%lu, Log File=%s",
                tracetest::Narrow(JOV_GetLogonId().c_str()).c_str(), ::GetCurrentProcessId(),
                ::GetCurrentThreadId(), tracetest::Narrow(files[0]).c_str());
  EXPECT_EQ(tracetest::AfterPrefix(lines[1]), expected);
  EXPECT_EQ(tracetest::AfterPrefix(lines[2]), "body");
  EXPECT_TRUE(tracetest::IsPrefixed(lines[3]));
  EXPECT_EQ(tracetest::AfterPrefix(lines[3]), "Trace Closed.");
}

TEST(TraceFileContent, StopWithZeroWritesNothingMore) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartIn(trace, dir, L"quiet");
  trace.InsertMsg(L"last words");
  trace.TraceStop(0);
  const auto lines = ReadLines(dir.TraceFiles().at(0));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(tracetest::AfterPrefix(lines[2]), "last words");
}

TEST(TraceFileContent, DestroyingAnOpenTraceClosesItWithTraceClosed) {
  ScopedTempDir dir;
  {
    JOVDebug trace;
    StartIn(trace, dir, L"scoped");
    trace.InsertMsg(L"inside");
  }
  const auto lines = ReadLines(dir.TraceFiles().at(0));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(tracetest::AfterPrefix(lines.back()), "Trace Closed.");
}

TEST(TraceStartStop, SecondStartWhileOpenIsIgnored) {
  ScopedTempDir dir;
  JOVDebug trace;
  StartIn(trace, dir, L"first");
  StartIn(trace, dir, L"second");
  trace.TraceStart();
  trace.TraceStop(1);
  const auto files = dir.TraceFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_NE(files[0].find(L"first"), std::wstring::npos);
  EXPECT_EQ(ReadLines(files[0]).size(), 3u);  // date, header, closing line
  EXPECT_EQ(tracetest::Narrow(trace.GetTracePath().c_str()), tracetest::Narrow(dir.Join(L"first")));
}

TEST(TraceStartStop, StopOnAnIdleObjectDoesNothing) {
  JOVDebug trace;
  trace.TraceStop(1);
  trace.TraceStop(0);
  EXPECT_EQ(trace.TraceAnyActive(), 0);
}

TEST(TraceStartStop, UncreatableFileLeavesTheObjectIdle) {
  ScopedTempDir dir;
  JOVDebug trace;
  std::wstring path = dir.Join(L"missing\\folder\\name");
  trace.TraceStart(&path[0], 0);
  EXPECT_EQ(trace.TraceAnyActive(), 0);
  trace.InsertMsg(L"goes nowhere");
  EXPECT_TRUE(dir.Files(L"*").empty());
}

TEST(TraceStartStop, GetTracePathReturnsTheNameNotTheFile) {
  ScopedTempDir dir;
  JOVDebug trace;
  EXPECT_TRUE(trace.GetTracePath().empty());
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ::SetCurrentDirectoryW(dir.path().c_str());
  wchar_t name[] = L"nightly";
  trace.TraceStart(name, 4096);  // a wrap trace: no file needed for the name
  ::SetCurrentDirectoryW(previous);
  EXPECT_EQ(std::wstring(trace.GetTracePath().c_str()), L"nightly");
}

TEST(TraceObjectCopy, CopyIsIdleAndAssignmentChangesNothing) {
  ScopedTempDir dir;
  JOVDebug source;
  StartIn(source, dir, L"source");
  source.RoutinePush(L"Parser", L"Open");
  JOVDebug copy(source);
  EXPECT_EQ(copy.TraceAnyActive(), 0);
  EXPECT_TRUE(copy.ShowCallStack().empty());
  EXPECT_TRUE(copy.GetTracePath().empty());

  JOVDebug target;
  target = source;
  EXPECT_EQ(target.TraceAnyActive(), 0);
  source = target;
  EXPECT_EQ(source.TraceActive(), 1);
  EXPECT_EQ(std::wstring(source.ShowCallStack().c_str()), L"Parser.Open");
  source.TraceStop(1);
}
