// allocator_test.cpp - the allocator front: guard frames byte for byte and the damaged-frame
// exception crossing the DLL boundary, many threads at once, and what needs a process of its
// own: the lazy definition, counting, the event ring, a failing release, and the
// virtual-memory strategy's no-access page behind a block.
#include "support/test_prelude.h"

#include <malloc.h>

#include <atomic>

namespace {

constexpr std::size_t kWord = sizeof(void*), kRecord = 2 * kWord + 16;  // two addresses, a pattern
const std::string kFront = "\xFE\xFD\xFE\xFD\xAA\xBB\xCC\xDD\xAF\xBF\xCF\xDF\xEA\xEB\xEC\xED";
const std::string kRear = "\xEE\xEF\xFE\xEE\xDD\xCC\xBB\xAA\xFD\xFC\xFB\xFA\xDE\xCE\xBE\xAE";

// What freeing through a variable threw, or -1 when it returned; -2 when a throw did not
// leave the variable as it was.
long FreeCatching(void* block) {
  void* variable = block;
  try {
    JOV_MemoryFreePtr(&variable);
    return -1;
  } catch (long code) {
    return variable == block ? code : -2;
  }
}

// The strategy is chosen once per process and only a private heap can be torn down back to
// "undefined": each in-process case defines JOVMemAllocHeap with the options it needs.
class PrivateHeap : public testing::Test {
 protected:
  void Define(unsigned long options) {
    JOV_MemoryPoolFree();
    JOV_MonitorMemory = 1;
    ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, options), 0u);
  }
  void TearDown() override {
    JOV_MemoryPoolFree();
    JOV_MonitorMemory = 0;
  }
};

// Replacements for the cases that need a process of their own.
BOOL WINAPI FailingHeapFree(HANDLE, DWORD, void*) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
int definitions = 0;
void WINAPI SlowGetSystemInfo(SYSTEM_INFO* info) {
  ++definitions;
  ::Sleep(100);
  ::GetNativeSystemInfo(info);
}

// A slow first initialisation of a lock, and entries that note a lock entered before it
// was initialised (still all zeros: initialising gives every section its debug record).
std::atomic<int> earlyEntries{0};
void WINAPI SlowInitialise(CRITICAL_SECTION* section) {
  ::Sleep(100);
  ::InitializeCriticalSection(section);
}
void WINAPI CheckedEnter(CRITICAL_SECTION* section) {
  auto* const volatile* debugInfo = &section->DebugInfo;
  if (*debugInfo == nullptr) ++earlyEntries;
  for (int wait = 0; wait < 2000 && *debugInfo == nullptr; ++wait) ::Sleep(1);
  ::EnterCriticalSection(section);
}

}  // namespace

