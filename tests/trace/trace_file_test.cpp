// trace_file_test.cpp - the trace file: its name from the given name or the program's path,
// the time stamp and counter, starting and stopping, and the object's copies.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <string>

#include "trace/trace_files.h"

namespace {

using tracetest::ScratchDir;

std::wstring commandLine;
LPWSTR WINAPI FakeCommandLine() { return &commandLine[0]; }

// The name of the file a start with `name` makes while the program seems to be `program`,
// in a folder of its own ("<dir>" in either stands for it), with the stamp as "<stamp>".
std::wstring FileMadeFor(const std::wstring& program, const wchar_t* name) {
  ScratchDir dir;
  std::wstring given = name ? name : L"", exe = program;
  for (std::wstring* s : {&given, &exe})
    if (s->find(L"<dir>") != std::wstring::npos) s->replace(s->find(L"<dir>"), 5, dir.path());
  commandLine = L"\"" + exe + L"\" -x \"two words\"";
  jovtest::ScopedImportPatch patch("GetCommandLineW", reinterpret_cast<const void*>(&FakeCommandLine));
  JOVDebug trace;
  wchar_t previous[MAX_PATH];
  ::GetCurrentDirectoryW(MAX_PATH, previous);
  ::SetCurrentDirectoryW(dir.path().c_str());
  name ? trace.TraceStart(&given[0], 0) : trace.TraceStart();
  ::SetCurrentDirectoryW(previous);
  trace.TraceStop(0);
  const std::vector<std::wstring> files = dir.Entries(L"*");
  if (files.size() != 1) return L"<" + std::to_wstring(files.size()) + L" files>";
  return std::regex_replace(files[0].substr(dir.path().size() + 1), std::wregex(LR"(^\d{6} \d{6} )"), L"<stamp> ");
}

}  // namespace

TEST(TraceFile, NameFollowsTheGivenNameOrTheProgram) {
  const struct {
    const wchar_t *program, *name, *file;
  } rows[] = {
      {L"<dir>\\batch.exe", nullptr, L"<stamp> batch.JOV_Log"},
      {L"<dir>\\batch.exe", L"", L"<stamp> batch.JOV_Log"},
      {L"<dir>\\batch.exe", L"nightly", L"<stamp> nightly.JOV_Log"},
      {L"<dir>\\batch.exe", L"nightly.log", L"<stamp> nightly.log.JOV_Log"},
      {L"<dir>\\batch.exe", L"<dir>\\run.LOG", L"<stamp> run.JOV_Log"},
      {L"<dir>\\batch.exe", L"<dir>\\run.jov_log", L"<stamp> run.JOV_Log"},
      {L"<dir>\\batch.exe", L"<dir>\\run.exe.x", L"<stamp> run.exe.x.JOV_Log"},
      {L"<dir>\\Tool.EXE", nullptr, L"<stamp> Tool.JOV_Log"},
      {L"<dir>\\tool.cmd", nullptr, L"<stamp> tool.cmd.JOV_Log"},
      {L"batch", L"nightly", L"<stamp> batch.JOV_Log"},  // no folder: a bare name is not used
  };
  for (const auto& row : rows)
    EXPECT_EQ(FileMadeFor(row.program, row.name), row.file) << jovtest::Narrow(row.program) << " "
                                                             << jovtest::Narrow(row.name ? row.name : L"(none)");
}

// The stamp is the local date and time of the opening; a name taken in the same second
// gets a counter.
TEST(TraceFile, StampAndCounter) {
  auto stampOf = [](const SYSTEMTIME& t) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%02u%02u%02u %02u%02u%02u", t.wYear % 100, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    return std::wstring(text);
  };
  for (int attempt = 0; attempt < 5; ++attempt) {  // retried when a second boundary intervenes
    ScratchDir dir;
    SYSTEMTIME before, after;
    ::GetLocalTime(&before);
    for (int i = 0; i < 3; ++i) {
      JOVDebug trace;
      tracetest::StartIn(trace, dir, L"same");
    }
    ::GetLocalTime(&after);
    const std::wstring stamp = stampOf(before);
    if (stamp != stampOf(after)) continue;
    EXPECT_EQ(dir.Entries(L"*"), (std::vector<std::wstring>{dir.Join(stamp + L" same 1.JOV_Log"), dir.Join(stamp + L" same 2.JOV_Log"),
                                                             dir.Join(stamp + L" same.JOV_Log")}));
    return;
  }
  ADD_FAILURE() << "no three starts within one second";
}

TEST(TraceFile, StartStopAndTheObjectsCopies) {
  ScratchDir dir;
  JOVDebug trace, idle;
  trace.TraceStop(1);  // idle: nothing
  std::wstring missing = dir.Join(L"no\\such\\folder");
  trace.TraceStart(&missing[0], 0);  // an uncreatable file leaves the object idle
  EXPECT_EQ(trace.TraceAnyActive(), 0);
  tracetest::StartIn(trace, dir, L"first");
  tracetest::StartIn(trace, dir, L"second");  // ignored while the file is open
  trace.TraceStart();
  EXPECT_EQ(trace.TraceActive() + trace.TraceWrapActive(), 1);
  EXPECT_EQ(std::wstring(trace.GetTracePath().c_str()), dir.Join(L"first"));
  trace.RoutinePush(L"Parser", L"Open");
  JOVDebug copy(trace);  // a copy starts idle; assignment changes nothing
  idle = trace;
  trace = idle;
  EXPECT_EQ(copy.TraceAnyActive() + idle.TraceAnyActive() + copy.ShowCallStack().length(), 0u);
  EXPECT_EQ(std::wstring(trace.ShowCallStack().c_str()), L"Parser.Open");
  trace.InsertMsg(L"last words");
  trace.TraceStop(0);  // without the closing line
  EXPECT_EQ(trace.TraceActive(), 0);
  trace.InsertMsg(L"nowhere");
  EXPECT_EQ(tracetest::Shape(dir).back(), "    last words");
  EXPECT_EQ(dir.Entries(L"*").size(), 1u);
}
