// routine_stack.cpp - the routine stack: pushes and pops with their Push and Pop lines,
// durations and return codes, and the stack's names as text. No lock: one thread at a time
// uses a trace object's stack.
#include <cwchar>

#include "JOVPlatform.h"
#include "trace/trace_internal.h"

namespace {

constexpr unsigned kGrowthLevels = 8;
constexpr unsigned kNameRoom = 31;
constexpr unsigned kPushLineRoom = 127;
constexpr unsigned kPopLineRoom = 63;

// Empties a level's name but keeps its storage for the next push at that level (erasing to
// length 0 would give the storage back).
void EmptyKeepingStorage(JOVString& name) {
  if (name.capacity() == 0) return;
  name.SetSize(0);
  *name.begin() = L'\0';
}

// Sets a level's name to className "." routineName, written straight into the string's
// storage: a push at a level used before then costs two copies and no allocation.
void SetRoutineName(JOVString& name, const wchar_t* className, const wchar_t* routineName) {
  const size_t classLength = std::wcslen(className);
  const size_t routineLength = std::wcslen(routineName);
  const unsigned length = static_cast<unsigned>(classLength + 1 + routineLength);
  name.reserve(length);
  wchar_t* out = name.begin();
  std::wmemcpy(out, className, classLength);
  out[classLength] = L'.';
  std::wmemcpy(out + classLength + 1, routineName, routineLength);
  out[length] = L'\0';
  name.SetSize(length);
}

}  // namespace

long JOVDebug::RoutinePush(const wchar_t* className, const wchar_t* routineName,
                           const wchar_t* detail, long traceSelector) {
  if (className == nullptr) className = L"";
  if (routineName == nullptr) routineName = L"";
  const long level = ++routineDepth;
  try {
    if (static_cast<size_t>(level) >= routineNames->size()) {
      const size_t levels = routineNames->size() + kGrowthLevels;
      routineNames->resize(levels, nullptr);
      routineTraced->resize(levels, true);
      routineStart->resize(levels, 0);
    }
    JOVString*& name = (*routineNames)[level];
    if (name == nullptr) {
      auto* fresh = new JOVString();
      fresh->reserve(kNameRoom);
      name = fresh;
      (*routineStart)[level] = 0;
    }
    SetRoutineName(*name, className, routineName);

    bool traced = true;
    if (traceSelector == -2) {
      traced = level == 0 ? true : static_cast<bool>((*routineTraced)[level - 1]);
    } else if (traceSelector == 0) {
      traced = false;
    }
    (*routineTraced)[level] = traced;

    if (traced && TraceAnyActive()) {
      JOVString line;
      line.reserve(kPushLineRoom);
      line = jov::trace::format::wide::kPush;
      (*routineStart)[level] = JOV_TimerValue();
      line += className;
      line += L'.';
      line += routineName;
      if (detail != nullptr) {
        line += jov::trace::format::wide::kDetailGap;
        line += detail;
      }
      // The Push line stands at the depth of the calling routine's own lines.
      --routineDepth;
      InsertMsg(line);
      ++routineDepth;
    }
  } catch (...) {
    // Out of memory: the level stays on the stack, its name as far as it was set.
  }
  return routineDepth;
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

// Choice made here: a pop on an empty stack writes no line (there is no routine to name).
void JOVDebug::RoutinePop(long level, long returnCode) {
  const long old = routineDepth;
  const bool write = old >= 0 && static_cast<bool>((*routineTraced)[old]) && TraceAnyActive();
  if (write) {
    JOVString line;
    try {
      line.reserve(kPopLineRoom);
      line = jov::trace::format::wide::kPop;
      if (level <= old) {
        const long named = level >= 0 ? level : old;
        const JOVString* name = (*routineNames)[named];
        if (name != nullptr) line += *name;
        routineDepth = named - 1;
        if (returnCode != jov::trace::format::kNoValue) {
          wchar_t code[32];
          std::swprintf(code, 32, L"%ld", returnCode);
          line += jov::trace::format::wide::kReturnCode;
          line += code;
        }
        const long long micros =
            static_cast<long long>(JOV_TimerValue() - (*routineStart)[routineDepth + 1]);
        wchar_t duration[64];
        std::swprintf(duration, 64, L"%#.*f", jov::trace::format::kMillisDecimals,
                      static_cast<double>(micros) / 1000.0);
        line += jov::trace::format::wide::kDuration;
        line += duration;
        line += jov::trace::format::wide::kMsecs;
      }
    } catch (...) {
      // The line goes out as far as it was built.
    }
    InsertMsg(line);
  } else if (level <= old) {
    if (level >= 0) {
      routineDepth = level - 1;
    } else if (old >= 0) {
      routineDepth = old - 1;
    }
  }

  for (long i = routineDepth + 1; i <= old; ++i) {
    JOVString* name = (*routineNames)[i];
    if (name != nullptr) EmptyKeepingStorage(*name);
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
