// trace_routines.cpp - the C interface's routine stack: push and pop with their levels and
// return codes, and the stack's names copied out.
#include "capi/capi_internal.h"
#include "trace/routine_stack.h"

using jov::capi::CopyOut;
using jov::capi::FindTrace;
using jov::capi::LengthShell;
using jov::capi::Shell;

// The C header spells the two numbers out, as it includes no other header of the library.
static_assert(JOVC_NO_VALUE == jov::trace::format::kNoValue, "JOVUtilC.h's no-value number");
static_assert(JOVC_TRACE_INHERIT == jov::trace::format::kInherit, "JOVUtilC.h's inherit number");

extern "C" {

JOVC_RESULT JOVC_CALL jovc_routine_push(JOVC_TRACE trace, const wchar_t* className,
                                        const wchar_t* routineName, const wchar_t* detail,
                                        int32_t traceSelector, int32_t* level) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  if (className == nullptr || routineName == nullptr || level == nullptr) return JOVC_ERR_NULL;
  // The member's own inline core, which throws nothing: the shell adds no call of its own.
  *level = JOVTraceAccess::PushRoutine(*object, className, routineName, detail, traceSelector);
  return JOVC_OK;
}

JOVC_RESULT JOVC_CALL jovc_routine_push_request(JOVC_TRACE trace, const wchar_t* className,
                                                const wchar_t* routineName, int32_t request,
                                                int32_t traceSelector, int32_t* level) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  if (className == nullptr || routineName == nullptr || level == nullptr) return JOVC_ERR_NULL;
  return Shell([&] {
    *level = object->RoutinePushReq(className, routineName, request, traceSelector);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_routine_pop(JOVC_TRACE trace, int32_t level, int32_t returnCode) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  // The member's inline core. A level that is not on the stack: the C++ member takes nothing
  // off either; a C caller learns that its level is wrong.
  return Shell([&] {
    return JOVTraceAccess::PopRoutine(*object, level, returnCode) ? JOVC_OK : JOVC_ERR_ARGUMENT;
  });
}

int32_t JOVC_CALL jovc_trace_call_stack(JOVC_TRACE trace, wchar_t* buffer, uint32_t capacity) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return -JOVC_ERR_HANDLE;
  return LengthShell([&] { return CopyOut(object->ShowCallStack(), buffer, capacity); });
}

int32_t JOVC_CALL jovc_trace_active_routine(JOVC_TRACE trace, wchar_t* buffer, uint32_t capacity) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return -JOVC_ERR_HANDLE;
  return LengthShell([&] { return CopyOut(object->ActiveRoutine(), buffer, capacity); });
}

}  // extern "C"
