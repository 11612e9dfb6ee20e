// heap_report_walk.cpp - the heap report's walk: the heap's entries copied, filtered and
// merged into a work area of system memory while the heap is locked.
//
// Nothing here formats, writes or allocates from any heap while the heap is locked: another
// thread's allocation would wait on the lock, and one of ours would deadlock on it or change
// the very heap being walked.
#include "trace/dump_internal.h"

namespace jov::trace {
namespace {

// Holds a heap's own lock for the walk and gives it back on every way out.
class HeapLockGuard {
 public:
  explicit HeapLockGuard(HANDLE heap) : heap_(heap), locked_(::HeapLock(heap) != FALSE) {}
  ~HeapLockGuard() {
    if (locked_) ::HeapUnlock(heap_);
  }
  HeapLockGuard(const HeapLockGuard&) = delete;
  HeapLockGuard& operator=(const HeapLockGuard&) = delete;

 private:
  HANDLE heap_;
  bool locked_;
};

void CopyEntry(const PROCESS_HEAP_ENTRY& e, HeapRecord& r) {
  r.start = static_cast<const unsigned char*>(e.lpData);
  r.length = e.cbData;
  r.overhead = e.cbOverhead;
  r.regionIndex = e.iRegionIndex;
  r.flags = e.wFlags;
  const bool region = (e.wFlags & PROCESS_HEAP_REGION) != 0;
  r.committed = region ? e.Region.dwCommittedSize : 0;
  r.uncommitted = region ? e.Region.dwUnCommittedSize : 0;
  r.firstBlock = region ? e.Region.lpFirstBlock : nullptr;
  r.lastBlock = region ? e.Region.lpLastBlock : nullptr;
}

bool Selected(const PROCESS_HEAP_ENTRY& e, unsigned long options, long regionIndex) {
  if ((options & JOVDebug::TraceHeapBusyOnly) &&
      !(e.wFlags & (PROCESS_HEAP_REGION | PROCESS_HEAP_ENTRY_BUSY)))
    return false;
  return regionIndex == -1 || static_cast<long>(e.iRegionIndex) == regionIndex;
}

// Whether `e` continues the run that `last` holds: it starts exactly where the run ends and
// is of the same kind in the same region.
bool Continues(const HeapRecord& last, const PROCESS_HEAP_ENTRY& e) {
  return reinterpret_cast<std::uintptr_t>(e.lpData) == last.End() && e.wFlags == last.flags &&
         e.iRegionIndex == last.regionIndex;
}

}  // namespace

WorkArea::WorkArea()
    : records_(static_cast<HeapRecord*>(
          ::VirtualAlloc(nullptr, kWorkAreaBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}

WorkArea::~WorkArea() {
  if (records_) ::VirtualFree(records_, 0, MEM_RELEASE);
}

WalkResult WalkHeap(HANDLE heap, unsigned long options, long regionIndex, HeapRecord* records) {
  WalkResult result{0, false};
  const bool compressed = (options & JOVDebug::TraceHeapCompressed) != 0;
  HeapRecord* last = nullptr;  // the record later entries may merge into

  HeapLockGuard lock(heap);
  PROCESS_HEAP_ENTRY entry;
  entry.lpData = nullptr;  // a null data address starts the walk
  for (;;) {
    // A full work area ends the walk even when the heap has no entry left: the report
    // cannot tell, so it says that it may be incomplete.
    if (result.count == kRecordCapacity) {
      result.full = true;
      break;
    }
    if (!::HeapWalk(heap, &entry)) break;  // the end of the heap, or a heap it cannot walk
    if (!Selected(entry, options, regionIndex)) continue;
    if (compressed && last && Continues(*last, entry)) {
      last->length += entry.cbData;
      last->overhead += entry.cbOverhead;
      continue;
    }
    last = &records[result.count++];
    CopyEntry(entry, *last);
  }
  return result;
}

}  // namespace jov::trace
