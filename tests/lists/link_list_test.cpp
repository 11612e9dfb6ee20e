// link_list_test.cpp - the locked intrusive list: insertion, checked removal with its codes,
// pop and single steps, and four threads through one locked anchor.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "support/lane.h"

namespace {

struct Element {
  JOVLink link;
  int id;
};
using Ids = std::vector<int>;

// The ids from head to tail, -1 for a broken back link, the tail and the count; the tail
// and count are checked against the walk on the way.
Ids Walk(const JOVLinkAnchor& anchor) {
  Ids ids;
  const JOVLink* prior = nullptr;
  for (const JOVLink* p = anchor.pHead; p; prior = p, p = p->pNext)
    ids.push_back(p->pPrior == prior ? reinterpret_cast<const Element*>(p)->id : -1);
  EXPECT_EQ(anchor.pTail, prior);
  EXPECT_EQ(anchor.nCount, ids.size());
  return ids;
}

unsigned long Thrown(void* (*step)(JOVLinkAnchor*, void*), JOVLinkAnchor* anchor, void* element) {
  try {
    return step(anchor, element), 0;
  } catch (unsigned long code) {
    return code;
  }
}
void* Pop(JOVLinkAnchor* anchor, void*) { return JOV_LinkPopFirst(anchor); }

}  // namespace

TEST(LinkList, InsertRemovePopAndStep) {
  Element e[7], other[3], stranger{};
  JOVLinkAnchor list, others, empty;
  JOV_LinkInitAnchor(&list, nullptr), JOV_LinkInitAnchor(&others, nullptr), JOV_LinkInitAnchor(&empty, nullptr);
  ::SetLastError(1234);
  EXPECT_EQ(JOV_LinkToHead(nullptr, &e[0]) + JOV_LinkToHead(&list, nullptr), 2 * 20000u);
  EXPECT_EQ(JOV_LinkToTail(nullptr, &e[0]) + JOV_LinkToTail(&list, nullptr), 2 * 20002u);
  EXPECT_EQ(::GetLastError(), 1234u);  // a refused call leaves the thread's error alone
  for (int i = 0; i < 7; ++i) {
    e[i] = {{&stranger.link, &stranger.link}, i};  // stale links are overwritten
    EXPECT_EQ(i % 2 ? JOV_LinkToTail(&list, &e[i]) : JOV_LinkToHead(&list, &e[i]), 0u);
    EXPECT_EQ(::GetLastError(), 0u);
    ::SetLastError(99);
  }
  for (int i = 0; i < 3; ++i) JOV_LinkToTail(&others, &other[i]);
  EXPECT_EQ(Walk(list), (Ids{6, 4, 2, 0, 1, 3, 5}));
  const struct {
    JOVLinkAnchor* anchor;
    void* element;
    unsigned long code;
  } removals[] = {{nullptr, &e[0], 20004}, {&list, nullptr, 20004}, {&empty, &e[0], 20005},
                  {&list, &other[0], 20006}, {&list, &other[2], 20008},  // another list's head and tail
                  {&list, &e[0], 0}, {&list, &e[6], 0}, {&list, &e[5], 0}};
  for (const auto& removal : removals) EXPECT_EQ(JOV_LinkRemove(removal.anchor, removal.element), removal.code);
  EXPECT_EQ(Walk(list), (Ids{4, 2, 1, 3}));
  EXPECT_EQ(e[5].link.pNext, nullptr);
  EXPECT_EQ(e[5].link.pPrior, nullptr);
  EXPECT_EQ(Thrown(&Pop, &list, nullptr), 0u);
  e[2].link.pPrior = &stranger.link;  // a prior or next that does not point back is refused
  EXPECT_EQ(JOV_LinkRemove(&list, &e[2]), 20007u);
  EXPECT_EQ(Thrown(&Pop, &list, nullptr), 20007u);  // the head claims a prior
  e[2].link.pPrior = nullptr, e[2].link.pNext = &stranger.link;
  EXPECT_EQ(JOV_LinkRemove(&list, &e[2]), 20009u);
  e[2].link.pNext = &e[1].link;
  Ids forward, backward;
  for (void* p = list.pHead; p; p = JOV_LinkNext(&list, p)) forward.push_back(static_cast<Element*>(p)->id);
  for (void* p = list.pTail; p; p = JOV_LinkPrior(&list, p)) backward.push_back(static_cast<Element*>(p)->id);
  EXPECT_EQ(forward, (Ids{2, 1, 3}));
  EXPECT_EQ(backward, (Ids{3, 1, 2}));
  ::SetLastError(5);
  EXPECT_EQ(JOV_LinkNext(&list, nullptr), nullptr);  // a null element is not the head
  EXPECT_EQ(::GetLastError(), 0u);
  EXPECT_EQ(JOV_LinkPrior(&list, nullptr), nullptr);
  for (int id : {2, 1, 3}) EXPECT_EQ(static_cast<Element*>(JOV_LinkPopFirst(&list))->id, id);
  EXPECT_EQ(JOV_LinkPopFirst(&list), nullptr);
  EXPECT_EQ(Walk(list), Ids{});
  EXPECT_EQ(Thrown(&JOV_LinkNext, nullptr, nullptr), 20012u);
  EXPECT_EQ(Thrown(&JOV_LinkPrior, nullptr, &e[0]), 20013u);
  EXPECT_EQ(Thrown(&Pop, nullptr, nullptr), 20011u);
}

// Four threads link, remove and pop through one locked anchor: the list stays whole and
// every element leaves it exactly once (popped, removed by its owner, or drained at the end).
TEST(LinkList, FourThreadsLinkRemoveAndPopThroughOneLock) {
  JOV_SKIP_ON_EMULATED_LANE("threads");
  constexpr int kThreads = 4, kEach = 100000;
  struct Counted {
    JOVLink link;
    std::atomic<int> handedOut{0};
  };
  std::unique_ptr<Counted[]> elements(new Counted[kThreads * kEach]);
  CRITICAL_SECTION lock;
  ::InitializeCriticalSection(&lock);
  JOVLinkAnchor anchor;
  JOV_LinkInitAnchor(&anchor, &lock);
  std::atomic<int> unexpected{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        Counted* mine = &elements[t * kEach + i];
        i % 2 ? JOV_LinkToHead(&anchor, mine) : JOV_LinkToTail(&anchor, mine);
        // Take back the one linked before, unless a pop got it first: its links are then
        // null and the removal is refused as not being in this list.
        if (i % 3 == 1) {
          const unsigned long code = JOV_LinkRemove(&anchor, mine - 1);
          code == 0 ? ++mine[-1].handedOut : unexpected += code != 20005 && code != 20006;
        }
        try {
          if (auto* popped = static_cast<Counted*>(JOV_LinkPopFirst(&anchor))) ++popped->handedOut;
        } catch (unsigned long) {
          ++unexpected;  // a pop that lost a race inside the list
        }
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(unexpected, 0);
  unsigned long chained = 0;
  for (const JOVLink *p = anchor.pHead, *prior = nullptr; p; prior = p, p = p->pNext, ++chained)
    ASSERT_EQ(p->pPrior, prior) << "broken back link after " << chained << " elements";
  EXPECT_EQ(anchor.nCount, chained);
  while (auto* e = static_cast<Counted*>(JOV_LinkPopFirst(&anchor))) ++e->handedOut;
  int wrong = 0;
  for (int i = 0; i < kThreads * kEach; ++i) wrong += elements[i].handedOut != 1;
  EXPECT_EQ(wrong, 0);
  ::DeleteCriticalSection(&lock);
}
