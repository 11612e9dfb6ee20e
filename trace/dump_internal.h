// dump_internal.h - what the hex-dump and heap-report sources share: the column layout of
// dump lines and heap rows, the heap entry record and the steps of a heap report.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "JOVDebug.h"

namespace jov::trace {
// Hex digits of an address: the full pointer, so 8 in the 32-bit build and 16 in the 64-bit
// build. Every column that follows an address moves with it.
inline constexpr unsigned kAddressDigits = sizeof(void*) * 2;
inline constexpr unsigned kBytesPerLine = 16;
inline constexpr unsigned kHexArea = 36;      // four groups of 8 digits and a blank
inline constexpr unsigned kDisplayArea = 16;  // one character per byte
inline constexpr unsigned kLineNoAddress = JOVDebug::HexLineWithoutAddress;
inline constexpr unsigned kLineWithAddress = JOVDebug::HexLineWithAddress;

// Heap rows: an 8-character type, the address, three numbers of 10 columns each behind a
// blank. The dump of a block in use replaces everything after the third number.
inline constexpr unsigned kRowNumbersEnd = 8 + kAddressDigits + 3 * 11;  // 49 or 57
inline constexpr unsigned kRowDumpColumn = kRowNumbersEnd + 1;           // 50 or 58
// Room for the longest row: a region row with two more addresses and two numbers.
inline constexpr unsigned kRowBuffer = 256;
}  // namespace jov::trace

// Writes the address `p` as kAddressDigits upper-case hex digits into `out`; no terminator.
void FormatAddress(const void* p, wchar_t* out);

// One heap entry as HeapWalk reported it, or a run of them merged into one.
struct HeapRecord {
  const unsigned char* start;  // the entry's data (the region itself, for a region)
  unsigned long length;        // data bytes; summed over a merged run
  unsigned long overhead;      // bookkeeping bytes; summed over a merged run
  unsigned char regionIndex;
  unsigned short flags;       // PROCESS_HEAP_* bits
  unsigned long committed;    // region entries only
  unsigned long uncommitted;  // region entries only
  const void* firstBlock;     // region entries only
  const void* lastBlock;      // region entries only: the region's first invalid block

  // Where the next adjacent entry would start.
  std::uintptr_t End() const { return reinterpret_cast<std::uintptr_t>(start) + length + overhead; }
};

namespace jov::trace {
// Records one report holds. The work area is the smallest multiple of the system's 64 KiB
// allocation granularity that holds exactly this many, so the limit on a report's rows is
// the same in both builds whatever the record's size.
inline constexpr std::size_t kRecordCapacity = 2340;
inline constexpr std::size_t kWorkAreaBytes =
    (kRecordCapacity * sizeof(HeapRecord) + 0xFFFF) & ~static_cast<std::size_t>(0xFFFF);

// The records of one report in memory taken from the system, not from a heap, so that the
// walk allocates nothing while the heap is locked. Released on destruction.
class WorkArea {
 public:
  WorkArea();
  ~WorkArea();
  WorkArea(const WorkArea&) = delete;
  WorkArea& operator=(const WorkArea&) = delete;
  HeapRecord* records() const { return records_; }  // null when no memory was had

 private:
  HeapRecord* records_;
};

struct WalkResult {
  std::size_t count;  // records stored
  bool full;          // the walk stopped because the work area was full
};

// Walks `heap` under its lock into `records` (room for kRecordCapacity), keeping the
// entries that `options` and `regionIndex` select and merging runs for the compressed
// report. Formats, writes and allocates nothing; the heap is unlocked on return.
WalkResult WalkHeap(HANDLE heap, unsigned long options, long regionIndex, HeapRecord* records);

// Writes the title, the column header, one row per record (with gap rows and dumps) and
// the end line through the trace object's line writer.
void WriteHeapReport(JOVDebug& d, const HeapRecord* records, const WalkResult& walk,
                     unsigned long options, unsigned long dumpCount);
}  // namespace jov::trace
