// trace_start_stop.cpp - starting a file trace or a wrap trace, opening a new trace file
// with its header, and stopping the file trace.
#include <cwchar>

#include "JOVMemory.h"
#include "JOVNames.h"
#include "trace/trace_internal.h"

namespace {

constexpr unsigned long kSmallestRing = 1024;

HANDLE CreateTraceFile(const JOVString& name) {
  return ::CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
}

JOVString Decimal(unsigned long value) {
  wchar_t digits[16];
  std::swprintf(digits, 16, L"%lu", value);
  return JOVString(digits);
}

}  // namespace

void JOVDebug::TraceStart() {
  wchar_t empty[1] = {L'\0'};
  TraceStart(empty, 0);
}

// A ring is allocated once, here, and never resized: a second start with a wrap size is
// ignored while it exists. A ring that cannot be allocated leaves the object idle.
void JOVDebug::TraceStart(wchar_t* name, unsigned long wrapSize) {
  if (wrapStart != nullptr && wrapSize != 0) return;
  if (traceFile != nullptr) return;
  jov::ScopeLock lock(traceLock);
  // Tested again under the lock, so that two threads racing to start make one trace.
  if ((wrapStart != nullptr && wrapSize != 0) || traceFile != nullptr) return;
  try {
    tracePath = (name != nullptr) ? name : L"";
    if (wrapSize != 0) {
      const unsigned long size = wrapSize < kSmallestRing ? kSmallestRing : wrapSize;
      auto* block = static_cast<unsigned char*>(JOV_MemoryGet(size, 0, __FILE__, __LINE__));
      if (block == nullptr) return;
      wrapStart = block;
      wrapEnd = block + size - 4;
      JOVTraceAccess::RingClear(*this);
      return;
    }
    TraceStartOpen();
    if (wrapStart != nullptr) {
      // The saved lines follow the new file's header; without a file they are lost.
      JOVTraceAccess::RingWalk(*this);
      InsertMsgWait();
      TraceWrapStop();
    }
  } catch (...) {
    // Only the name's copy can fail here; the object stays as it was.
  }
}

// Choices made here: when the file cannot be created for a reason other than an existing
// name, no header is built (it could only fail and wait for its write); the opening lines
// are waited for, so that their size is known and the size limit never replaces a file
// that holds nothing but them. Files are always created for overlapped writing with the
// wide name: every supported system is of the NT family, so no narrow, synchronous branch
// is kept.
void JOVDebug::TraceStartOpen() {
  if (traceFile != nullptr) return;
  try {
    const JOVString stem = JOVTraceAccess::FileStem(tracePath);
    JOVString candidate(stem);
    candidate += jov::trace::format::wide::kExtension;
    memoryReportThreshold = jov::trace::kDefaultThreshold;

    unsigned long counter = 0;
    for (;;) {
      traceFile = CreateTraceFile(candidate);
      if (traceFile != INVALID_HANDLE_VALUE) break;
      const DWORD error = ::GetLastError();
      if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
      candidate = stem;
      candidate += L' ';
      candidate += Decimal(++counter);
      candidate += jov::trace::format::wide::kExtension;
    }
    if (traceFile == INVALID_HANDLE_VALUE) {
      traceFile = nullptr;
      return;
    }

    // A manual-reset event, created signalled: no write is in flight yet.
    writeOverlap.hEvent = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
    bytesWritten = 0;
    lastDate[0] = L'\0';
    writeOverlap.Offset = 0;
    writeOverlap.OffsetHigh = 0;
    fileOpeningBytes = ~0ULL;

    namespace text = jov::trace::format::wide;
    JOVString header(text::kHeader);
    header += JOV_GetLogonId();
    header += text::kHeaderProcess;
    header += Decimal(::GetCurrentProcessId());
    header += text::kHeaderThread;
    header += Decimal(::GetCurrentThreadId());
    header += text::kHeaderLogFile;
    header += candidate;
    InsertMsg(header);
    InsertMsgWait();
    fileOpeningBytes = bytesWritten;
  } catch (...) {
    fileOpeningBytes = 0;
    if (traceFile == INVALID_HANDLE_VALUE) traceFile = nullptr;
    TraceStop(1);
  }
  if (traceFile == INVALID_HANDLE_VALUE) traceFile = nullptr;
}

void JOVDebug::TraceStop(long flag) {
  if (traceFile == nullptr) return;
  jov::ScopeLock lock(traceLock);
  if (traceFile == nullptr) return;
  if (flag != 0) {
    // With memory monitoring on, the closing line always gets a memory line before it.
    // The size limit is lifted meanwhile: a file already past its limit would otherwise
    // give the closing line's place to the notice and close in a new file that holds only
    // its header.
    const unsigned long threshold = memoryReportThreshold;
    const unsigned long long limit = logSizeLimit;
    memoryReportThreshold = 0;
    logSizeLimit = ~0ULL;
    InsertMsg(jov::trace::format::wide::kTraceClosed);
    memoryReportThreshold = threshold;
    logSizeLimit = limit;
  }
  InsertMsgWait();
  if (writeOverlap.hEvent != nullptr) ::CloseHandle(writeOverlap.hEvent);
  writeOverlap.hEvent = nullptr;
  ::CloseHandle(traceFile);
  traceFile = nullptr;
  // Closing the file cancels writes given up on earlier; collect those that have ended.
  JOVTraceAccess::ReapAbandoned(*this, true);
}
