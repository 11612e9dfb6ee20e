// routine_stack.h - the routine stack's push and pop, inline: the C++ members and the C
// interface's shells both run them without a call of their own. The Push and Pop lines,
// and the stack's growth, stay out of line in routine_stack.cpp.
#pragma once

#include <cwchar>

#include "trace/trace_internal.h"

namespace jov::trace {

// Empties a level's name but keeps its storage for the next push at that level (erasing to
// length 0 would give the storage back).
inline void EmptyKeepingStorage(JOVString& name) {
  if (name.capacity() == 0) return;
  name.SetSize(0);
  *name.begin() = L'\0';
}

// Sets a level's name to className "." routineName, written straight into the string's
// storage: a push at a level used before then costs two copies and no allocation.
inline void SetRoutineName(JOVString& name, const wchar_t* className, const wchar_t* routineName) {
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

}  // namespace jov::trace

inline long JOVTraceAccess::PushRoutine(JOVDebug& d, const wchar_t* className,
                                        const wchar_t* routineName, const wchar_t* detail,
                                        long traceSelector) noexcept {
  if (className == nullptr) className = L"";
  if (routineName == nullptr) routineName = L"";
  const long level = ++d.routineDepth;
  try {
    if (static_cast<size_t>(level) >= d.routineNames->size() ||
        (*d.routineNames)[level] == nullptr) {
      PrepareLevel(d, level);
    }
    jov::trace::SetRoutineName(*(*d.routineNames)[level], className, routineName);

    bool traced = true;
    if (traceSelector == jov::trace::format::kInherit) {
      traced = level == 0 ? true : static_cast<bool>((*d.routineTraced)[level - 1]);
    } else if (traceSelector == 0) {
      traced = false;
    }
    (*d.routineTraced)[level] = traced;
    if (traced && AnyActive(d)) WritePushLine(d, level, className, routineName, detail);
  } catch (...) {
    // Out of memory: the level stays on the stack, its name as far as it was set.
  }
  return d.routineDepth;
}

inline bool JOVTraceAccess::PopRoutine(JOVDebug& d, long level, long returnCode) {
  const long old = d.routineDepth;
  if (old < 0 || level > old) return false;
  const long popped = level >= 0 ? level : old;
  if ((*d.routineTraced)[old] && AnyActive(d)) WritePopLine(d, popped, returnCode);
  d.routineDepth = popped - 1;
  for (long i = popped; i <= old; ++i) {
    JOVString* name = (*d.routineNames)[i];
    if (name != nullptr) jov::trace::EmptyKeepingStorage(*name);
  }
  return true;
}
