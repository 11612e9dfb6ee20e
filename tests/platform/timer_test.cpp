// timer_test.cpp - the microsecond timer: the performance-counter scale in process and with
// a replaced counter, and the tick-count fallback with its wrap count in child processes.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "support/lane.h"
#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

unsigned long long CounterMicrosecondsNow() {
  LARGE_INTEGER count, frequency;
  ::QueryPerformanceCounter(&count);
  ::QueryPerformanceFrequency(&frequency);
  return static_cast<unsigned long long>(static_cast<double>(count.QuadPart) * 1e6 /
                                         static_cast<double>(frequency.QuadPart));
}

// Scripted answers for a child's replaced imports; the last entry repeats.
const long long* scriptedCounts = nullptr;
int scriptedCountCount = 0;
std::atomic<int> counterCalls{0};
std::atomic<int> frequencyCalls{0};
long long scriptedFrequency = 0;

BOOL WINAPI FakeQueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  ++frequencyCalls;
  if (!scriptedFrequency) return FALSE;
  frequency->QuadPart = scriptedFrequency;
  return TRUE;
}

BOOL WINAPI FakeQueryPerformanceCounter(LARGE_INTEGER* count) {
  int call = counterCalls++;
  count->QuadPart = scriptedCounts ? scriptedCounts[call < scriptedCountCount
                                                        ? call : scriptedCountCount - 1]
                                   : 0;
  return TRUE;
}

const DWORD* scriptedTicks = nullptr;
int scriptedTickCount = 0;
std::atomic<int> tickCalls{0};

DWORD WINAPI FakeGetTickCount() {
  int call = tickCalls++;
  return scriptedTicks[call < scriptedTickCount ? call : scriptedTickCount - 1];
}

// A shared clock that advances one millisecond per reading across 2^32. The callers that
// get the last readings before the wrap are held back, as if preempted, while the others
// carry the clock past it: a caller that then stores its old reading over the newer state
// makes the next reading look like a second wrap.
std::atomic<unsigned long long> sharedTick{0xFFFF8000ull};
DWORD WINAPI AdvancingGetTickCount() {
  unsigned long long tick = sharedTick++;
  if (tick >= (1ull << 32) - 3 && tick < (1ull << 32)) ::Sleep(50);
  return static_cast<DWORD>(tick);
}

int Mismatches(const unsigned long long* expected, int count) {
  int wrong = 0;
  for (int i = 0; i < count; ++i) {
    unsigned long long got = JOV_TimerValue();
    if (got != expected[i]) {
      std::printf("call %d: got %llu, expected %llu\n", i, got, expected[i]);
      ++wrong;
    }
  }
  return wrong;
}

}  // namespace

JOV_CHILD_CASE(TimerCounterScale) {
  // 3 GHz: truncation, the product taken before the quotient, and a product past 2^64.
  // 3000003000 is one where the quotient taken first rounds down to 1000000.
  static const long long counts[] = {3000000000LL - 1, 3000003000LL, 10, 30000000000000LL,
                                     30000000000001LL};
  static const unsigned long long expected[] = {999999, 1000001, 0, 10000000000ull,
                                                10000000000ull};
  scriptedFrequency = 3000000000LL;
  scriptedCounts = counts;
  scriptedCountCount = 5;
  jovtest::ScopedImportPatch frequency("QueryPerformanceFrequency",
                                       reinterpret_cast<void*>(&FakeQueryPerformanceFrequency));
  jovtest::ScopedImportPatch counter("QueryPerformanceCounter",
                                     reinterpret_cast<void*>(&FakeQueryPerformanceCounter));
  int wrong = Mismatches(expected, 5);
  if (frequencyCalls != 1) std::printf("frequency asked %d times\n", frequencyCalls.load());
  return wrong + (frequencyCalls != 1 ? 100 : 0);
}

