// memory.cpp - the C interface's allocator front: define, get, free and the pool counter.
#include "JOVMemory.h"
#include "capi/capi_internal.h"

using jov::capi::Shell;

extern "C" {

JOVC_RESULT JOVC_CALL jovc_memory_define(int32_t strategy, uint32_t heapInitial, uint32_t options,
                                         int32_t monitor) {
  if (strategy < JOVC_MEM_NEW || strategy > JOVC_MEM_VIRTUAL) return JOVC_ERR_ARGUMENT;
  return Shell([&] {
    JOV_MonitorMemory = monitor;
    const unsigned long error =
        JOV_MemoryDefine(static_cast<enumJOVMemoryAlloc>(strategy), heapInitial, options);
    return error == 0 ? JOVC_OK : JOVC_ERR_SYSTEM;
  });
}

void* JOVC_CALL jovc_memory_get(uint32_t size, uint32_t flags) {
  // JOV_MemoryGet never throws; the caller's location is not used.
  return JOV_MemoryGet(size, flags, nullptr, 0);
}

JOVC_RESULT JOVC_CALL jovc_memory_free(void* block) {
  return Shell([&] { return JOV_MemoryFree(block) == 0 ? JOVC_OK : JOVC_ERR_SYSTEM; });
}

uint64_t JOVC_CALL jovc_memory_pool_busy(void) { return JOV_PoolMemBusy; }

}  // extern "C"
