// capi_internal.h - what every file of the C interface shares: the shell that turns anything
// thrown into a result code, the text-out copy, and the objects behind the handles.
#pragma once

#include <cstdint>

#include "JOVDebug.h"
#include "JOVLists.h"
#include "JOVStrings.h"
#include "JOVUtilC.h"
#include "capi/handle_registry.h"

namespace jov::capi {

// The result code for the exception being handled; called only inside a catch block.
JOVC_RESULT ResultOfCurrentException() noexcept;

// Runs body (returning a JOVC_RESULT) and turns whatever it throws into a code, so nothing
// crosses the C boundary.
template <typename Body>
JOVC_RESULT Shell(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return ResultOfCurrentException();
  }
}

// Runs body (returning an int32_t: a length, or a negated code) and turns whatever it throws
// into the negated code, for the text-out functions.
template <typename Body>
std::int32_t LengthShell(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return -ResultOfCurrentException();
  }
}

// The text-out convention of JOVUtilC.h for `size` elements of `element` bytes (the text and
// its zero): returns size, copying when capacity allows and else emptying a buffer that has
// room; -JOVC_ERR_NULL for a null buffer with a capacity.
std::int32_t CopyOut(const void* source, std::size_t size, std::size_t element, void* buffer,
                     std::uint32_t capacity) noexcept;
// The same for a text and its terminating zero.
inline std::int32_t CopyOut(const JOVString& text, wchar_t* buffer,
                            std::uint32_t capacity) noexcept {
  return CopyOut(text.c_str(), text.size() + std::size_t{1}, sizeof(wchar_t), buffer, capacity);
}

// The trace object of a live trace handle, or null.
inline JOVDebug* FindTrace(JOVC_TRACE trace) {
  return static_cast<JOVDebug*>(FindHandle(HandleKind::kTrace, trace));
}

// The object behind a message handle: a private list holding the one record until it is
// exported, then the exported block.
struct MessageHolder {
  JOVLinkAnchor anchor{};
  JOVMsg* record = nullptr;    // the live record (on anchor), or null once exported
  JOVMsg* exported = nullptr;  // the flat block after jovc_msg_export, or null
  std::uint32_t exportedBytes = 0;
};

inline MessageHolder* FindMessage(JOVC_MSG msg) {
  return static_cast<MessageHolder*>(FindHandle(HandleKind::kMessage, msg));
}

}  // namespace jov::capi