JOV_CHILD_CASE(TimerTickFallbackWrap) {
  static const DWORD ticks[] = {1000, 2000, 2000, 0xFFFFFF00u, 0xFFFFFFF0u, 5, 100, 7000};
  static const unsigned long long kWrap = 1ull << 32;
  static const unsigned long long expected[] = {
      1000000,        2000000,        2000000,          0xFFFFFF00ull * 1000, 0xFFFFFFF0ull * 1000,
      (kWrap + 5) * 1000, (kWrap + 100) * 1000, (kWrap + 7000) * 1000};
  scriptedTicks = ticks;
  scriptedTickCount = 8;
  jovtest::ScopedImportPatch frequency("QueryPerformanceFrequency",
                                       reinterpret_cast<void*>(&FakeQueryPerformanceFrequency));
  jovtest::ScopedImportPatch counter("QueryPerformanceCounter",
                                     reinterpret_cast<void*>(&FakeQueryPerformanceCounter));
  jovtest::ScopedImportPatch tick("GetTickCount", reinterpret_cast<void*>(&FakeGetTickCount));
  int wrong = Mismatches(expected, 8);
  if (counterCalls) std::printf("performance counter read %d times\n", counterCalls.load());
  return wrong + (counterCalls ? 100 : 0);
}

JOV_CHILD_CASE(TimerTickFallbackConcurrentWrap) {
  jovtest::ScopedImportPatch frequency("QueryPerformanceFrequency",
                                       reinterpret_cast<void*>(&FakeQueryPerformanceFrequency));
  jovtest::ScopedImportPatch tick("GetTickCount",
                                  reinterpret_cast<void*>(&AdvancingGetTickCount));
  std::atomic<int> decreases{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&decreases] {
      unsigned long long previous = 0;
      for (int i = 0; i < 20000; ++i) {
        unsigned long long now = JOV_TimerValue();
        if (now < previous) ++decreases;
        previous = now;
      }
    });
  for (auto& thread : threads) thread.join();
  // The shared clock crossed 2^32 exactly once: the wrap count must be exactly one.
  unsigned long long last = JOV_TimerValue();
  unsigned long long clock = sharedTick.load() - 1;
  bool wrapCountedOnce = last == clock * 1000;
  if (!wrapCountedOnce) std::printf("last %llu, clock %llu ms\n", last, clock);
  return decreases.load() + (wrapCountedOnce ? 0 : 100000);
}

TEST(TimerValue, CountsMicrosecondsOfThePerformanceCounter) {
  for (int i = 0; i < 100; ++i) {
    unsigned long long before = CounterMicrosecondsNow();
    unsigned long long value = JOV_TimerValue();
    unsigned long long after = CounterMicrosecondsNow();
    ASSERT_LE(before, value);
    ASSERT_LE(value, after);
  }
}

TEST(TimerValue, NeverDecreasesWithinOrAcrossThreads) {
  JOV_REQUIRE_THREADS();
  unsigned long long start = JOV_TimerValue();
  std::atomic<int> decreases{0};
  std::atomic<unsigned long long> latest{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t)
    threads.emplace_back([&] {
      unsigned long long previous = start;
      for (int i = 0; i < 5000; ++i) {
        unsigned long long now = JOV_TimerValue();
        if (now < previous) ++decreases;
        previous = now;
      }
      unsigned long long seen = latest.load();
      while (previous > seen && !latest.compare_exchange_weak(seen, previous)) {}
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(decreases.load(), 0);
  EXPECT_GE(JOV_TimerValue(), latest.load());
}

TEST(TimerValue, CounterIsScaledProductFirstAndTruncated) {
  JOV_REQUIRE_CHILD_PROCESSES();
  jovtest::ChildResult child = jovtest::RunChild("TimerCounterScale");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
}

TEST(TimerValue, TickFallbackGrowsAcrossTheTickWrap) {
  JOV_REQUIRE_CHILD_PROCESSES();
  jovtest::ChildResult child = jovtest::RunChild("TimerTickFallbackWrap");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
}

TEST(TimerValue, TickFallbackCountsAWrapOnceUnderConcurrentCalls) {
  JOV_REQUIRE_CHILD_PROCESSES();
  jovtest::ChildResult child = jovtest::RunChild("TimerTickFallbackConcurrentWrap");
  EXPECT_EQ(child.exitCode, 0u) << child.output;
}
