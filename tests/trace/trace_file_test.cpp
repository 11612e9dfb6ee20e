// trace_file_test.cpp - the trace file: its name from the given name or the program's path,
// its time stamp and counter, starting and stopping, and its lines: header, indentation by
// the routine stack, Push and Pop lines, continuation lines, hex dumps, the virtual-memory
// line and the closing line; the formatting members.
#include "support/test_prelude.h"

#include "trace/trace_files.h"

namespace {

using jovtest::Narrow;
using jovtest::ScopedImportPatch;
using tracetest::Hex;
using tracetest::Lines;
using tracetest::ScratchDir;

// The DLL's performance counter, moved only by the test (in microseconds).
long long now = 0;
BOOL WINAPI FakeCounter(LARGE_INTEGER* count) {
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  count->QuadPart = now * (frequency.QuadPart / 1000000);
  return TRUE;
}

// VirtualQuery answering from a script of regions; an address outside them fails.
struct Region {
  std::uintptr_t base;
  SIZE_T size;
  DWORD state;
};
std::vector<Region> regions;
SIZE_T WINAPI ScriptedVirtualQuery(LPCVOID address, PMEMORY_BASIC_INFORMATION info, SIZE_T size) {
  for (const Region& r : regions)
    if (reinterpret_cast<std::uintptr_t>(address) - r.base < r.size) {
      *info = {};
      info->BaseAddress = reinterpret_cast<void*>(r.base);
      info->RegionSize = r.size;
      info->State = r.state;
      return size;
    }
  return 0;
}

}  // namespace

// The line format itself (clock, interval, date and thread lines) is the differential
// test's; here the lines' texts and indentation. A second start is ignored while the file is
// open, an uncreatable file leaves the object idle, and a copy starts idle.
TEST(TraceLines, ARoutineTracedFromStartToClose) {
  const unsigned char bytes[] = "A-=\0\x7F\xFF ~09zZ\r\n\t.Q";
  const auto at = reinterpret_cast<std::uintptr_t>(bytes);
  ScopedImportPatch clock("QueryPerformanceCounter", &FakeCounter);
  now = 0;  // the object goes before the clock: its closing line too reads the fake
  const Lines shape = tracetest::Traced(
      [&](JOVDebug& trace, const ScratchDir& dir) {
        const std::wstring file = tracetest::TraceFiles(dir).at(0);
        const std::string header = jovtest::ReadLines(file).at(1);
        EXPECT_EQ(header.substr(std::min(header.find("Trace"), header.size())),
                  "Trace Started. UserId=" + Narrow(JOV_GetLogonId().c_str()) +
                      ", ProcessId=" + std::to_string(::GetCurrentProcessId()) + ", ThreadId=" +
                      std::to_string(::GetCurrentThreadId()) + ", Log File=" + Narrow(file));
        std::wstring missing = dir.Join(L"no\\such\\folder");
        JOVDebug idle;
        idle.TraceStop(1);
        idle.TraceStart(&missing[0], 0);
        tracetest::StartIn(trace, dir, L"second");
        trace.TraceStart();
        EXPECT_EQ(std::wstring(trace.GetTracePath().c_str()), dir.Join(L"routine"));
        trace.InsertMsg(L"outside");
        now += 500;
        EXPECT_EQ(trace.RoutinePush(L"Parser", L"Open"), 0);
        JOVDebug copy(trace);
        EXPECT_EQ(idle.TraceAnyActive() + copy.TraceAnyActive() + copy.ShowCallStack().length(),
                  0u);
        now += 12345679;
        EXPECT_EQ(trace.RoutinePushReq(L"Parser", L"ReadBlock", 7), 1);
        trace.InsertMsg(JOVString(L"a\nb"));
        trace.RoutinePush(L"Quiet", L"Level", nullptr, 0);  // no lines for it ...
        trace.RoutinePushReq(L"Inner", L"Inherits", -42);   // ... nor for what inherits its choice
        trace.RoutinePush(L"Loud", L"Again", L"file=a.dat", 1);
        now -= 1500;  // a clock that went back gives a negative duration
        trace.RoutinePop(-1, -1);
        trace.RoutinePop(1, 5);  // the innermost level is silent: no line, both levels go
        EXPECT_EQ(std::wstring(trace.ShowCallStack().c_str()), L"Parser.Open");
        trace.RoutinePop(3, 0);  // not on the stack: a bare line, nothing taken off
        trace.RoutinePop();
        trace.RoutinePop();  // an empty stack writes no line
        trace.HexDump(bytes, 17, L"Seventeen bytes");
        trace.HexDump(bytes, 0);  // an empty line only
        regions = {{0, 0x10000, MEM_FREE},
                   {0x10000, 0x20000, MEM_COMMIT},
                   {0x30000, 0x10000, MEM_RESERVE},
                   {0x40000, 0x10000, MEM_COMMIT}};
        ScopedImportPatch query("VirtualQuery", &ScriptedVirtualQuery);
        trace.TraceVirtualMemUsage(77);
        regions[1].state = 0x4000;
        trace.TraceVirtualMemUsage(78);
      },
      L"routine");
  const std::string indent(4, ' ');
  EXPECT_EQ(
      shape,
      (Lines{"D", "H", "outside", "Push Parser.Open", indent + "Push Parser.ReadBlock  Request=7",
             indent + indent + "a\n" + std::string(34, ' ') + "b",
             std::string(16, ' ') + "Push Loud.Again  file=a.dat",
             std::string(16, ' ') + "Pop  Loud.Again Return Code=-1  Dur=-1.500 msecs",
             indent + "Pop  ", "Pop  Parser.Open  Dur=12344.179 msecs", "", "Seventeen bytes",
             Hex(at) + "  412D3D00 7FFF207E 30397A5A 0D0A092E *A..... ~09zZ....*",
             Hex(at + 16) + "  51" + std::string(34, ' ') + "*Q" + std::string(15, ' ') + "*", "",
             "Virtual memory usage: Free = 65536, Committed = 196608, Reserved = 65536, ID = 77",
             "JOVDebug::TraceVirtualMemUsage found invalid memory state = 16384 (0x4000), "
             "address = 0x10000",
             "Trace Closed."}));
}