TEST_F(PrivateHeap, GuardFramesAndTheDamagedFrameException) {
  Define(JOVMemOptGuard);
  const unsigned long n = 13;  // odd, so the rear record sits unaligned
  auto* block = static_cast<unsigned char*>(JOV_MemoryGet(n, 0, nullptr, 0));
  unsigned char *front = block - kRecord, *rear = block + n;
  EXPECT_EQ(::HeapSize(hJOVHeap, 0, front), n + 2 * kRecord);
  // Both records start with the front and the rear record's addresses.
  const unsigned char* addresses[2] = {front, rear};
  const std::string words(reinterpret_cast<const char*>(addresses), sizeof addresses);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(front), n + 2 * kRecord),
            words + kFront + std::string(n, '\xEA') + words + kRear);
  // Every test of the check fails on its byte, and on a wild rear address, by throwing
  // (long)9 and leaving the variable freed through as it was: nothing is released, counted
  // or recorded meanwhile.
  const unsigned long long held = JOV_PoolMemBusy;
  for (unsigned char* byte = front; byte < rear + kRecord; byte += byte + 1 == block ? n + 1 : 1) {
    *byte ^= 0x10;
    EXPECT_EQ(FreeCatching(block), 9L) << "frame byte " << (byte - front);
    *byte ^= 0x10;
  }
  for (std::uintptr_t wild : {std::uintptr_t{0x10}, ~std::uintptr_t{15}}) {
    std::memcpy(front + kWord, &wild, kWord);
    EXPECT_EQ(FreeCatching(block), 9L) << wild;
  }
  std::memcpy(front + kWord, &rear, kWord);
  void* foreign = ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, 64);
  void* pageStart = ::VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  // The second's front is unmapped.
  EXPECT_EQ(FreeCatching(foreign) + FreeCatching(pageStart), 18L);
  ::HeapFree(::GetProcessHeap(), 0, foreign);
  ::VirtualFree(pageStart, 0, MEM_RELEASE);
  EXPECT_EQ(std::make_pair(JOV_PoolMemBusy, g_pJOVMemCtl->pNextRecord),
            std::make_pair(held, &g_pJOVMemCtl->Records[1]));
  void* variable = block;
  EXPECT_EQ(JOV_MemoryFreePtr(&variable), 0u);
  EXPECT_EQ(JOV_PoolMemBusy + std::uintptr_t(variable), 0u);
  // Overflows with the frame.
  EXPECT_EQ(JOV_MemoryGet(0xFFFFFFFFUL - 2 * kRecord + 1, 0, nullptr, 0), nullptr);
  // A second definition keeps the strategy, replaces the options; flags 0 take the options'
  // zero-fill bit, other flags replace it.
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocVirtual, 0, JOVMemOptGuard | JOVMemOptZeroFill), 0u);
  auto* zeroed = static_cast<char*>(JOV_MemoryGet(40, 0, nullptr, 0));
  auto* filled = static_cast<char*>(JOV_MemoryGet(40, 0x1, nullptr, 0));
  EXPECT_EQ(::HeapSize(hJOVHeap, 0, zeroed - kRecord), 40 + 2 * kRecord);
  EXPECT_EQ(std::string(zeroed, 40) + std::string(filled, 40),
            std::string(40, '\0') + std::string(40, '\xEA'));
  EXPECT_EQ(JOV_MemoryFree(zeroed) + JOV_MemoryFree(filled), 0u);
}

TEST_F(PrivateHeap, ManyThreadsKeepThePoolCountAndTheRingWhole) {
  JOV_SKIP_ON_EMULATED_LANE("threads");
  Define(0);
  void* keep = JOV_MemoryGet(100, 0, nullptr, 0);  // a start value other than 0
  const unsigned long long start = JOV_PoolMemBusy;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] {
      for (int i = 0; i < 100000; ++i) JOV_MemoryFree(JOV_MemoryGet(24, 0, nullptr, 0));
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(JOV_PoolMemBusy, start);
  int balance = 0, wrong = 0;
  for (const JOV_MemCtlRecord& r : g_pJOVMemCtl->Records) {
    balance += r.wOperation == 'G' ? 1 : -1;
    wrong += r.nSize != (r.wOperation == 'G' ? 24u : 0u) || !r.pBlock ||
             r.dwThreadId == ::GetCurrentThreadId();
  }
  EXPECT_EQ(wrong, 0);
  // Each thread alternates, so neither kind dominates the last 2047.
  EXPECT_LE(std::abs(balance), 5);
  EXPECT_EQ(JOV_MemoryFree(keep), 0u);
}

