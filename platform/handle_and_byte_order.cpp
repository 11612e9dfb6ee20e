// handle_and_byte_order.cpp - the handle validity test, the byte-order answer and the
// library's fixed sanity export.
#include "JOVPlatform.h"

int JOV_ValidHandle(void* handle) {
  return handle != nullptr && handle != INVALID_HANDLE_VALUE ? 1 : 0;
}

int JOV_IsBigEndian() { return 0; }

int fnJOVUtil2() { return 42; }
