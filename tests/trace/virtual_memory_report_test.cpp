// virtual_memory_report_test.cpp - the virtual-memory line: totals of the real address space,
// exact totals and the invalid-state line from a scripted VirtualQuery, silence when idle.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdint>
#include <regex>
#include <string>
#include <vector>

#include "support/import_patch.h"
#include "trace/trace_test_util.h"

namespace {

struct Region {
  std::uintptr_t base;
  SIZE_T size;
  DWORD state;
};
std::vector<Region> gRegions;
int gQueries = 0;

// Answers from gRegions; an address outside them fails the query.
SIZE_T WINAPI ScriptedVirtualQuery(LPCVOID address, PMEMORY_BASIC_INFORMATION info, SIZE_T size) {
  ++gQueries;
  const auto at = reinterpret_cast<std::uintptr_t>(address);
  for (const Region& r : gRegions) {
    if (at >= r.base && at - r.base < r.size) {
      *info = MEMORY_BASIC_INFORMATION{};
      info->BaseAddress = reinterpret_cast<void*>(r.base);
      info->AllocationBase = info->BaseAddress;
      info->RegionSize = r.size;
      info->State = r.state;
      return size;
    }
  }
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

// The texts the trace object wrote for `report`, without the header and closing lines.
template <typename Report>
std::vector<std::string> Lines(Report report) {
  tracetest::ScopedTempDir dir;
  {
    JOVDebug d;
    tracetest::StartIn(d, dir, L"memory.log");
    report(d);
  }
  std::vector<std::string> texts;
  for (const std::wstring& file : dir.TraceFiles())
    for (const std::string& line : tracetest::ReadLines(file))
      if (tracetest::IsPrefixed(line)) texts.push_back(tracetest::AfterPrefix(line));
  if (!texts.empty()) texts.erase(texts.begin());       // "Trace Started. ..."
  if (!texts.empty() && texts.back() == "Trace Closed.") texts.pop_back();
  return texts;
}

std::vector<std::string> ScriptedLines(const std::vector<Region>& regions, unsigned long id) {
  gRegions = regions;
  jovtest::ScopedImportPatch query("VirtualQuery", reinterpret_cast<const void*>(&ScriptedVirtualQuery));
  return Lines([id](JOVDebug& d) { d.TraceVirtualMemUsage(id); });
}

}  // namespace

TEST(VirtualMemoryReport, TotalsOfTheRealAddressSpaceCoverItWhole) {
  const std::vector<std::string> lines = Lines([](JOVDebug& d) { d.TraceVirtualMemUsage(4242); });
  ASSERT_EQ(lines.size(), 1u);
  static const std::regex totals(
      R"(^Virtual memory usage: Free = (\d+), Committed = (\d+), Reserved = (\d+), ID = 4242$)");
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[0], m, totals)) << lines[0];
  const unsigned long long freeBytes = std::stoull(m[1]), committed = std::stoull(m[2]),
                           reserved = std::stoull(m[3]);
  EXPECT_GT(committed, 0u);
  EXPECT_GT(freeBytes, 0u);
  // Regions follow each other from address 0, so the walk's end is the sum of the three. It
  // reaches at least the highest application address; above it the query fails and the walk
  // ends (a 32-bit process under WoW64 cannot query the last 64 KiB below 0x7FFFFFFF).
  SYSTEM_INFO info;
  ::GetSystemInfo(&info);
  const unsigned long long limit = reinterpret_cast<std::uintptr_t>(info.lpMaximumApplicationAddress);
  EXPECT_GE(freeBytes + committed + reserved, limit);
  EXPECT_LE(freeBytes + committed + reserved, limit + 0x80000000ull);
}

TEST(VirtualMemoryReport, FailedQueryEndsTheWalkWithTheTotalsSoFar) {
  const std::vector<std::string> lines = ScriptedLines({{0x00000, 0x10000, MEM_FREE},
                                                        {0x10000, 0x20000, MEM_COMMIT},
                                                        {0x30000, 0x10000, MEM_RESERVE},
                                                        {0x40000, 0x10000, MEM_COMMIT}},
                                                       77);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Virtual memory usage: Free = 65536, Committed = 196608, Reserved = 65536, ID = 77"}));
}

TEST(VirtualMemoryReport, UnknownRegionStateWritesTheInvalidStateLineInstead) {
  const std::vector<std::string> lines = ScriptedLines(
      {{0x00000, 0x10000, MEM_FREE}, {0x10000, 0x20000, 0x4000}, {0x30000, 0x10000, MEM_COMMIT}}, 5);
  EXPECT_EQ(lines, (std::vector<std::string>{"JOVDebug::TraceVirtualMemUsage found invalid memory "
                                             "state = 16384 (0x4000), address = 0x10000"}));
}

TEST(VirtualMemoryReport, IdleTraceObjectQueriesNothing) {
  gRegions = {{0, 0x10000, MEM_FREE}};
  gQueries = 0;
  jovtest::ScopedImportPatch query("VirtualQuery", reinterpret_cast<const void*>(&ScriptedVirtualQuery));
  JOVDebug d;
  d.TraceVirtualMemUsage(1);
  EXPECT_EQ(gQueries, 0);
}
