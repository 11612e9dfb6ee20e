// trace_object.cpp - the trace object's life: construction (both constructors share one
// core), the assignment that changes nothing, destruction, and the small state queries.
#include "trace/trace_internal.h"

#include "JOVPlatform.h"

JOVDebug* gptrCDebug = nullptr;

namespace {
constexpr unsigned kInitialLevels = 20;
constexpr unsigned long long kDefaultSizeLimit = 100ULL * 1048576ULL;
}  // namespace

void JOVTraceAccess::Construct(JOVDebug& d) {
  ::InitializeCriticalSection(&d.traceLock);
  d.lastThreadId = ::GetCurrentThreadId();
  d.routineNames = new std::vector<JOVString*>(kInitialLevels, nullptr);
  d.routineTraced = new std::vector<bool>(kInitialLevels, true);
  d.routineStart = new std::vector<unsigned long long>(kInitialLevels, 0);
  d.routineDepth = -1;
  d.writePending = 0;
  d.traceFile = nullptr;
  ::ZeroMemory(&d.writeOverlap, sizeof d.writeOverlap);
  d.lastLineTime = JOV_TimerValue();
  d.bytesWritten = 0;
  d.logSizeLimit = kDefaultSizeLimit;
  d.lastPoolBytes = 0;
  d.lastDate[0] = L'\0';
  ::ZeroMemory(&d.lastMemoryCounters, sizeof d.lastMemoryCounters);
  d.getProcessMemoryInfo = nullptr;
  d.psapiModule = nullptr;
  d.processHandle = nullptr;
  d.lastHandleCount = 0;
  d.memoryReportThreshold = jov::trace::kDefaultThreshold;
  d.wrapStart = d.wrapEnd = d.wrapOldest = d.wrapNext = nullptr;
  d.fileOpeningBytes = 0;
  d.writeSlot = nullptr;
  d.abandonedWrites = nullptr;
  d.zoneBias = 0;
  d.zoneBiasSecond = ~0ULL;
}

JOVDebug::JOVDebug() { JOVTraceAccess::Construct(*this); }

// A copy starts idle: a trace file, a ring or a routine stack has exactly one owner.
JOVDebug::JOVDebug(const JOVDebug&) { JOVTraceAccess::Construct(*this); }

JOVDebug& JOVDebug::operator=(const JOVDebug&) { return *this; }

void JOVTraceAccess::DeleteRoutineStack(JOVDebug& d) noexcept {
  if (d.routineNames != nullptr) {
    for (JOVString* name : *d.routineNames) delete name;
  }
  delete d.routineNames;
  delete d.routineTraced;
  delete d.routineStart;
  d.routineNames = nullptr;
  d.routineTraced = nullptr;
  d.routineStart = nullptr;
}

JOVDebug::~JOVDebug() {
  if (wrapStart != nullptr) TraceWrapStop();
  if (traceFile != nullptr) TraceStop(1);
  JOVTraceAccess::ReleaseWriter(*this);
  JOVTraceAccess::DeleteRoutineStack(*this);
  if (processHandle != nullptr) ::CloseHandle(processHandle);
  if (psapiModule != nullptr) ::FreeLibrary(psapiModule);
  ::DeleteCriticalSection(&traceLock);
}

void JOVDebug::MaxLogSize(unsigned long bytes) { logSizeLimit = bytes; }

JOVString JOVDebug::GetTracePath() { return tracePath; }

long JOVDebug::TraceActive() { return traceFile != nullptr ? 1 : 0; }

long JOVDebug::TraceWrapActive() { return wrapStart != nullptr ? 1 : 0; }

long JOVDebug::TraceAnyActive() { return (traceFile != nullptr || wrapStart != nullptr) ? 1 : 0; }
