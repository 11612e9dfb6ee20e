// trace_lines_test.cpp - the lines of a file trace: date and header, the interval column,
// indentation by the routine stack, Push and Pop lines, continuation lines, hex dumps, the
// virtual-memory line and the closing line.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "trace/trace_files.h"

namespace {

using tracetest::ScratchDir;

std::string Hex(const void* p) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llX", int(2 * sizeof p),
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(p)));
  return text;
}

// A line as Lines() shows it: the interval in 8 columns, a blank, 4 blanks per level.
std::string Line(const char* interval, int depth, const std::string& text) {
  return std::string(8 - std::min<size_t>(8, std::strlen(interval)), ' ') + interval + " " +
         std::string(4 * depth, ' ') + text;
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

TEST(TraceLines, ARoutineTracedFromStartToClose) {
  ScratchDir dir;
  const unsigned char bytes[17] = {'A', '-', '=', 0, 0x7F, 0xFF, ' ', '~', '0', '9', 'z', 'Z', '\r', '\n', '\t', '.', 'Q'};
  {
    tracetest::FakeClock clock;  // until the trace object is gone: its closing line too
    long long& now = tracetest::fakeMicroseconds = 0;
    JOVDebug trace;
    tracetest::StartIn(trace, dir, L"routine");
    trace.InsertMsg(L"outside");
    now += 500;
    EXPECT_EQ(trace.RoutinePush(L"Parser", L"Open"), 0);
    now += 12345679;
    EXPECT_EQ(trace.RoutinePushReq(L"Parser", L"ReadBlock", 7), 1);
    trace.InsertMsg(JOVString(L"a\nb"));
    trace.RoutinePush(L"Quiet", L"Level", nullptr, 0);  // no lines for it ...
    trace.RoutinePushReq(L"Inner", L"Inherits", -42);   // ... nor for what inherits its choice
    trace.RoutinePush(L"Loud", L"Again", L"file=a.dat", 1);
    now -= 1500;  // a clock that went back shows as a negative interval
    trace.RoutinePop(-1, -1);
    trace.RoutinePop(1, 5);  // the innermost level is silent: no line, both levels go
    EXPECT_EQ(std::wstring(trace.ShowCallStack().c_str()), L"Parser.Open");
    now += 2000;
    trace.RoutinePop(3, 0);  // not on the stack: a bare line, nothing taken off
    trace.RoutinePop();
    trace.RoutinePop();  // an empty stack writes no line
    trace.HexDump(bytes, 17, L"Seventeen bytes");
    trace.HexDump(bytes, 0);  // an empty line only
    regions = {{0, 0x10000, MEM_FREE}, {0x10000, 0x20000, MEM_COMMIT}, {0x30000, 0x10000, MEM_RESERVE}, {0x40000, 0x10000, MEM_COMMIT}};
    jovtest::ScopedImportPatch query("VirtualQuery", reinterpret_cast<const void*>(&ScriptedVirtualQuery));
    trace.TraceVirtualMemUsage(77);
    regions[1].state = 0x4000;
    trace.TraceVirtualMemUsage(78);
  }
  char header[512];
  std::snprintf(header, sizeof header, "Trace Started. UserId=%s, ProcessId=%lu, ThreadId=%lu, Log File=%s",
                jovtest::Narrow(JOV_GetLogonId().c_str()).c_str(), ::GetCurrentProcessId(),
                ::GetCurrentThreadId(), jovtest::Narrow(tracetest::TraceFiles(dir).at(0)).c_str());
  const std::vector<std::string> expected = {
      tracetest::DateLine(),
      Line("0.000", 0, "outside"),
      Line("0.500", 0, "Push Parser.Open"),
      Line("12345.679", 1, "Push Parser.ReadBlock  Request=7"),
      Line("0.000", 2, "a\n" + std::string(34, ' ') + "b"),
      Line("0.000", 4, "Push Loud.Again  file=a.dat"),
      Line("-1.500", 4, "Pop  Loud.Again Return Code=-1  Dur=-1.500 msecs"),
      Line("2.000", 1, "Pop  "),
      Line("0.000", 0, "Pop  Parser.Open  Dur=12346.179 msecs"),
      Line("0.000", 0, ""),
      Line("0.000", 0, "Seventeen bytes"),
      Line("0.000", 0, Hex(bytes) + "  412D3D00 7FFF207E 30397A5A 0D0A092E *A..... ~09zZ....*"),
      Line("0.000", 0, Hex(bytes + 16) + "  51" + std::string(34, ' ') + "*Q" + std::string(15, ' ') + "*"),
      Line("0.000", 0, ""),
      Line("0.000", 0, "Virtual memory usage: Free = 65536, Committed = 196608, Reserved = 65536, ID = 77"),
      Line("0.000", 0, "JOVDebug::TraceVirtualMemUsage found invalid memory state = 16384 (0x4000), address = 0x10000"),
      Line("0.000", 0, "Trace Closed."),
  };
  std::vector<std::string> lines = tracetest::Lines(dir);
  ASSERT_EQ(lines.size(), expected.size() + 1);
  EXPECT_EQ(lines[1].substr(std::min(lines[1].find('T'), lines[1].size())), header);
  lines.erase(lines.begin() + 1);
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(lines[i], expected[i]) << "line " << i;
}

TEST(TraceLines, FormattingMembersAndTheStackWithoutTrace) {
  JOVDebug d;
  const unsigned char three[] = {0x01, 0xAB, 0xFF};
  std::vector<unsigned char> long300(300);
  std::string digits300;
  for (size_t i = 0; i < 300; ++i) {
    long300[i] = static_cast<unsigned char>(i * 7 + 3);
    char two[3];
    std::snprintf(two, sizeof two, "%02X", long300[i]);
    digits300 += two;
  }
  wchar_t buffer[80];
  std::fill(buffer, buffer + 80, L'#');
  d.HexString(three, 3, buffer);
  d.HexStringForDWORD(0x00412A30, buffer + 7);
  EXPECT_EQ(std::wstring(buffer, 16), L"01ABFF#00412A30#");
  EXPECT_EQ(jovtest::Narrow(d.HexString(long300.data(), 300).c_str()), digits300);
  EXPECT_TRUE(d.HexString(three, 0).empty());
  EXPECT_STREQ(d.HexStringForDWORD(0xFFFFFFFF).c_str(), L"FFFFFFFF");
  std::fill(buffer, buffer + 80, L'#');
  d.HexStringLine(const_cast<unsigned char*>(three), 3, buffer, 0);  // no address, no zero
  EXPECT_EQ(std::wstring(buffer, 55), L"01ABFF" + std::wstring(30, L' ') + L"*...             *#");
  // The stack works without a trace and grows past its first 20 levels.
  std::wstring names;
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(d.RoutinePush(L"C", std::to_wstring(i).c_str()), i);
    names += (i ? L";C." : L"C.") + std::to_wstring(i);
  }
  EXPECT_EQ(std::wstring(d.ShowCallStack().c_str()), names);
  d.RoutinePop(1);
  EXPECT_EQ(std::wstring(d.ActiveRoutine().c_str()), L"C.0");
  d.RoutinePop(5);  // above the innermost: nothing changes
  EXPECT_EQ(d.RoutinePush(L"", L"again"), 1);
  EXPECT_EQ(std::wstring(d.ShowCallStack().c_str()), L"C.0;.again");
  d.RoutinePop(0);
  EXPECT_TRUE(d.ShowCallStack().empty() && d.ActiveRoutine().empty());
}
