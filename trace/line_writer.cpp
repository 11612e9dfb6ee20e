// line_writer.cpp - InsertMsg: one trace line from the caller's text, with the marker and
// memory lines due before it, sent to the file or the ring; the size limit that replaces
// the file; failures reported to the event log.
#include <cwchar>

#include "JOVEventLog.h"
#include "JOVMemory.h"
#include "JOVPlatform.h"
#include "trace/trace_internal.h"

void JOVDebug::InsertMsg(const JOVString& text) { InsertMsg(text.c_str()); }

void JOVDebug::InsertMsg(const wchar_t* text) {
  if (traceFile == nullptr && wrapStart == nullptr) return;
  if (text == nullptr) text = L"";
  // The text is the caller's: it is measured before the lock, which every line waits for.
  const JOVTraceAccess::LineText measured = JOVTraceAccess::MeasureText(text);
  // A file line holds the lock across a system write, far longer than polling pays for.
  jov::ScopeLock lock(traceLock,
                      traceFile == nullptr ? jov::LockWait::kPollFirst : jov::LockWait::kBlock);
  if (traceFile == nullptr && wrapStart == nullptr) return;  // stopped meanwhile

  const unsigned long long poolBytes = JOV_PoolMemBusy;
  const long depth = routineDepth;
  const unsigned long long now = JOV_TimerValue();
  const long long intervalUs = static_cast<long long>(now - lastLineTime);
  lastLineTime = now;

  int stage = 0;
  try {
    InsertMsgWait();
    stage = 100;
    SYSTEMTIME local;
    JOVTraceAccess::LocalTime(*this, local);
    JOVTraceAccess::DateAndThreadLines(*this, local);
    if (JOV_MonitorMemory != 0) {
      stage = 200;
      JOVTraceAccess::MemoryLines(*this, poolBytes, stage);
    }
    stage = 400;
    wchar_t prefix[128];
    const unsigned prefixLength = JOVTraceAccess::FormatPrefix(local, intervalUs, prefix);
    lineBuffer.reserve(prefixLength + 1);  // room for the prefix fails as stage 400
    stage = 500;
    // The routine stack changes depth without the lock; a depth below -1 is never indented
    // to the left.
    const unsigned long long indentation =
        depth < -1
            ? 0
            : (static_cast<unsigned long long>(depth) + 1) * jov::trace::format::kIndentWidth;
    // A full file: this line's text gives way to the notice, then the file goes.
    static constexpr JOVTraceAccess::LineText kTerminatedText{
        jov::trace::format::wide::kTerminated,
        sizeof jov::trace::format::wide::kTerminated / sizeof(wchar_t) - 1, 0};
    JOVTraceAccess::ComposeLine(lineBuffer, prefix, prefixLength, indentation,
                                JOVTraceAccess::PastSizeLimit(*this) ? kTerminatedText : measured);
    if (traceFile != nullptr) {
      InsertMsgWrite();  // stays in flight; the next line waits for it
    } else {
      TraceWrapNewline();
    }
  } catch (...) {
    JOVTraceAccess::ReportLineFailure(stage, text);
  }

  if (traceFile != nullptr && JOVTraceAccess::PastSizeLimit(*this)) {
    try {
      JOVTraceAccess::ReplaceFile(*this);
    } catch (...) {
    }
  }
}

// The file is replaced only once it holds more than its own opening lines: a limit below
// their size (MaxLogSize accepts any value) would otherwise replace every new file while
// its header is written, without end. Such a file takes at least one line before it goes.
// The limit is an open file's: bytesWritten still holds the size of a file closed since,
// and a ring line never gives way to the notice.
bool JOVTraceAccess::PastSizeLimit(const JOVDebug& d) {
  return d.traceFile != nullptr && d.bytesWritten > d.logSizeLimit &&
         d.bytesWritten > d.fileOpeningBytes;
}

void JOVTraceAccess::ReplaceFile(JOVDebug& d) {
  d.InsertMsgWait();
  d.lineBuffer = jov::trace::format::wide::kSizeNotice;
  d.lineBuffer += L"\r\n";
  d.InsertMsgWrite();
  d.InsertMsgWait();
  d.TraceStop(0);
  d.TraceStartOpen();
}

void JOVTraceAccess::HandOver(JOVDebug& d) {
  if (d.traceFile != nullptr) {
    d.InsertMsgWrite();
    d.InsertMsgWait();
  } else {
    d.TraceWrapNewline();
  }
}

bool JOVTraceAccess::WriteBareLine(JOVDebug& d, const wchar_t* text, unsigned length) {
  d.InsertMsgWait();
  d.lineBuffer.assign(text, length);
  return d.InsertMsgWrite() != 0;
}

void JOVTraceAccess::ReportLineFailure(int stage, const wchar_t* text) noexcept {
  try {
    wchar_t head[64];
    std::swprintf(head, 64, L"JOVDebug.InsertMsg PgmChkLoc=%d, Original Text=\"", stage);
    JOVString message(head);
    message += text;
    message += L'"';
    if (JOV_MonitorMemory != 0) message += L", memory trace used";
    JOV_LogEvent(static_cast<JOVMsgCategory>(6), message.c_str(), 1, nullptr);
  } catch (...) {
    // Nothing is left to report with: the line is lost.
  }
}
