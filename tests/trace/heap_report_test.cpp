// heap_report_test.cpp - heap reports of private heaps filled with blocks of known sizes and
// contents, read back from the trace file and checked against the test's own walk of the heap.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "support/lane.h"
#include "trace/heap_report_test_util.h"

using namespace heaptest;

namespace {

// A private heap with blocks of known sizes and contents; block `freed` is given back.
class PrivateHeap : public ::testing::Test {
 protected:
  void SetUp() override {
    heap = ::HeapCreate(0, 0, 0);
    ASSERT_NE(heap, nullptr);
    hello = Alloc(24, "Hello, world\0\0\0\0ABCDwxyz");
    forty = Alloc(40, "");
    for (int i = 0; i < 40; ++i) forty[i] = static_cast<char>('a' + i % 26);
    freed = Alloc(100, "");
    empty = Alloc(0, "");
    five = Alloc(5, "ABCDE");
    ::HeapFree(heap, 0, freed);
  }
  void TearDown() override { ::HeapDestroy(heap); }

  char* Alloc(size_t size, const char* content) {
    auto* p = static_cast<char*>(::HeapAlloc(heap, 0, size));
    std::memcpy(p, content, std::strlen(content) ? size : 0);
    return p;
  }

  // The test's own view of the entry whose data start at `data` (lpData null if none).
  PROCESS_HEAP_ENTRY OwnEntry(const void* data) {
    for (const PROCESS_HEAP_ENTRY& e : OwnWalk(heap))
      if (e.lpData == data) return e;
    PROCESS_HEAP_ENTRY none{};
    return none;
  }

  HANDLE heap = nullptr;
  char *hello = nullptr, *forty = nullptr, *freed = nullptr, *empty = nullptr, *five = nullptr;
};

}  // namespace

TEST_F(PrivateHeap, DetailedReportHasOneRowPerEntryUnderTheHeader) {
  const Report report = RunReport(heap, 0, 0, -1);
  ASSERT_TRUE(report.found);
  EXPECT_EQ(report.title, kDetailed);
  EXPECT_EQ(report.header, kHeader);
  EXPECT_EQ(report.end, kComplete);

  const std::vector<PROCESS_HEAP_ENTRY> entries = OwnWalk(heap);
  const std::vector<Row> rows = EntryRows(report);
  ASSERT_EQ(rows.size(), entries.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].kind, KindOf(entries[i].wFlags)) << i;
    EXPECT_EQ(rows[i].address, reinterpret_cast<std::uintptr_t>(entries[i].lpData)) << i;
    EXPECT_EQ(rows[i].length, entries[i].cbData) << i;
    EXPECT_EQ(rows[i].overhead, entries[i].cbOverhead) << i;
    EXPECT_EQ(rows[i].region, entries[i].iRegionIndex) << i;
  }
  const PROCESS_HEAP_ENTRY e = OwnEntry(hello);
  ASSERT_NE(e.lpData, nullptr);
  const std::string helloRow = "Busy    " + Hex(hello) + " " + Num(24) + " " +
                               Num(e.cbOverhead) + " " + Num(0) + " Flags=0x4";
  EXPECT_NE(std::find(report.rows.begin(), report.rows.end(), helloRow), report.rows.end());
  EXPECT_GE(CountKind(report, "   Free "), 1u);
  EXPECT_EQ(CountKind(report, "Region  "), 1u);
}

TEST_F(PrivateHeap, GapRowsSpanExactlyTheSpaceBetweenRecordsThatDoNotTouch) {
  const Report report = RunReport(heap, 0, 0, -1);
  ASSERT_TRUE(report.found);
  ASSERT_FALSE(report.rows.empty());
  EXPECT_NE(report.rows[0].compare(0, 5, "-Gap-"), 0);
  std::uintptr_t previousEnd = 0;
  bool gapPending = false;
  std::uintptr_t gapEnd = 0;
  for (const std::string& text : report.rows) {
    const Row r = Parse(text);
    if (r.kind == "-Gap-   ") {
      EXPECT_EQ(r.address, previousEnd) << text;
      gapPending = true;
      gapEnd = r.address + static_cast<std::uintptr_t>(r.length);
      continue;
    }
    if (gapPending) {
      EXPECT_EQ(gapEnd, r.address) << text;
    } else if (previousEnd != 0) {
      EXPECT_GE(previousEnd, r.address) << "missing gap before " << text;
    }
    gapPending = false;
    previousEnd = r.address + r.length + r.overhead;
  }
}