// The formatting members write no terminator; a long dump goes in slices; the stack works
// without a trace and grows past its first levels.
TEST(TraceLines, FormattingMembersAndTheStackWithoutTrace) {
  JOVDebug d;
  unsigned char bytes[300];
  std::wstring digits, names;
  for (unsigned i = 0; i < 300; ++i) {
    bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    digits += {L"0123456789ABCDEF"[bytes[i] >> 4], L"0123456789ABCDEF"[bytes[i] & 15]};
  }
  wchar_t buffer[80];
  std::fill(buffer, buffer + 80, L'#');
  d.HexString(bytes, 3, buffer);
  d.HexStringForDWORD(0x00412A30, buffer + 7);
  d.HexStringLine(bytes, 2, buffer + 16, 0);
  EXPECT_EQ(std::wstring(buffer, 71), L"030A11#00412A30#030A" + std::wstring(32, L' ') + L"*.." +
                                          std::wstring(14, L' ') + L"*#");
  EXPECT_EQ(std::wstring(d.HexString(bytes, 300).c_str()) + d.HexStringForDWORD(~0u).c_str(),
            digits + L"FFFFFFFF");
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(d.RoutinePush(L"C", std::to_wstring(i).c_str()), i);
    names += (i ? L";C." : L"C.") + std::to_wstring(i);
  }
  EXPECT_EQ(std::wstring(d.ShowCallStack().c_str()), names);
}

namespace {

std::wstring commandLine;
LPWSTR WINAPI FakeCommandLine() { return &commandLine[0]; }

std::wstring Stamp() {  // "YYMMDD HHMMSS" of the local time
  SYSTEMTIME t;
  ::GetLocalTime(&t);
  wchar_t text[16];
  std::swprintf(text, 16, L"%02u%02u%02u %02u%02u%02u", t.wYear % 100, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond);
  return text;
}

// The names of the files that `starts` starts with `name` make while the program seems to be
// `program`, in a folder of its own ("<dir>" in either stands for it), joined by "|", with the
// stamp as "<stamp>". The starts are repeated when they straddle a second.
std::wstring FilesMadeFor(const std::wstring& program, const wchar_t* name, int starts = 1) {
  for (int attempt = 0; attempt < 5; ++attempt) {
    ScratchDir dir;
    std::wstring given = name ? name : L"", path = program;
    for (std::wstring* s : {&given, &path})
      if (s->find(L"<dir>") != std::wstring::npos) s->replace(s->find(L"<dir>"), 5, dir.path());
    commandLine = L"\"" + path + L"\" -x \"two words\"";
    ScopedImportPatch patch("GetCommandLineW", &FakeCommandLine);
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ::SetCurrentDirectoryW(dir.path().c_str());
    const std::wstring stamp = Stamp();
    for (int i = 0; i < starts; ++i)
      name ? JOVDebug().TraceStart(&given[0], 0) : JOVDebug().TraceStart();
    const bool sameSecond = Stamp() == stamp;
    ::SetCurrentDirectoryW(previous);
    if (!sameSecond) continue;
    std::wstring files;
    for (const std::wstring& entry : dir.Entries(L"*")) {
      std::wstring file = entry.substr(dir.path().size() + 1);
      if (file.compare(0, 13, stamp) == 0) file.replace(0, 13, L"<stamp>");
      files += (files.empty() ? L"" : L"|") + file;
    }
    return files;
  }
  return L"<no starts within one second>";
}

}  // namespace

// Known extensions go from the end only and without regard to case; a bare name's own stays.
TEST(TraceFile, NameFollowsTheGivenNameOrTheProgramAfterTheTimeStamp) {
  const wchar_t* rows[][3] = {
      // the program, the name given, the file
      {L"<dir>\\batch.exe", nullptr, L"<stamp> batch.JOV_Log"},
      {L"<dir>\\batch.exe", L"nightly", L"<stamp> nightly.JOV_Log"},
      {L"<dir>\\batch.exe", L"nightly.log", L"<stamp> nightly.log.JOV_Log"},
      {L"<dir>\\batch.exe", L"<dir>\\run.LOG", L"<stamp> run.JOV_Log"},
      {L"<dir>\\batch.exe", L"<dir>\\run.jov_log", L"<stamp> run.JOV_Log"},
      {L"<dir>\\batch.exe", L"<dir>\\run.exe.x", L"<stamp> run.exe.x.JOV_Log"},
      {L"batch", L"nightly", L"<stamp> batch.JOV_Log"},  // no folder: a bare name is not used
  };
  for (const auto& row : rows)
    EXPECT_EQ(FilesMadeFor(row[0], row[1]), row[2]) << Narrow(row[1] ? row[1] : L"-");
  // A name taken in the same second gets a counter.
  EXPECT_EQ(FilesMadeFor(L"<dir>\\batch.exe", L"same", 3),
            L"<stamp> same 1.JOV_Log|<stamp> same 2.JOV_Log|<stamp> same.JOV_Log");
}
