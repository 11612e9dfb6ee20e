// guard_frame_test.cpp - guard frames byte for byte, the damaged-frame exception crossing
// the DLL boundary while the block stays allocated, the event ring's records, and many
// threads through the allocator. In-process, so that the 32-bit lane proves the exception
// path as well.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/lane.h"

namespace {

constexpr std::size_t kWord = sizeof(void*), kRecord = 2 * kWord + 16;  // two addresses, a pattern
const std::string kFront = "\xFE\xFD\xFE\xFD\xAA\xBB\xCC\xDD\xAF\xBF\xCF\xDF\xEA\xEB\xEC\xED";
const std::string kRear = "\xEE\xEF\xFE\xEE\xDD\xCC\xBB\xAA\xFD\xFC\xFB\xFA\xDE\xCE\xBE\xAE";

// A record as text: its two address words as offsets from `base`, then its pattern.
std::string Record(const unsigned char* at, const unsigned char* base) {
  std::uintptr_t words[2];
  std::memcpy(words, at, sizeof words);
  return std::to_string(words[0] - std::uintptr_t(base)) + " " + std::to_string(words[1] - std::uintptr_t(base)) + " " +
         std::string(reinterpret_cast<const char*>(at + 2 * kWord), 16);
}

// What JOV_MemoryFree threw: the long value, or -1 when it returned.
long FreeCatching(void* block) {
  try {
    return JOV_MemoryFree(block), -1;
  } catch (long code) {
    return code;
  }
}

// The strategy is chosen once per process and only a private heap can be torn down back to
// "undefined": each case defines JOVMemAllocHeap with the options it needs.
class PrivateHeap : public testing::Test {
 protected:
  void Define(unsigned long options, long monitor) {
    JOV_MemoryPoolFree();
    ASSERT_EQ(JOVMemAllocType, JOVMemAllocNone) << "a case defined another strategy";
    JOV_MonitorMemory = monitor;
    ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, options), 0u);
  }
  void TearDown() override { JOV_MemoryPoolFree(), JOV_MonitorMemory = 0; }
};

}  // namespace

TEST_F(PrivateHeap, GuardFramesAndTheDamagedFrameException) {
  Define(JOVMemOptGuard, 2);
  const unsigned long n = 13;  // odd, so the rear record sits unaligned
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(n, 0, nullptr, 0));
  unsigned char *front = block - kRecord, *rear = block + n;
  EXPECT_EQ(::HeapSize(hJOVHeap, 0, front), n + 2 * kRecord);
  EXPECT_EQ(Record(front, front), "0 " + std::to_string(kRecord + n) + " " + kFront);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(block), n), std::string(n, '\xEA'));
  EXPECT_EQ(Record(rear, front), "0 " + std::to_string(kRecord + n) + " " + kRear);
  // Every test of the check fails on its byte, a wild rear address too, and throws (long)9:
  // nothing is released or uncounted meanwhile.
  const unsigned long long held = JOV_PoolMemBusy;
  for (unsigned char* byte = front; byte < rear + kRecord; byte += byte + 1 == front + kRecord ? n + 1 : 1) {
    *byte ^= 0x10;
    EXPECT_EQ(FreeCatching(block), 9L) << "frame byte " << (byte - front);
    *byte ^= 0x10;
  }
  for (std::uintptr_t wild : {std::uintptr_t{0x10}, ~std::uintptr_t{15}}) {
    std::memcpy(front + kWord, &wild, kWord);
    EXPECT_EQ(FreeCatching(block), 9L) << wild;
  }
  std::memcpy(front + kWord, &rear, kWord);
  EXPECT_EQ(JOV_PoolMemBusy, held);
  void* variable = block;
  front[2 * kWord] = 0;
  EXPECT_THROW(JOV_MemoryFreePtr(&variable), long);
  EXPECT_EQ(variable, block);  // left as it was
  front[2 * kWord] = kFront[0];
  EXPECT_EQ(JOV_MemoryFreePtr(&variable), 0u);
  EXPECT_EQ(variable, nullptr);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
  void* foreign = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, 64);
  void* pageStart = ::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  EXPECT_EQ(FreeCatching(foreign), 9L);
  EXPECT_EQ(FreeCatching(pageStart), 9L);  // its front record would lie in unmapped memory
  ::HeapFree(::GetProcessHeap(), 0, foreign), ::VirtualFree(pageStart, 0, MEM_RELEASE);
  EXPECT_EQ(JOV_MemoryGet(0xFFFFFFFFUL - 2 * kRecord + 1, 0, nullptr, 0), nullptr);  // overflows with its frame
  // A second definition keeps the strategy and replaces the options. Flags 0 take the
  // zero-fill bit from them; other flags replace them.
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocVirtual, 0, JOVMemOptGuard | JOVMemOptZeroFill), 0u);
  EXPECT_EQ(JOVMemAllocType, JOVMemAllocHeap);
  auto* zeroed = static_cast<char*>(JOV_MemoryGet(40, 0, nullptr, 0));
  auto* filled = static_cast<char*>(JOV_MemoryGet(40, 0x1, nullptr, 0));
  EXPECT_EQ(std::string(zeroed, 40) + std::string(filled, 40), std::string(40, '\0') + std::string(40, '\xEA'));
  EXPECT_EQ(Record(reinterpret_cast<unsigned char*>(zeroed) + 40, reinterpret_cast<unsigned char*>(zeroed) - kRecord),
            "0 " + std::to_string(kRecord + 40) + " " + kRear);
  EXPECT_EQ(JOV_MemoryFree(zeroed) + JOV_MemoryFree(filled), 0u);
}