TEST_F(PrivateHeap, CompressedReportSumsRunsOfAdjacentBlocksInUse) {
  const PROCESS_HEAP_ENTRY a = OwnEntry(hello);
  const PROCESS_HEAP_ENTRY b = OwnEntry(forty);
  ASSERT_TRUE(a.lpData && b.lpData);
  ASSERT_EQ(EndOf(a), reinterpret_cast<std::uintptr_t>(forty)) << "blocks not adjacent";
  const unsigned long overheads = a.cbOverhead + b.cbOverhead;

  for (unsigned long options : {0x1ul, 0x3ul}) {
    const Report report = RunReport(heap, options, 0, -1);
    ASSERT_TRUE(report.found);
    EXPECT_EQ(report.title, kCompressed);
    EXPECT_EQ(report.end, kComplete);
    const std::string expected = "Busy    " + Hex(hello) + " " + Num(64) + " " + Num(overheads) +
                                 " " + Num(0) + " Flags=0x4";
    EXPECT_NE(std::find(report.rows.begin(), report.rows.end(), expected), report.rows.end())
        << "options " << options;
    // The block that follows inside the run has no row of its own.
    for (const Row& r : EntryRows(report)) EXPECT_NE(r.address, reinterpret_cast<std::uintptr_t>(forty));
    // No two rows left that should have been one.
    const std::vector<Row> rows = EntryRows(report);
    for (size_t i = 1; i < rows.size(); ++i)
      EXPECT_FALSE(rows[i].kind == rows[i - 1].kind &&
                   rows[i].address == rows[i - 1].address + rows[i - 1].length + rows[i - 1].overhead)
          << "row " << i << " continues the run before it";
  }
}

TEST_F(PrivateHeap, BusyOnlyOptionLeavesOutFreeUncommittedAndGapRows) {
  const Report full = RunReport(heap, 0, 0, -1);
  ASSERT_GE(CountKind(full, "   Free ") + CountKind(full, "Uncomit ") + CountKind(full, "-Gap-   "), 1u);

  const Report report = RunReport(heap, 0x2, 0, -1);
  ASSERT_TRUE(report.found);
  EXPECT_EQ(report.title, kDetailed);
  EXPECT_EQ(CountKind(report, "   Free "), 0u);
  EXPECT_EQ(CountKind(report, "Uncomit "), 0u);
  EXPECT_EQ(CountKind(report, "-Gap-   "), 0u);
  EXPECT_EQ(CountKind(report, "Region  "), CountKind(full, "Region  "));
  EXPECT_EQ(CountKind(report, "Busy    "), CountKind(full, "Busy    "));
  EXPECT_EQ(report.rows.size(), CountKind(full, "Region  ") + CountKind(full, "Busy    "));
}

TEST_F(PrivateHeap, RegionIndexThatMatchesNothingLeavesOnlyTitleHeaderAndEnd) {
  const Report report = RunReport(heap, 0, 0, 300);
  ASSERT_TRUE(report.found);
  EXPECT_EQ(report.header, kHeader);
  EXPECT_TRUE(report.rows.empty());
  EXPECT_EQ(report.end, kComplete);
}

