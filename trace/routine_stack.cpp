// routine_stack.cpp - the routine stack: the C++ members over the inline push and pop of
// routine_stack.h, the Push and Pop lines with their durations and return codes, the stack's
// growth, and its names as text. No lock: one thread at a time uses a trace object's stack.
#include "trace/routine_stack.h"

#include <cwchar>

#include "JOVPlatform.h"

namespace {

constexpr unsigned kGrowthLevels = 8;
constexpr unsigned kNameRoom = 31;
constexpr unsigned kPushLineRoom = 127;
constexpr unsigned kPopLineRoom = 63;

}  // namespace

void JOVTraceAccess::PrepareLevel(JOVDebug& d, long level) {
  if (static_cast<size_t>(level) >= d.routineNames->size()) {
    const size_t levels = d.routineNames->size() + kGrowthLevels;
    d.routineNames->resize(levels, nullptr);
    d.routineTraced->resize(levels, true);
    d.routineStart->resize(levels, 0);
  }
  JOVString*& name = (*d.routineNames)[level];
  if (name == nullptr) {
    auto* fresh = new JOVString();
    fresh->reserve(kNameRoom);
    name = fresh;
    (*d.routineStart)[level] = 0;
  }
}

void JOVTraceAccess::WritePushLine(JOVDebug& d, long level, const wchar_t* className,
                                   const wchar_t* routineName, const wchar_t* detail) {
  JOVString line;
  line.reserve(kPushLineRoom);
  line = jov::trace::format::wide::kPush;
  (*d.routineStart)[level] = JOV_TimerValue();
  line += className;
  line += L'.';
  line += routineName;
  if (detail != nullptr) {
    line += jov::trace::format::wide::kDetailGap;
    line += detail;
  }
  // The Push line stands at the depth of the calling routine's own lines.
  --d.routineDepth;
  d.InsertMsg(line);
  ++d.routineDepth;
}

void JOVTraceAccess::WritePopLine(JOVDebug& d, long level, long returnCode) {
  // The Pop line, like the Push line, stands at the depth of the calling routine's lines.
  d.routineDepth = level - 1;
  JOVString line;
  try {
    line.reserve(kPopLineRoom);
    line = jov::trace::format::wide::kPop;
    const JOVString* name = (*d.routineNames)[level];
    if (name != nullptr) line += *name;
    if (returnCode != jov::trace::format::kNoValue) {
      wchar_t code[32];
      std::swprintf(code, 32, L"%ld", returnCode);
      line += jov::trace::format::wide::kReturnCode;
      line += code;
    }
    const long long micros = static_cast<long long>(JOV_TimerValue() - (*d.routineStart)[level]);
    wchar_t duration[64];
    std::swprintf(duration, 64, L"%#.*f", jov::trace::format::kMillisDecimals,
                  static_cast<double>(micros) / 1000.0);
    line += jov::trace::format::wide::kDuration;
    line += duration;
    line += jov::trace::format::wide::kMsecs;
  } catch (...) {
    // The line goes out as far as it was built.
  }
  d.InsertMsg(line);
}

long JOVDebug::RoutinePush(const wchar_t* className, const wchar_t* routineName,
                           const wchar_t* detail, long traceSelector) {
  return JOVTraceAccess::PushRoutine(*this, className, routineName, detail, traceSelector);
}

long JOVDebug::RoutinePushReq(const wchar_t* className, const wchar_t* routineName, long request,
                              long traceSelector) {
  if (request != jov::trace::format::kNoValue && TraceAnyActive()) {
    wchar_t detail[32];
    std::swprintf(detail, 32, L"%ls%ld", jov::trace::format::wide::kRequest, request);
    return RoutinePush(className, routineName, detail, traceSelector);
  }
  return RoutinePush(className, routineName, nullptr, traceSelector);
}

// Choices made here: a level above the innermost takes nothing off but, when the innermost
// level is traced, still shows a bare "Pop  " line (the caller's pop happened, its level was
// wrong); a pop on an empty stack writes no line (there is no routine to name).
void JOVDebug::RoutinePop(long level, long returnCode) {
  if (JOVTraceAccess::PopRoutine(*this, level, returnCode)) return;
  if (routineDepth >= 0 && (*routineTraced)[routineDepth] && TraceAnyActive()) {
    InsertMsg(jov::trace::format::wide::kPop);
  }
}

JOVString JOVDebug::ShowCallStack() const {
  JOVString stack;
  try {
    for (long i = 0; i <= routineDepth; ++i) {
      if (i > 0) stack += L';';
      const JOVString* name = (*routineNames)[i];
      if (name != nullptr) stack += *name;
    }
  } catch (...) {
    // Out of memory: the names as far as they were joined.
  }
  return stack;
}

JOVString JOVDebug::ActiveRoutine() const {
  JOVString active;
  if (routineDepth < 0) return active;
  const JOVString* name = (*routineNames)[routineDepth];
  try {
    if (name != nullptr) active = *name;
  } catch (...) {
    // Out of memory: no name rather than an exception.
  }
  return active;
}