TEST_F(PrivateHeap, EventRingRecordsGetsAndFreesOnlyAtMonitoringOne) {
  Define(JOVMemOptGuard, 1);
  JOV_MemCtlBlock* ring = g_pJOVMemCtl;
  void* empty = nullptr;
  EXPECT_EQ(JOV_MemoryFree(nullptr) + JOV_MemoryFreePtr(&empty) + JOV_MemoryFreePtr(nullptr), 0u);
  EXPECT_EQ(JOV_MemoryGet(0, 0, nullptr, 0), nullptr);
  EXPECT_EQ(ring->pNextRecord, nullptr);  // nothing recorded yet
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(77, 0, nullptr, 0));
  block[77 + 2 * kWord] ^= 0xFF;  // a damaged free writes no event either
  EXPECT_EQ(FreeCatching(block), 9L);
  block[77 + 2 * kWord] ^= 0xFF;
  EXPECT_EQ(JOV_MemoryFree(block), 0u);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  auto describe = [block](const JOV_MemCtlRecord& r) {
    return std::string(1, char(r.wOperation)) + (r.pBlock == block ? " block " : " other ") + std::to_string(r.nSize) +
           (r.dwThreadId == ::GetCurrentThreadId() ? " thread " : " other ") + std::to_string(r.stTime.wYear) + " " +
           std::to_string(r.wReserved);
  };
  const std::string year = std::to_string(now.wYear);
  EXPECT_EQ(describe(ring->Records[0]) + "|" + describe(ring->Records[1]), "G block 77 thread " + year + " 0|F block 0 thread " + year + " 0");
  EXPECT_EQ(ring->pNextRecord, &ring->Records[2]);
  JOV_MonitorMemory = 2;  // counts, records nothing
  void* counted = JOV_MemoryGet(12, 0, nullptr, 0);
  EXPECT_GT(JOV_PoolMemBusy, 12u);
  EXPECT_EQ(JOV_MemoryFree(counted), 0u);
  EXPECT_EQ(JOV_PoolMemBusy, 0u);
  EXPECT_EQ(ring->pNextRecord, &ring->Records[2]);
}

TEST_F(PrivateHeap, ManyThreadsKeepThePoolCountAndTheRingWhole) {
  JOV_SKIP_ON_EMULATED_LANE("threads");
  Define(0, 1);
  void* keep = JOV_MemoryGet(100, 0, nullptr, 0);  // a start value other than 0
  const unsigned long long start = JOV_PoolMemBusy;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] { for (int i = 0; i < 100000; ++i) JOV_MemoryFree(JOV_MemoryGet(24, 0, nullptr, 0)); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(JOV_PoolMemBusy, start);
  int balance = 0, wrong = 0;
  for (const JOV_MemCtlRecord& r : g_pJOVMemCtl->Records) {
    balance += r.wOperation == 'G' ? 1 : -1;
    wrong += r.nSize != (r.wOperation == 'G' ? 24u : 0u) || r.pBlock == nullptr || r.dwThreadId == ::GetCurrentThreadId();
  }
  EXPECT_EQ(wrong, 0);
  EXPECT_LE(std::abs(balance), 5);  // each thread alternates, so neither kind dominates the last 2047
  EXPECT_EQ(JOV_MemoryFree(keep), 0u);
}