// ---- What needs a process of its own ------------------------------------------------------
// The first gets define the runtime heap with options 0, even for 0 bytes and when several
// race (every definition fetches the system information once); the ring needs monitoring
// before it.
FRESH_TEST(Memory, FirstGetsDefineMallocOnceWithNoOptions) {
  int local = 0;
  EXPECT_EQ(JOV_MemoryFree(&local), 87u);  // no strategy: nothing released, nothing defined
  JOVMemOptions = JOVMemOptZeroFill;
  jovtest::ScopedImportPatch patch("GetSystemInfo", &SlowGetSystemInfo);
  jovtest::ScopedImportPatch initialise("InitializeCriticalSection", &SlowInitialise);
  jovtest::ScopedImportPatch enter("EnterCriticalSection", &CheckedEnter);
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) threads.emplace_back([] { JOV_MemoryGet(0, 0, nullptr, 0); });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(earlyEntries, 0);
  EXPECT_EQ(std::make_tuple(definitions, JOVMemAllocType, JOVMemOptions),
            std::make_tuple(1, JOVMemAllocMalloc, 0ul));
  JOV_MonitorMemory = 1;
  void* block = JOV_MemoryGet(8, 0, nullptr, 0);
  EXPECT_EQ(g_pJOVMemCtl, nullptr);
  EXPECT_EQ(JOV_PoolMemBusy, _msize(block));
  EXPECT_EQ(JOV_MemoryFree(block) + JOV_PoolMemBusy, 0u);
}

// Monitoring 1 counts the heap's block sizes and records every get and free in the ring,
// the oldest overwritten first; 2 counts and records nothing. A release the heap refuses
// is taken off the count and recorded all the same.
FRESH_TEST(Memory, PrivateHeapCountsRecordsAndReportsHeapFreeErrors) {
  JOV_MonitorMemory = 1;
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, 0), 0u);
  void* none = nullptr;
  EXPECT_EQ(JOV_MemoryFree(nullptr) + JOV_MemoryFreePtr(&none) + JOV_MemoryFreePtr(nullptr), 0u);
  EXPECT_EQ(JOV_MemoryGet(0, 0, nullptr, 0), nullptr);
  EXPECT_EQ(g_pJOVMemCtl->pNextRecord, nullptr);  // nothing recorded yet
  std::vector<void*> blocks;
  for (unsigned long n = 1; n <= 2048; ++n) blocks.push_back(JOV_MemoryGet(n, 0, nullptr, 0));
  const JOV_MemCtlBlock* ring = g_pJOVMemCtl;
  const JOV_MemCtlRecord& get = ring->Records[0];  // the 2048th get overwrote the first
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  EXPECT_EQ(std::make_tuple(ring->pNextRecord, ring->Records[1].nSize, ring->Records[2046].pBlock,
                            get.wOperation, get.pBlock, get.nSize, get.dwThreadId, get.stTime.wYear,
                            get.wReserved),
            std::make_tuple(ring->Records + 1, 2ul, blocks[2046], WORD{'G'}, blocks[2047], 2048ul,
                            ::GetCurrentThreadId(), now.wYear, WORD{0}));
  unsigned long long sizes = 0;
  for (void* block : blocks) sizes += ::HeapSize(hJOVHeap, 0, block);
  EXPECT_EQ(JOV_PoolMemBusy, sizes);
  jovtest::ScopedImportPatch patch("HeapFree", &FailingHeapFree);
  EXPECT_EQ(JOV_MemoryFree(blocks[99]), 5u);
  EXPECT_EQ(sizes - JOV_PoolMemBusy, ::HeapSize(hJOVHeap, 0, blocks[99]));
  JOV_MonitorMemory = 2;
  sizes = JOV_PoolMemBusy - ::HeapSize(hJOVHeap, 0, blocks[98]);
  JOV_MemoryFree(blocks[98]);
  EXPECT_EQ(std::make_tuple(JOV_PoolMemBusy, ring->pNextRecord),
            std::make_tuple(sizes, ring->Records + 2));
}

TEST(DISABLED_ExitMemory, VirtualBlockOverrunFaults) {
  jovtest::EndWithExceptionCodeOnCrash();
  JOV_MemoryDefine(JOVMemAllocVirtual, 0, 0);
  static_cast<volatile char*>(JOV_MemoryGet(100, 0, nullptr, 0))[100] = 1;  // one byte past the end
}

TEST(MemoryStrategies, VirtualBlockOverrunByOneByteFaultsAtOnce) {
  JOV_SKIP_ON_EMULATED_LANE("child processes");
  EXPECT_EQ(jovtest::RunAlone("DISABLED_ExitMemory.VirtualBlockOverrunFaults").exitCode,
            0xC0000005u);
}
