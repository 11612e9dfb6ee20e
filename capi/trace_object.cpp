// trace_object.cpp - the C interface's trace handles: creating and destroying the trace
// object, starting and stopping it, its state and path, and its text lines.
#include <windows.h>

#include <new>

#include "capi/capi_internal.h"

using jov::capi::CopyOut;
using jov::capi::FindTrace;
using jov::capi::LengthShell;
using jov::capi::Shell;

extern "C" {

JOVC_RESULT JOVC_CALL jovc_trace_create(JOVC_TRACE* trace) {
  if (trace == nullptr) return JOVC_ERR_NULL;
  *trace = nullptr;
  return Shell([&] {
    auto* object = new JOVDebug();
    void* handle = jov::capi::AddHandle(jov::capi::HandleKind::kTrace, object);
    if (handle == nullptr) {
      delete object;
      return JOVC_ERR_MEMORY;
    }
    *trace = static_cast<JOVC_TRACE>(handle);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_destroy(JOVC_TRACE trace) {
  auto* object =
      static_cast<JOVDebug*>(jov::capi::RemoveHandle(jov::capi::HandleKind::kTrace, trace));
  if (object == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    delete object;
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_start(JOVC_TRACE trace, const wchar_t* name, uint32_t wrapSize) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    // The C++ member takes a writable name and never writes it; the empty name stands for
    // "named after the program".
    wchar_t empty[1] = {L'\0'};
    object->TraceStart(name != nullptr ? const_cast<wchar_t*>(name) : empty, wrapSize);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_stop(JOVC_TRACE trace, int32_t closedLine) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    object->TraceStop(closedLine);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_max_size(JOVC_TRACE trace, uint32_t bytes) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    object->MaxLogSize(bytes);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_state(JOVC_TRACE trace, uint32_t* state) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  if (state == nullptr) return JOVC_ERR_NULL;
  return Shell([&] {
    std::uint32_t bits = 0;
    if (object->TraceActive()) bits |= JOVC_TRACE_FILE;
    if (object->TraceWrapActive()) bits |= JOVC_TRACE_WRAP;
    *state = bits;
    return JOVC_OK;
  });
}

int32_t JOVC_CALL jovc_trace_path(JOVC_TRACE trace, wchar_t* buffer, uint32_t capacity) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return -JOVC_ERR_HANDLE;
  return LengthShell([&] { return CopyOut(object->GetTracePath(), buffer, capacity); });
}

JOVC_RESULT JOVC_CALL jovc_trace_line(JOVC_TRACE trace, const wchar_t* text) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  if (text == nullptr) return JOVC_ERR_NULL;
  return Shell([&] {
    object->InsertMsg(text);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_trace_line_utf8(JOVC_TRACE trace, const char* text) {
  JOVDebug* object = FindTrace(trace);
  if (object == nullptr) return JOVC_ERR_HANDLE;
  if (text == nullptr) return JOVC_ERR_NULL;
  return Shell([&] {
    // Short lines convert on the stack; longer ones in a string from the library's
    // allocator. Without MB_ERR_INVALID_CHARS, a bad sequence becomes U+FFFD.
    wchar_t local[256];
    const int wide = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (wide <= 0) return JOVC_ERR_ARGUMENT;
    if (wide <= 256) {
      ::MultiByteToWideChar(CP_UTF8, 0, text, -1, local, 256);
      object->InsertMsg(local);
      return JOVC_OK;
    }
    JOVString converted;
    converted.resize(static_cast<unsigned>(wide - 1));
    ::MultiByteToWideChar(CP_UTF8, 0, text, -1, converted.begin(), wide);
    object->InsertMsg(converted);
    return JOVC_OK;
  });
}

}  // extern "C"
