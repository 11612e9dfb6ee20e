// heap_report_test_util.h - helpers of the heap-report tests: a report run into a trace
// file of its own and read back, rows parsed by the columns of the report's header, and the
// test's own walk of a heap.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "trace/trace_test_util.h"

namespace heaptest {


constexpr unsigned kDigits = sizeof(void*) * 2;  // address digits in this build
inline const std::string kDetailed = "...>>> Detailed Heap Trace <<<...";
inline const std::string kCompressed = "...>>> Compressed Heap Trace <<<...";
inline const std::string kComplete = "HeapWalk complete.";
inline const std::string kTooSmall = "Trace buffer was too small for entire HeapWalk.";
#ifdef _WIN64
inline const std::string kHeader = "Type               Start     Length   Overhead     Region";
#else
inline const std::string kHeader = "Type       Start     Length   Overhead     Region";
#endif

inline std::string Hex(std::uintptr_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llX", static_cast<int>(kDigits),
                static_cast<unsigned long long>(value));
  return text;
}
inline std::string Hex(const void* p) { return Hex(reinterpret_cast<std::uintptr_t>(p)); }

inline std::string Num(unsigned long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%10llu", value);
  return text;
}

struct Report {
  std::string title, header, end;
  std::vector<std::string> rows;  // everything between the header and the end line
  bool found = false;
};

// The texts of the time-prefixed lines of every trace file in the folder.
inline std::vector<std::string> Texts(const tracetest::ScopedTempDir& dir) {
  std::vector<std::string> texts;
  for (const std::wstring& file : dir.TraceFiles())
    for (const std::string& line : tracetest::ReadLines(file))
      if (tracetest::IsPrefixed(line)) texts.push_back(tracetest::AfterPrefix(line));
  return texts;
}

inline Report FindReport(const std::vector<std::string>& texts) {
  Report r;
  size_t i = 0;
  while (i < texts.size() && texts[i] != kDetailed && texts[i] != kCompressed) ++i;
  if (i + 1 >= texts.size()) return r;
  r.title = texts[i];
  r.header = texts[i + 1];
  for (i += 2; i < texts.size(); ++i) {
    if (texts[i] == kComplete || texts[i] == kTooSmall) {
      r.end = texts[i];
      r.found = true;
      break;
    }
    r.rows.push_back(texts[i]);
  }
  return r;
}

// A report written into a file trace of its own.
inline Report RunReport(HANDLE heap, unsigned long options, unsigned long dumpCount, long region) {
  tracetest::ScopedTempDir dir;
  {
    JOVDebug d;
    tracetest::StartIn(d, dir, L"heap.log");
    d.TraceHeap(heap, options, dumpCount, region);
  }
  return FindReport(Texts(dir));
}

// A row read back by the columns of the header: the address must end under "Start" and each
// number under its word.
struct Row {
  std::string kind;  // the first 8 characters
  std::uintptr_t address = 0;
  unsigned long long length = 0, overhead = 0, region = 0;
};

inline bool NumberEndsAt(const std::string& row, size_t end, unsigned long long& value) {
  if (row.size() <= end || (row.size() > end + 1 && row[end + 1] != ' ')) return false;
  const std::string field = row.substr(end - 9, 10);
  if (row[end - 10] != ' ' || field.find_first_not_of(' ') == std::string::npos) return false;
  const std::string digits = field.substr(field.find_first_not_of(' '));
  if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
  value = std::stoull(digits);
  return true;
}

inline Row Parse(const std::string& row) {
  const size_t startEnd = kHeader.find("Start") + 4;
  Row r;
  r.kind = row.substr(0, 8);
  EXPECT_EQ(startEnd + 1, 8 + kDigits);
  const std::string address = row.substr(8, kDigits);
  EXPECT_EQ(address.find_first_not_of("0123456789ABCDEF"), std::string::npos) << row;
  r.address = static_cast<std::uintptr_t>(std::stoull(address, nullptr, 16));
  if (r.kind == "        ") return r;  // dump continuation: an address only
  EXPECT_TRUE(NumberEndsAt(row, kHeader.find("Length") + 5, r.length)) << row;
  if (r.kind == "-Gap-   ") return r;
  EXPECT_TRUE(NumberEndsAt(row, kHeader.find("Overhead") + 7, r.overhead)) << row;
  EXPECT_TRUE(NumberEndsAt(row, kHeader.find("Region") + 5, r.region)) << row;
  return r;
}

inline std::vector<PROCESS_HEAP_ENTRY> OwnWalk(HANDLE heap) {
  std::vector<PROCESS_HEAP_ENTRY> entries;
  entries.reserve(4096);  // nothing is allocated while the heap is locked
  ::HeapLock(heap);
  PROCESS_HEAP_ENTRY e;
  e.lpData = nullptr;
  while (::HeapWalk(heap, &e)) entries.push_back(e);
  ::HeapUnlock(heap);
  return entries;
}

inline std::string KindOf(unsigned short flags) {
  if (flags & PROCESS_HEAP_REGION) return "Region  ";
  if (flags & PROCESS_HEAP_UNCOMMITTED_RANGE) return "Uncomit ";
  if (flags & PROCESS_HEAP_ENTRY_BUSY) return "Busy    ";
  return "   Free ";
}

inline std::uintptr_t EndOf(const PROCESS_HEAP_ENTRY& e) {
  return reinterpret_cast<std::uintptr_t>(e.lpData) + e.cbData + e.cbOverhead;
}

// Rows other than gap and continuation rows.
inline std::vector<Row> EntryRows(const Report& report) {
  std::vector<Row> rows;
  for (const std::string& text : report.rows) {
    Row r = Parse(text);
    if (r.kind != "-Gap-   " && r.kind != "        ") rows.push_back(r);
  }
  return rows;
}

inline size_t CountKind(const Report& report, const std::string& kind) {
  size_t n = 0;
  for (const std::string& row : report.rows) n += row.compare(0, kind.size(), kind) == 0;
  return n;
}

}  // namespace heaptest
