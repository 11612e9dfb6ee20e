// trace_reports.cpp - the C interface's wrap ring dump and stop, hex dump, and heap and
// virtual-memory reports.
#include "capi/capi_internal.h"

using jov::capi::FindTrace;
using jov::capi::Shell;

extern "C" {

JOVC_RESULT JOVC_CALL jovc_trace_dump_wrap(JOVC_TRACE trace, const wchar_t* reason) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    // The C++ member takes a writable reason and only reads it.
    object->TraceDumpWrap(const_cast<wchar_t*>(reason));
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_wrap_stop(JOVC_TRACE trace) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    object->TraceWrapStop();
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_hex_dump(JOVC_TRACE trace, const void* bytes, uint32_t count,
                                          const wchar_t* title) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  if (bytes == nullptr && count != 0) return JOVC_ERR_NULL;
  return Shell([&] {
    object->HexDump(bytes, count, title);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_heap(JOVC_TRACE trace, void* heap, uint32_t options,
                                      uint32_t dumpCount) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    object->TraceHeap(heap, options, dumpCount, -1);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_virtual_memory(JOVC_TRACE trace, uint32_t id) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    object->TraceVirtualMemUsage(id);
    return JOVC_OK;
  });
}

}  // extern "C"
