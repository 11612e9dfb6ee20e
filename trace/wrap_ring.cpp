// wrap_ring.cpp - the wrap trace's ring: whole-line records stored newest over oldest, the
// walk that writes them to a file oldest first, and the ring's end.
//
// A record is a 32-bit byte length (4 + 2 x characters + 2), the line's UTF-16 characters
// and a 16-bit zero. A length of 0 is the end mark: the data go on at wrapStart. Records are
// never split; the 4 bytes behind wrapEnd hold the end mark after a record that ends there.
#include <cstring>

#include "JOVMemory.h"
#include "trace/trace_internal.h"

namespace {

constexpr unsigned long kRecordOverhead = 6;  // the length and the terminator

unsigned long ReadLength(const unsigned char* at) {
  unsigned long length = 0;
  std::memcpy(&length, at, 4);
  return length;
}

void WriteLength(unsigned char* at, unsigned long length) { std::memcpy(at, &length, 4); }

unsigned long long RecordLength(const JOVString& line) {
  return 2ULL * line.length() + kRecordOverhead;
}

}  // namespace

void JOVTraceAccess::RingClear(JOVDebug& d) {
  d.wrapOldest = d.wrapStart;
  d.wrapNext = d.wrapStart;
  WriteLength(d.wrapStart, 0);
}

// Choice made here for a line whose record does not fit even into the empty ring: it keeps
// as many characters as fit, the last two of them replaced by CR LF, so that it still ends
// as a line in the dump.
void JOVDebug::TraceWrapNewline() {
  if (wrapStart == nullptr) return;
  if (lineBuffer.empty()) lineBuffer = L" ";

  unsigned long long length = RecordLength(lineBuffer);
  if (static_cast<unsigned long long>(wrapEnd - wrapNext) < length) {
    WriteLength(wrapNext, 0);
    if (wrapOldest >= wrapNext) wrapOldest = wrapStart;  // the records behind are dropped
    wrapNext = wrapStart;
    const unsigned long long usable = static_cast<unsigned long long>(wrapEnd - wrapStart);
    if (usable < length) {
      const unsigned keep = static_cast<unsigned>((usable - kRecordOverhead) / 2);
      lineBuffer.erase(keep >= 2 ? keep - 2 : 0u);
      lineBuffer += L"\r\n";
      length = RecordLength(lineBuffer);
    }
  }

  unsigned char* const next = wrapNext + length;
  if (wrapNext <= wrapOldest && next > wrapOldest) {
    // Drop the oldest records, whole, until the new one no longer covers any of them.
    while (wrapOldest < next) {
      const unsigned long oldest = ReadLength(wrapOldest);
      if (oldest == 0) {
        wrapOldest = wrapStart;
        break;
      }
      wrapOldest += oldest;
    }
  }

  WriteLength(wrapNext, static_cast<unsigned long>(length));
  const unsigned characters = lineBuffer.length();
  std::memcpy(wrapNext + 4, lineBuffer.c_str(), 2ULL * characters);
  std::memset(wrapNext + 4 + 2ULL * characters, 0, 2);
  wrapNext = next;
  if (next > wrapOldest) WriteLength(next, 0);
}

void JOVTraceAccess::RingWalk(JOVDebug& d) {
  unsigned char* at = d.wrapOldest;
  for (;;) {
    unsigned long length = ReadLength(at);
    if (length == 0) {
      at = d.wrapStart;
      if (at == d.wrapNext) return;
      length = ReadLength(at);
    }
    const auto* text = reinterpret_cast<const wchar_t*>(at + 4);
    if (!WriteBareLine(d, text, static_cast<unsigned>((length - kRecordOverhead) / 2))) return;
    at += length;
    if (at == d.wrapNext) return;
  }
}

void JOVTraceAccess::FreeRing(JOVDebug& d) noexcept {
  void* ring = d.wrapStart;
  JOV_MemoryFreePtr(&ring);
  d.wrapStart = nullptr;
  d.wrapEnd = d.wrapOldest = d.wrapNext = nullptr;
}

void JOVDebug::TraceWrapStop() {
  jov::ScopeLock lock(traceLock);
  if (wrapStart == nullptr) return;
  try {
    JOVTraceAccess::FreeRing(*this);
  } catch (...) {
    // A damaged guard frame around the ring: the block stays allocated, the trace ends.
    wrapStart = wrapEnd = wrapOldest = wrapNext = nullptr;
  }
}
