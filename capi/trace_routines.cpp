// trace_routines.cpp - the C interface's routine stack: push and pop with their levels and
// return codes, and the stack's names copied out.
#include "capi/capi_internal.h"
#include "trace/trace_internal.h"

using jov::capi::CopyOut;
using jov::capi::FindTrace;
using jov::capi::LengthShell;
using jov::capi::Shell;

extern "C" {

JOVC_RESULT JOVC_CALL jovc_routine_push(JOVC_TRACE trace, const wchar_t* className,
                                        const wchar_t* routineName, const wchar_t* detail,
                                        int32_t traceSelector, int32_t* level) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  if (className == nullptr || routineName == nullptr || level == nullptr) return JOVC_ERR_NULL;
  return Shell([&] {
    *level = object->RoutinePush(className, routineName, detail, traceSelector);
    return JOVC_OK;
  });
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
  // The C++ member ignores such a pop silently; a C caller learns that its level is wrong.
  const long depth = JOVTraceAccess::RoutineDepth(*object);
  if (depth < 0 || level > depth) return JOVC_ERR_ARGUMENT;
  return Shell([&] {
    object->RoutinePop(level, returnCode);
    return JOVC_OK;
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
