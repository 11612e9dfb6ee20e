// memory_test_helpers.h - shared pieces of the allocator front's tests: the in-process
// fixture that starts every case from a fresh private-heap definition, the guard-frame
// layout as a client sees it, and a catcher for the damaged-frame exception.
#pragma once

#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstddef>

namespace memtest {

// One guard record: two address words and 16 pattern bytes (24 bytes on the 32-bit build).
constexpr std::size_t kRecordSize = 2 * sizeof(void*) + 16;
constexpr unsigned char kFrontPattern[16] = {0xFE, 0xFD, 0xFE, 0xFD, 0xAA, 0xBB, 0xCC, 0xDD,
                                             0xAF, 0xBF, 0xCF, 0xDF, 0xEA, 0xEB, 0xEC, 0xED};
constexpr unsigned char kRearPattern[16] = {0xEE, 0xEF, 0xFE, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA,
                                            0xFD, 0xFC, 0xFB, 0xFA, 0xDE, 0xCE, 0xBE, 0xAE};

// What JOV_MemoryFree threw: the long value, -1 when it returned (result in *returned),
// -2 for an exception of another type.
inline long FreeCatching(void* block, unsigned long* returned = nullptr) {
  try {
    unsigned long result = JOV_MemoryFree(block);
    if (returned) *returned = result;
    return -1;
  } catch (long code) {
    return code;
  } catch (...) {
    return -2;
  }
}

// The strategy is chosen once per process, and only a private heap can be torn down back to
// "undefined". So every in-process case defines JOVMemAllocHeap with the options it needs
// and tears it down afterwards; other strategies are tested in child processes.
class PrivateHeapTest : public ::testing::Test {
 protected:
  void DefineHeap(unsigned long options, long monitor) {
    JOV_MemoryPoolFree();
    ASSERT_EQ(JOVMemAllocType, JOVMemAllocNone)
        << "an in-process case defined a strategy other than the private heap";
    JOV_MonitorMemory = monitor;
    ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, options), 0u);
    ASSERT_NE(hJOVHeap, nullptr);
  }
  void TearDown() override {
    JOV_MemoryPoolFree();
    JOV_MonitorMemory = 0;
  }
};

}  // namespace memtest