TEST_F(PrivateHeap, DumpRowsShowTheFirstBytesOfBlocksInUse) {
  JOV_REQUIRE_PROCESS_MEMORY_READS();
  const PROCESS_HEAP_ENTRY a = OwnEntry(hello);
  ASSERT_NE(a.lpData, nullptr);
  const Report report = RunReport(heap, 0, 20, -1);
  ASSERT_TRUE(report.found);
  const std::string numbers = Num(24) + " " + Num(a.cbOverhead) + " " + Num(0);
  const std::string first = "Busy    " + Hex(hello) + " " + numbers +
                            " 48656C6C 6F2C2077 6F726C64 00000000 *Hello, world....*";
  const std::string second = "        " + Hex(hello + 16) + std::string(34, ' ') +
                             "41424344                            *ABCD            *";
  EXPECT_EQ(first.size(), 104u + (kDigits - 8));
  auto at = std::find(report.rows.begin(), report.rows.end(), first);
  ASSERT_NE(at, report.rows.end());
  ASSERT_NE(at + 1, report.rows.end());
  EXPECT_EQ(*(at + 1), second);

  // Shorter than the dump count: only its own 5 bytes; 0 bytes: an empty dump part.
  const std::string fiveDump = " 41424344 45                         *ABCDE           *";
  const std::string emptyDump = " " + std::string(36, ' ') + "*" + std::string(16, ' ') + "*";
  bool sawFive = false, sawEmpty = false;
  for (const std::string& row : report.rows) {
    const Row r = Parse(row);
    if (r.kind != "Busy    ") continue;
    EXPECT_EQ(row.find("Flags="), std::string::npos) << row;  // the dump replaces the flags
    const std::string dump = row.substr(8 + kDigits + 33);
    if (r.address == reinterpret_cast<std::uintptr_t>(five)) sawFive = dump == fiveDump;
    if (r.address == reinterpret_cast<std::uintptr_t>(empty)) sawEmpty = dump == emptyDump;
  }
  EXPECT_TRUE(sawFive);
  EXPECT_TRUE(sawEmpty);
}

TEST_F(PrivateHeap, DumpLongerThanSixteenBytesContinuesWithTheAddressOfEachLine) {
  JOV_REQUIRE_PROCESS_MEMORY_READS();
  const Report report = RunReport(heap, 0, 100, -1);
  ASSERT_TRUE(report.found);
  const std::string prefix = "Busy    " + Hex(forty) + " ";
  auto at = std::find_if(report.rows.begin(), report.rows.end(),
                         [&](const std::string& r) { return r.compare(0, prefix.size(), prefix) == 0; });
  ASSERT_NE(at, report.rows.end());
  ASSERT_GE(report.rows.end() - at, 3);
  // 40 bytes: 16, 16 and 8, the last two on continuation rows.
  EXPECT_EQ(at[0].substr(8 + kDigits + 34), "61626364 65666768 696A6B6C 6D6E6F70 *abcdefghijklmnop*");
  EXPECT_EQ(at[1], "        " + Hex(forty + 16) + std::string(34, ' ') +
                       "71727374 75767778 797A6162 63646566 *qrstuvwxyzabcdef*");
  EXPECT_EQ(at[2], "        " + Hex(forty + 32) + std::string(34, ' ') +
                       "6768696A 6B6C6D6E                   *ghijklmn        *");
}

TEST(HeapReportLimit, WalkThatFillsTheWorkAreaSaysSoAndMergingMakesRoom) {
  HANDLE heap = ::HeapCreate(0, 0, 0);
  ASSERT_NE(heap, nullptr);
  for (int i = 0; i < 2400; ++i) ASSERT_NE(::HeapAlloc(heap, 0, 16), nullptr);

  const Report detailed = RunReport(heap, 0, 0, -1);
  ASSERT_TRUE(detailed.found);
  EXPECT_EQ(EntryRows(detailed).size(), 2340u);
  EXPECT_EQ(detailed.end, kTooSmall);

  // Counted after merging: the run of blocks in use becomes a few records.
  const Report compressed = RunReport(heap, 0x1, 0, -1);
  ASSERT_TRUE(compressed.found);
  EXPECT_LT(EntryRows(compressed).size(), 100u);
  EXPECT_EQ(compressed.end, kComplete);
  ::HeapDestroy(heap);
}

TEST(HeapReportDefaultHeap, NullHeapWalksTheProcessHeap) {
  void* block = ::HeapAlloc(::GetProcessHeap(), 0, 12345);
  ASSERT_NE(block, nullptr);
  const Report report = RunReport(nullptr, 0x2, 0, -1);
  ::HeapFree(::GetProcessHeap(), 0, block);
  ASSERT_TRUE(report.found);
  bool seen = false;
  for (const Row& r : EntryRows(report))
    seen |= r.address == reinterpret_cast<std::uintptr_t>(block) && r.length == 12345;
  EXPECT_TRUE(seen);
}
