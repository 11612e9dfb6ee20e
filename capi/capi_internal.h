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

// The text-out convention of JOVUtilC.h: *needed (if given) = length + 1; the text and its
// zero are copied when capacity allows, else JOVC_ERR_BUFFER_TOO_SMALL and an empty buffer.
JOVC_RESULT CopyOut(const wchar_t* text, std::size_t length, wchar_t* buffer,
                    std::uint32_t capacity, std::uint32_t* needed) noexcept;
inline JOVC_RESULT CopyOut(const JOVString& text, wchar_t* buffer, std::uint32_t capacity,
                           std::uint32_t* needed) noexcept {
  return CopyOut(text.c_str(), text.size(), buffer, capacity, needed);
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
