// result_codes.cpp - the C interface's result codes: their texts, the mapping of what the C++
// code throws (std::bad_alloc, the guard frame's long 9, the list codes) to them, and the
// text-out copy.
#include <new>
#include <stdexcept>

#include "capi/capi_internal.h"

namespace jov::capi {

JOVC_RESULT ResultOfCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return JOVC_ERR_MEMORY;
  } catch (const std::length_error&) {
    return JOVC_ERR_ARGUMENT;
  } catch (const std::out_of_range&) {
    return JOVC_ERR_ARGUMENT;
  } catch (long code) {
    // The allocator front throws 9 for a damaged or foreign guard frame.
    return code == 9 ? JOVC_ERR_GUARD : JOVC_ERR_INTERNAL;
  } catch (unsigned long) {
    // The list operations throw their 200xx codes.
    return JOVC_ERR_LIST;
  } catch (...) {
    return JOVC_ERR_INTERNAL;
  }
}

std::int32_t CopyOut(const void* source, std::size_t size, std::size_t element, void* buffer,
                     std::uint32_t capacity) noexcept {
  // The length is returned as a positive int32_t.
  if (size > 0x7FFFFFFFu) return -JOVC_ERR_INTERNAL;
  if (buffer == nullptr && capacity != 0) return -JOVC_ERR_NULL;
  auto* out = static_cast<unsigned char*>(buffer);
  if (capacity < size) {
    // buffer[0] = 0 in the buffer's unit: an empty text.
    if (capacity > 0) ::ZeroMemory(out, element);
    return static_cast<std::int32_t>(size);
  }
  ::CopyMemory(out, source, size * element);
  return static_cast<std::int32_t>(size);
}

}  // namespace jov::capi

extern "C" const char* JOVC_CALL jovc_result_text(JOVC_RESULT result) {
  switch (result) {
    case JOVC_OK:
      return "no error";
    case JOVC_ERR_HANDLE:
      return "not a live handle of this kind";
    case JOVC_ERR_NULL:
      return "a required pointer is null";
    case JOVC_ERR_ARGUMENT:
      return "an argument is out of range";
    case JOVC_ERR_MEMORY:
      return "out of memory";
    case JOVC_ERR_GUARD:
      return "damaged or foreign guard frame";
    case JOVC_ERR_LIST:
      return "the record's list links disagree";
    case JOVC_ERR_STATE:
      return "not possible in the object's state";
    case JOVC_ERR_SYSTEM:
      return "the system refused the request";
    case JOVC_ERR_INTERNAL:
      return "unexpected failure inside the library";
    default:
      return "unknown result code";
  }
}
