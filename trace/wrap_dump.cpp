// wrap_dump.cpp - TraceDumpWrap: the ring written into a new trace file between its
// banners, on demand; the ring is emptied and the wrap trace goes on.
#include <cwchar>

#include "trace/trace_internal.h"

namespace {

bool WriteText(JOVDebug& d, const wchar_t* text) {
  return JOVTraceAccess::WriteBareLine(d, text, static_cast<unsigned>(std::wcslen(text)));
}

}  // namespace

void JOVDebug::TraceDumpWrap(wchar_t* reason) {
  if (wrapStart == nullptr) return;
  TraceLockGuard lock(traceLock);
  if (wrapStart == nullptr) return;
  try {
    TraceStartOpen();
    if (traceFile == nullptr) {
      TraceWrapStop();  // no file: the saved lines are lost with the ring
      return;
    }
    WriteText(*this, jov::trace::kWrapBanner);
    if (reason != nullptr) {
      JOVString line(reason);
      line += L"\r\n";
      JOVTraceAccess::WriteBareLine(*this, line.c_str(), line.length());
    }
    JOVTraceAccess::RingWalk(*this);
    WriteText(*this, jov::trace::kWrapEnd);
    InsertMsgWait();
    TraceStop(0);
    JOVTraceAccess::RingClear(*this);
  } catch (...) {
    TraceWrapStop();
  }
}
