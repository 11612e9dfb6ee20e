// heap_report.cpp - TraceHeap: a report of one heap's entries in the trace, walked first
// under the heap's lock, written afterwards, the whole under the trace's lock.
//
// When the work area cannot be had, the report is written with no rows and ends with the
// "too small" line: no entry could be kept, and the reader sees that the report is
// incomplete rather than a heap that seems empty. The heap is then not locked at all.
#include "JOVPlatform.h"
#include "trace/dump_internal.h"
#include "trace/trace_internal.h"

namespace {

// A file trace that the report opened for itself, stopped (with its closing line) on every
// way out.
class ReportTrace {
 public:
  explicit ReportTrace(JOVDebug& d) : d_(d), started_(!d.TraceAnyActive()) {
    if (started_) d_.TraceStart();
  }
  ~ReportTrace() {
    if (started_) d_.TraceStop(1);
  }
  ReportTrace(const ReportTrace&) = delete;
  ReportTrace& operator=(const ReportTrace&) = delete;

 private:
  JOVDebug& d_;
  bool started_;
};

}  // namespace

void JOVDebug::TraceHeap(void* heap, unsigned long options, unsigned long dumpCount,
                         long regionIndex) {
  if (!JOV_IsWinNT()) return;
  try {
    // Declared in this order so that they end in reverse: the work area is released, then
    // a trace of the report's own is stopped, then the trace's lock is given back.
    jov::ScopeLock lock(traceLock);
    ReportTrace trace(*this);
    HANDLE walked = heap ? static_cast<HANDLE>(heap) : ::GetProcessHeap();
    jov::trace::WorkArea area;
    jov::trace::WalkResult walk{0, true};
    if (area.records()) walk = jov::trace::WalkHeap(walked, options, regionIndex, area.records());
    jov::trace::WriteHeapReport(*this, area.records(), walk, options, dumpCount);
  } catch (...) {
    // A report never fails its caller; the guards above have undone what they held.
  }
}
