// heap_report_rows.cpp - the heap report's text: title, column header, one row per record
// with gap rows between records that do not touch, dumps of the blocks in use, end line.
//
// Rows are fixed columns: an 8-character type, the address (8 digits, 16 in the 64-bit
// build), then length, overhead and region index in 10 columns each. Numbers that can
// pass 32 bits in the 64-bit build (gaps) are printed in full.
#include <cwchar>

#include "trace/dump_internal.h"
#include "trace/trace_format.h"

namespace jov::trace {
namespace {

using namespace jov::trace;

using jov::trace::format::wide::kHeapEndComplete;
using jov::trace::format::wide::kHeapEndFull;
using jov::trace::format::wide::kHeapTitleCompressed;
using jov::trace::format::wide::kHeapTitleDetailed;

// Columns of a row's type word before the moveable ("M") and shared ("D") marks.
constexpr unsigned kMoveableColumn = 4;
constexpr unsigned kSharedColumn = 5;

// An address as a zero-terminated text of kAddressDigits digits.
struct AddressText {
  wchar_t digits[kAddressDigits + 1];
  explicit AddressText(const void* p) {
    FormatAddress(p, digits);
    digits[kAddressDigits] = L'\0';
  }
};

// "Type" and "Start" placed so that "Start" ends where the address ends, the other words
// where their numbers end.
void WriteColumnHeader(JOVDebug& d) {
  wchar_t header[kRowBuffer];
  std::swprintf(header, kRowBuffer, L"Type%*ls     Length   Overhead     Region",
                static_cast<int>(kAddressDigits + 4), L"Start");
  d.InsertMsg(header);
}

void FormatGap(wchar_t* row, std::uintptr_t previousEnd, std::uintptr_t start) {
  std::swprintf(row, kRowBuffer, L"-Gap-   %ls %10llu",
                AddressText(reinterpret_cast<const void*>(previousEnd)).digits,
                static_cast<unsigned long long>(start - previousEnd));
}

// The row of a record, chosen by its first kind flag: region, uncommitted range, in use;
// none of them is a free block.
void FormatRow(wchar_t* row, const HeapRecord& r) {
  const AddressText start(r.start);
  const unsigned region = r.regionIndex;
  if (r.flags & PROCESS_HEAP_REGION) {
    std::swprintf(row, kRowBuffer,
                  L"Region  %ls %10lu %10lu %10u Committed=%lu, Uncommitted=%lu, "
                  L"FirstBlock=%ls, InvalidBlock=%ls",
                  start.digits, r.length, r.overhead, region, r.committed, r.uncommitted,
                  AddressText(r.firstBlock).digits, AddressText(r.lastBlock).digits);
  } else if (r.flags & PROCESS_HEAP_UNCOMMITTED_RANGE) {
    std::swprintf(row, kRowBuffer, L"Uncomit %ls %10lu %10lu %10u", start.digits, r.length,
                  r.overhead, region);
  } else if (r.flags & PROCESS_HEAP_ENTRY_BUSY) {
    std::swprintf(row, kRowBuffer, L"Busy    %ls %10lu %10lu %10u Flags=0x%x", start.digits,
                  r.length, r.overhead, region, static_cast<unsigned>(r.flags));
    if (r.flags & PROCESS_HEAP_ENTRY_MOVEABLE) row[kMoveableColumn] = L'M';
    if (r.flags & PROCESS_HEAP_ENTRY_DDESHARE) row[kSharedColumn] = L'D';
  } else {
    std::swprintf(row, kRowBuffer, L"   Free %ls %10lu %10lu %10u", start.digits, r.length,
                  r.overhead, region);
  }
}

// Puts a dump line (without address) of `count` bytes behind the row's numbers, in place
// of whatever followed them.
void PlaceDump(JOVDebug& d, wchar_t* row, unsigned char* bytes, unsigned long count) {
  row[kRowNumbersEnd] = L' ';
  d.HexStringLine(bytes, count, row + kRowDumpColumn, 0);
  row[kRowDumpColumn + kLineNoAddress] = L'\0';
}

// Whether every page of [from, from + count) is committed and readable. A block was found
// while the heap was locked and may have been freed, its pages given back, since.
bool Readable(const unsigned char* from, unsigned long count) {
  constexpr DWORD kReadable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                              PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
  const unsigned char* end = from + count;
  for (const unsigned char* p = from; p < end;) {
    MEMORY_BASIC_INFORMATION m;
    if (::VirtualQuery(p, &m, sizeof m) == 0 || m.State != MEM_COMMIT ||
        (m.Protect & (PAGE_GUARD | PAGE_NOACCESS)) || !(m.Protect & kReadable))
      return false;
    p = static_cast<const unsigned char*>(m.BaseAddress) + m.RegionSize;
  }
  return true;
}

// Copies up to 16 bytes of a block into `out`. Reading through the system rather than
// directly turns a block freed after the check above into a failed read, not a fault.
bool ReadBlockBytes(const unsigned char* from, unsigned long count, unsigned char* out) {
  if (count == 0) return true;
  SIZE_T got = 0;
  return ::ReadProcessMemory(::GetCurrentProcess(), from, out, count, &got) && got == count;
}

// Writes the rows of a block in use with its first `dumpCount` bytes: the first row shows
// up to 16 of them in place of its flags, each further 16 get a continuation row that
// carries their address. The last row is left in `row` for the caller to write. A block
// that can no longer be read shows an empty dump part from there on.
void DumpBlock(JOVDebug& d, wchar_t* row, const HeapRecord& r, unsigned long dumpCount) {
  const unsigned char* p = r.start;
  unsigned long left = dumpCount < r.length ? dumpCount : r.length;
  if (!Readable(p, left)) left = 0;
  unsigned char bytes[kBytesPerLine];
  while (left > kBytesPerLine) {
    if (!ReadBlockBytes(p, kBytesPerLine, bytes)) {
      left = 0;
      break;
    }
    PlaceDump(d, row, bytes, kBytesPerLine);
    d.InsertMsg(row);
    p += kBytesPerLine;
    left -= kBytesPerLine;
    std::swprintf(row, kRowBuffer, L"        %ls%*ls", AddressText(p).digits,
                  static_cast<int>(kRowDumpColumn - 8 - kAddressDigits), L"");
  }
  if (!ReadBlockBytes(p, left, bytes)) left = 0;
  PlaceDump(d, row, bytes, left);
}

}  // namespace

void WriteHeapReport(JOVDebug& d, const HeapRecord* records, const WalkResult& walk,
                     unsigned long options, unsigned long dumpCount) {
  d.InsertMsg((options & JOVDebug::TraceHeapCompressed) ? kHeapTitleCompressed
                                                        : kHeapTitleDetailed);
  WriteColumnHeader(d);

  const bool gaps = !(options & JOVDebug::TraceHeapBusyOnly);
  wchar_t row[kRowBuffer];
  std::uintptr_t previousEnd = 0;
  for (std::size_t i = 0; i < walk.count; ++i) {
    const HeapRecord& r = records[i];
    const auto start = reinterpret_cast<std::uintptr_t>(r.start);
    if (gaps && previousEnd != 0 && previousEnd < start) {
      FormatGap(row, previousEnd, start);
      d.InsertMsg(row);
    }
    FormatRow(row, r);
    const bool busy = (r.flags & (PROCESS_HEAP_REGION | PROCESS_HEAP_UNCOMMITTED_RANGE |
                                  PROCESS_HEAP_ENTRY_BUSY)) == PROCESS_HEAP_ENTRY_BUSY;
    if (busy && dumpCount != 0) DumpBlock(d, row, r, dumpCount);
    d.InsertMsg(row);
    previousEnd = r.End();
  }
  d.InsertMsg(walk.full ? kHeapEndFull : kHeapEndComplete);
}

}  // namespace jov::trace
