// guard_frame_test.cpp - guard frames byte for byte, zero-filling, and the damaged-frame
// exception that crosses the DLL boundary while the block stays allocated. In-process, so
// that the 32-bit lane proves the exception path as well.
#include <cstdint>
#include <cstring>

#include "memory_test_helpers.h"

namespace {

using memtest::FreeCatching;
using memtest::kFrontPattern;
using memtest::kRearPattern;
using memtest::kRecordSize;

unsigned char* FrontOf(void* block) { return static_cast<unsigned char*>(block) - kRecordSize; }
void* Word(const unsigned char* record, int index) {
  void* word;
  std::memcpy(&word, record + index * sizeof(void*), sizeof word);
  return word;
}

class GuardFrame : public memtest::PrivateHeapTest {
 protected:
  void SetUp() override { DefineHeap(JOVMemOptGuard, /*monitor=*/2); }
};

TEST_F(GuardFrame, RecordsSurroundCallerBytesFilledWithEA) {
  const unsigned long n = 13;  // odd, so the rear record sits unaligned
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(n, 0, nullptr, 0));
  ASSERT_NE(block, nullptr);
  unsigned char* front = FrontOf(block);
  unsigned char* rear = block + n;
  EXPECT_EQ(::HeapSize(hJOVHeap, 0, front), n + 2 * kRecordSize);

  EXPECT_EQ(Word(front, 0), front);
  EXPECT_EQ(Word(front, 1), rear);
  EXPECT_EQ(std::memcmp(front + 2 * sizeof(void*), kFrontPattern, 16), 0);
  for (unsigned long i = 0; i < n; ++i) EXPECT_EQ(block[i], 0xEA) << "caller byte " << i;
  EXPECT_EQ(Word(rear, 0), front);
  EXPECT_EQ(Word(rear, 1), rear);
  EXPECT_EQ(std::memcmp(rear + 2 * sizeof(void*), kRearPattern, 16), 0);

  EXPECT_EQ(JOV_MemoryFree(block), 0u);
}

TEST_F(GuardFrame, ZeroFillClearsOnlyTheCallersBytes) {
  const unsigned long n = 40;
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(n, JOVMemOptZeroFill, nullptr, 0));
  ASSERT_NE(block, nullptr);
  for (unsigned long i = 0; i < n; ++i) EXPECT_EQ(block[i], 0) << "caller byte " << i;
  EXPECT_EQ(std::memcmp(FrontOf(block) + 2 * sizeof(void*), kFrontPattern, 16), 0);
  EXPECT_EQ(std::memcmp(block + n + 2 * sizeof(void*), kRearPattern, 16), 0);
  EXPECT_EQ(JOV_MemoryFree(block), 0u);
}

TEST_F(GuardFrame, FlagsZeroTakeZeroFillFromOptionsOtherFlagsAreTakenAsGiven) {
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, JOVMemOptGuard | JOVMemOptZeroFill), 0u);
  auto* fromOptions = static_cast<unsigned char*>(JOV_MemoryGet(8, 0, nullptr, 0));
  auto* fromFlags = static_cast<unsigned char*>(JOV_MemoryGet(8, 0x1, nullptr, 0));
  ASSERT_NE(fromOptions, nullptr);
  ASSERT_NE(fromFlags, nullptr);
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(fromOptions[i], 0);
    EXPECT_EQ(fromFlags[i], 0xEA);  // flags 0x1 replace the options: no zero-fill
  }
  EXPECT_EQ(JOV_MemoryFree(fromOptions), 0u);
  EXPECT_EQ(JOV_MemoryFree(fromFlags), 0u);
}

// Every pattern byte of either record is checked; a damaged one throws (long)9, and the
// block is neither released nor uncounted until it is repaired and freed again.
TEST_F(GuardFrame, DamagedPatternByteThrowsNineAndKeepsBlock) {
  const unsigned long n = 21;
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(n, 0, nullptr, 0));
  ASSERT_NE(block, nullptr);
  const unsigned long long held = JOV_PoolMemBusy;
  EXPECT_GT(held, 0u);
  unsigned char* patterns[2] = {FrontOf(block) + 2 * sizeof(void*),
                                block + n + 2 * sizeof(void*)};
  for (unsigned char* pattern : patterns) {
    for (int i = 0; i < 16; ++i) {
      const unsigned char saved = pattern[i];
      pattern[i] ^= 0x01;
      EXPECT_EQ(FreeCatching(block), 9L) << "pattern byte " << i;
      EXPECT_EQ(JOV_PoolMemBusy, held);
      pattern[i] = saved;
    }
  }
  EXPECT_EQ(::HeapValidate(hJOVHeap, 0, FrontOf(block)), TRUE);  // still allocated
  unsigned long result = 1;
  EXPECT_EQ(FreeCatching(block, &result), -1L);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
}

TEST_F(GuardFrame, DamagedAddressWordThrowsNine) {
  const unsigned long n = 16;
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(n, 0, nullptr, 0));
  ASSERT_NE(block, nullptr);
  unsigned char* words[3] = {FrontOf(block), block + n, block + n + sizeof(void*)};
  for (unsigned char* word : words) {
    const unsigned char saved = word[0];
    word[0] ^= 0x10;
    EXPECT_EQ(FreeCatching(block), 9L);
    word[0] = saved;
  }
  // A front record naming a rear record far away (unmapped memory) is damage, not a crash.
  void* wild = reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x10));
  void* savedRear = Word(FrontOf(block), 1);
  std::memcpy(FrontOf(block) + sizeof(void*), &wild, sizeof wild);
  EXPECT_EQ(FreeCatching(block), 9L);
  std::memcpy(FrontOf(block) + sizeof(void*), &savedRear, sizeof savedRear);
  EXPECT_EQ(JOV_MemoryFree(block), 0u);
}

TEST_F(GuardFrame, ForeignBlocksThrowNineWithoutFaulting) {
  void* fromHeap = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, 64);
  EXPECT_EQ(FreeCatching(fromHeap), 9L);
  ::HeapFree(::GetProcessHeap(), 0, fromHeap);

  // The front record would lie in the unmapped memory before a fresh reservation.
  void* pageStart = ::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  ASSERT_NE(pageStart, nullptr);
  EXPECT_EQ(FreeCatching(pageStart), 9L);
  ::VirtualFree(pageStart, 0, MEM_RELEASE);
}

TEST_F(GuardFrame, FreePtrLeavesVariableWhenFrameIsDamaged) {
  void* block = JOV_MemoryGet(4, 0, nullptr, 0);
  ASSERT_NE(block, nullptr);
  void* variable = block;
  FrontOf(block)[2 * sizeof(void*)] = 0;
  try {
    JOV_MemoryFreePtr(&variable);
    ADD_FAILURE() << "no exception";
  } catch (long code) {
    EXPECT_EQ(code, 9L);
  }
  EXPECT_EQ(variable, block);
  FrontOf(block)[2 * sizeof(void*)] = kFrontPattern[0];
  EXPECT_EQ(JOV_MemoryFreePtr(&variable), 0u);
  EXPECT_EQ(variable, nullptr);
}

TEST_F(GuardFrame, SizeThatOverflowsWithItsFrameIsRefused) {
  EXPECT_EQ(JOV_MemoryGet(0xFFFFFFFFUL, 0, nullptr, 0), nullptr);
  EXPECT_EQ(JOV_MemoryGet(0xFFFFFFFFUL - 2 * kRecordSize + 1, 0, nullptr, 0), nullptr);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
}

}  // namespace
