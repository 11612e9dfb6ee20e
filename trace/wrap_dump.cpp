// wrap_dump.cpp - TraceDumpWrap: the ring written into a new trace file between its
// banners, on demand; the ring is emptied and the wrap trace goes on.
#include "trace/trace_internal.h"

namespace {

// Writes `text` and CR LF as one bare line.
bool WriteLine(JOVDebug& d, const wchar_t* text) {
  JOVString line(text);
  line += L"\r\n";
  return JOVTraceAccess::WriteBareLine(d, line.c_str(), line.length());
}

}  // namespace

void JOVDebug::TraceDumpWrap(wchar_t* reason) {
  if (wrapStart == nullptr) return;
  jov::ScopeLock lock(traceLock);
  if (wrapStart == nullptr) return;
  try {
    TraceStartOpen();
    if (traceFile == nullptr) {
      TraceWrapStop();  // no file: the saved lines are lost with the ring
      return;
    }
    WriteLine(*this, jov::trace::format::wide::kWrapBanner);
    if (reason != nullptr) WriteLine(*this, reason);
    JOVTraceAccess::RingWalk(*this);
    WriteLine(*this, jov::trace::format::wide::kWrapEnd);
    InsertMsgWait();
    TraceStop(0);
    JOVTraceAccess::RingClear(*this);
  } catch (...) {
    TraceWrapStop();
  }
}
