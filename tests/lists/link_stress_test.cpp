// link_stress_test.cpp - many threads linking, removing and popping through one locked
// anchor: the list stays whole and no element is handed out twice.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <atomic>
#include <memory>
#include <vector>

#include "support/lane.h"

namespace {

constexpr int kThreads = 4;
constexpr int kPerThread = 100000;

enum State : int { kLinked = 0, kRemovedByOwner = 1, kPopped = 2, kDrained = 3 };

struct Element {
  JOVLink link;
  std::atomic<int> state;
  std::atomic<int> handedOut;  // times a pop or the owner's removal returned it
};

struct Shared {
  JOVLinkAnchor anchor{};
  CRITICAL_SECTION lock;
  std::unique_ptr<Element[]> elements{new Element[kThreads * kPerThread]};
  std::atomic<int> unexpectedCodes{0};
};

struct Worker {
  Shared* shared;
  int first;  // this thread's own elements are [first, first + kPerThread)

  static DWORD WINAPI Run(void* p) {
    auto* self = static_cast<Worker*>(p);
    Shared& s = *self->shared;
    for (int i = 0; i < kPerThread; ++i) {
      Element& e = s.elements[self->first + i];
      if (i % 2 == 0)
        JOV_LinkToTail(&s.anchor, &e);
      else
        JOV_LinkToHead(&s.anchor, &e);
      if (i % 3 == 1) {
        // Take back the element linked just before, unless a pop got it first: then its
        // links are null and the removal is refused as not being in this list.
        Element& earlier = s.elements[self->first + i - 1];
        const unsigned long code = JOV_LinkRemove(&s.anchor, &earlier);
        if (code == 0) {
          earlier.state = kRemovedByOwner;
          ++earlier.handedOut;
        } else if (code != 20005 && code != 20006) {
          ++s.unexpectedCodes;
        }
      }
      // Popping on every step keeps the list short, so the threads meet at its head.
      void* popped = nullptr;
      try {
        popped = JOV_LinkPopFirst(&s.anchor);
      } catch (unsigned long) {
        ++s.unexpectedCodes;  // a pop that lost a race inside the list
      }
      if (popped != nullptr) {
        static_cast<Element*>(popped)->state = kPopped;
        ++static_cast<Element*>(popped)->handedOut;
      }
    }
    return 0;
  }
};

}  // namespace

TEST(LinkStress, FourThreadsLinkRemoveAndPopThroughOneLock) {
  JOV_REQUIRE_THREADS();
  Shared s;
  ::InitializeCriticalSection(&s.lock);
  JOV_LinkInitAnchor(&s.anchor, &s.lock);
  for (int i = 0; i < kThreads * kPerThread; ++i) {
    s.elements[i].state = kLinked;
    s.elements[i].handedOut = 0;
  }

  Worker workers[kThreads];
  HANDLE threads[kThreads];
  for (int t = 0; t < kThreads; ++t) {
    workers[t] = Worker{&s, t * kPerThread};
    threads[t] = ::CreateThread(nullptr, 0, &Worker::Run, &workers[t], 0, nullptr);
    ASSERT_NE(threads[t], nullptr);
  }
  ::WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
  for (HANDLE h : threads) ::CloseHandle(h);
  EXPECT_EQ(s.unexpectedCodes.load(), 0);

  // The survivors form one consistent chain whose length is the count.
  unsigned long chained = 0;
  const JOVLink* prior = nullptr;
  for (const JOVLink* p = s.anchor.pHead; p != nullptr; p = p->pNext) {
    ASSERT_EQ(p->pPrior, prior) << "broken back link after " << chained << " elements";
    prior = p;
    ASSERT_LE(++chained, static_cast<unsigned long>(kThreads * kPerThread));
  }
  EXPECT_EQ(s.anchor.pTail, prior);
  EXPECT_EQ(s.anchor.nCount, chained);

  while (auto* e = static_cast<Element*>(JOV_LinkPopFirst(&s.anchor))) {
    e->state = kDrained;
    ++e->handedOut;
  }
  EXPECT_EQ(s.anchor.nCount, 0u);
  EXPECT_EQ(s.anchor.pTail, nullptr);

  // Every element left the list exactly once: popped, removed by its owner, or drained.
  int handedTwice = 0, neverLeft = 0, drained = 0;
  for (int i = 0; i < kThreads * kPerThread; ++i) {
    const int n = s.elements[i].handedOut.load();
    if (n > 1) ++handedTwice;
    if (n == 0) ++neverLeft;
    if (s.elements[i].state == kDrained) ++drained;
  }
  EXPECT_EQ(handedTwice, 0);
  EXPECT_EQ(neverLeft, 0);
  EXPECT_EQ(static_cast<unsigned long>(drained), chained);
  ::DeleteCriticalSection(&s.lock);
}
