// link_list_test.cpp - the locked intrusive list: insertion, checked removal with its
// codes, pop, single steps and the owner's lock.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <vector>

#include "support/lane.h"

namespace {

struct Element {
  JOVLink link;
  int id;
};

// A list of `count` elements built with JOV_LinkToTail, ids 0..count-1.
struct Built {
  explicit Built(int count, CRITICAL_SECTION* lock = nullptr) : elements(count) {
    JOV_LinkInitAnchor(&anchor, lock);
    for (int i = 0; i < count; ++i) {
      elements[i].id = i;
      EXPECT_EQ(JOV_LinkToTail(&anchor, &elements[i]), 0u);
    }
  }
  JOVLinkAnchor anchor{};
  std::vector<Element> elements;
};

// The ids from head to tail, checking every back link and the tail on the way.
std::vector<int> IdsChecked(const JOVLinkAnchor& anchor) {
  std::vector<int> ids;
  JOVLink* prior = nullptr;
  for (JOVLink* p = anchor.pHead; p != nullptr; p = p->pNext) {
    EXPECT_EQ(p->pPrior, prior);
    ids.push_back(reinterpret_cast<Element*>(p)->id);
    prior = p;
  }
  EXPECT_EQ(anchor.pTail, prior);
  EXPECT_EQ(anchor.nCount, ids.size());
  return ids;
}

unsigned long ThrownCode(void (*body)()) {
  try {
    body();
  } catch (unsigned long code) {
    return code;
  } catch (...) {
    return 1;
  }
  return 0;
}

}  // namespace

TEST(LinkInsert, HeadAndTailKeepOrderAndBackLinks) {
  Element e[4] = {{{}, 0}, {{}, 1}, {{}, 2}, {{}, 3}};
  JOVLinkAnchor anchor;
  JOV_LinkInitAnchor(&anchor, nullptr);
  // Leftover links must not matter: insertion overwrites both.
  e[1].link.pNext = &e[3].link;
  e[1].link.pPrior = &e[2].link;
  EXPECT_EQ(JOV_LinkToHead(&anchor, &e[1]), 0u);
  EXPECT_EQ(anchor.pHead, &e[1].link);
  EXPECT_EQ(anchor.pTail, &e[1].link);
  EXPECT_EQ(JOV_LinkToTail(&anchor, &e[2]), 0u);
  EXPECT_EQ(JOV_LinkToHead(&anchor, &e[0]), 0u);
  EXPECT_EQ(JOV_LinkToTail(&anchor, &e[3]), 0u);
  EXPECT_EQ(IdsChecked(anchor), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(e[3].link.pNext, nullptr);
}

TEST(LinkInsert, NullArgumentsReturnCodesAndKeepLastError) {
  JOVLinkAnchor anchor;
  JOV_LinkInitAnchor(&anchor, nullptr);
  Element e{};
  ::SetLastError(1234);
  EXPECT_EQ(JOV_LinkToHead(nullptr, &e), 20000u);
  EXPECT_EQ(JOV_LinkToHead(&anchor, nullptr), 20000u);
  EXPECT_EQ(JOV_LinkToTail(nullptr, &e), 20002u);
  EXPECT_EQ(JOV_LinkToTail(&anchor, nullptr), 20002u);
  EXPECT_EQ(::GetLastError(), 1234u);  // a refused call leaves the thread's error alone
  EXPECT_EQ(anchor.nCount, 0u);
  EXPECT_EQ(JOV_LinkToTail(&anchor, &e), 0u);
  EXPECT_EQ(::GetLastError(), 0u);
}

TEST(LinkInitAnchor, EmptiesAndStoresTheLockUntouched) {
  JOVLinkAnchor anchor;
  ::FillMemory(&anchor, sizeof anchor, 0xAB);
  auto* lock = reinterpret_cast<CRITICAL_SECTION*>(0x1000);  // never initialised or read
  JOV_LinkInitAnchor(&anchor, lock);
  EXPECT_EQ(anchor.pHead, nullptr);
  EXPECT_EQ(anchor.pTail, nullptr);
  EXPECT_EQ(anchor.nCount, 0u);
  EXPECT_EQ(anchor.pLock, lock);
}

TEST(LinkRemove, OnlyElementEmptiesListAndNullsLinks) {
  Built list(1);
  ::SetLastError(99);
  EXPECT_EQ(JOV_LinkRemove(&list.anchor, &list.elements[0]), 0u);
  EXPECT_EQ(::GetLastError(), 0u);
  EXPECT_EQ(list.anchor.pHead, nullptr);
  EXPECT_EQ(list.anchor.pTail, nullptr);
  EXPECT_EQ(list.anchor.nCount, 0u);
  EXPECT_EQ(list.elements[0].link.pNext, nullptr);
  EXPECT_EQ(list.elements[0].link.pPrior, nullptr);
}

TEST(LinkRemove, HeadMiddleAndTailRelinkNeighbours) {
  Built list(5);
  EXPECT_EQ(JOV_LinkRemove(&list.anchor, &list.elements[2]), 0u);
  EXPECT_EQ(IdsChecked(list.anchor), (std::vector<int>{0, 1, 3, 4}));
  EXPECT_EQ(JOV_LinkRemove(&list.anchor, &list.elements[0]), 0u);
  EXPECT_EQ(IdsChecked(list.anchor), (std::vector<int>{1, 3, 4}));
  EXPECT_EQ(JOV_LinkRemove(&list.anchor, &list.elements[4]), 0u);
  EXPECT_EQ(IdsChecked(list.anchor), (std::vector<int>{1, 3}));
}

TEST(LinkRemove, ElementsOfAnotherListAreRefusedWithoutChange) {
  Built mine(2);
  Built other(3);
  EXPECT_EQ(JOV_LinkRemove(&mine.anchor, &other.elements[0]), 20006u);  // its head
  EXPECT_EQ(JOV_LinkRemove(&mine.anchor, &other.elements[2]), 20008u);  // its tail
  Built empty(0);
  EXPECT_EQ(JOV_LinkRemove(&empty.anchor, &other.elements[0]), 20005u);
  EXPECT_EQ(IdsChecked(mine.anchor), (std::vector<int>{0, 1}));
  EXPECT_EQ(IdsChecked(other.anchor), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(IdsChecked(empty.anchor), std::vector<int>{});
}

TEST(LinkRemove, BrokenBackLinksAreRefusedWithoutChange) {
  Built list(3);
  Element stranger{};
  // The middle element claims a prior that does not point back to it.
  list.elements[1].link.pPrior = &stranger.link;
  EXPECT_EQ(JOV_LinkRemove(&list.anchor, &list.elements[1]), 20007u);
  list.elements[1].link.pPrior = &list.elements[0].link;
  // ... and then a next that does not point back to it.
  list.elements[1].link.pNext = &stranger.link;
  EXPECT_EQ(JOV_LinkRemove(&list.anchor, &list.elements[1]), 20009u);
  list.elements[1].link.pNext = &list.elements[2].link;
  EXPECT_EQ(IdsChecked(list.anchor), (std::vector<int>{0, 1, 2}));
}

TEST(LinkRemove, NullArgumentsReturn20004) {
  Built list(1);
  EXPECT_EQ(JOV_LinkRemove(nullptr, &list.elements[0]), 20004u);
  EXPECT_EQ(JOV_LinkRemove(&list.anchor, nullptr), 20004u);
  EXPECT_EQ(list.anchor.nCount, 1u);
}

TEST(LinkPopFirst, PopsInOrderThenReturnsNullWithoutThrowing) {
  Built list(3);
  for (int i = 0; i < 3; ++i) {
    auto* e = static_cast<Element*>(JOV_LinkPopFirst(&list.anchor));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->id, i);
    EXPECT_EQ(e->link.pNext, nullptr);
    EXPECT_EQ(e->link.pPrior, nullptr);
  }
  EXPECT_EQ(JOV_LinkPopFirst(&list.anchor), nullptr);
  EXPECT_EQ(list.anchor.nCount, 0u);
}

TEST(LinkPopFirst, NullAnchorThrowsUnsigned20011) {
  EXPECT_EQ(ThrownCode([] { JOV_LinkPopFirst(nullptr); }), 20011u);
}

TEST(LinkPopFirst, DamagedHeadThrowsTheRemovalCode) {
  static Built* list;
  Built damaged(2);
  list = &damaged;
  Element stranger{};
  damaged.elements[0].link.pPrior = &stranger.link;  // the head claims a prior
  EXPECT_EQ(ThrownCode([] { JOV_LinkPopFirst(&list->anchor); }), 20007u);
  EXPECT_EQ(damaged.anchor.nCount, 2u);
  EXPECT_EQ(damaged.anchor.pHead, &damaged.elements[0].link);
}

TEST(LinkWalk, NextAndPriorStepBothWaysAndStopAtTheEnds) {
  Built list(4);
  std::vector<int> forward, backward;
  for (void* p = list.anchor.pHead; p != nullptr; p = JOV_LinkNext(&list.anchor, p))
    forward.push_back(static_cast<Element*>(p)->id);
  for (void* p = list.anchor.pTail; p != nullptr; p = JOV_LinkPrior(&list.anchor, p))
    backward.push_back(static_cast<Element*>(p)->id);
  EXPECT_EQ(forward, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(backward, (std::vector<int>{3, 2, 1, 0}));
}

TEST(LinkWalk, NullElementIsNotTheHead) {
  Built list(2);
  ::SetLastError(5);
  EXPECT_EQ(JOV_LinkNext(&list.anchor, nullptr), nullptr);
  EXPECT_EQ(::GetLastError(), 0u);
  EXPECT_EQ(JOV_LinkPrior(&list.anchor, nullptr), nullptr);
}

TEST(LinkWalk, NullAnchorThrowsEvenForNullElement) {
  EXPECT_EQ(ThrownCode([] { JOV_LinkNext(nullptr, nullptr); }), 20012u);
  EXPECT_EQ(ThrownCode([] { JOV_LinkPrior(nullptr, nullptr); }), 20013u);
  static Element e{};
  EXPECT_EQ(ThrownCode([] { JOV_LinkNext(nullptr, &e); }), 20012u);
  EXPECT_EQ(ThrownCode([] { JOV_LinkPrior(nullptr, &e); }), 20013u);
}

// The owner's lock: every operation leaves it free again, the owner may hold it around
// several calls (it is re-entrant), and another thread's operation waits for it.
class OwnerLock : public ::testing::Test {
 protected:
  void SetUp() override {
    ::InitializeCriticalSection(&lock_);
    JOV_REQUIRE_THREADS();
  }
  void TearDown() override { ::DeleteCriticalSection(&lock_); }

  // True when another thread can take the lock right now.
  bool FreeForOthers() {
    struct Probe {
      static DWORD WINAPI Run(void* p) {
        auto* lock = static_cast<CRITICAL_SECTION*>(p);
        if (!::TryEnterCriticalSection(lock)) return 0;
        ::LeaveCriticalSection(lock);
        return 1;
      }
    };
    HANDLE thread = ::CreateThread(nullptr, 0, &Probe::Run, &lock_, 0, nullptr);
    ::WaitForSingleObject(thread, INFINITE);
    DWORD result = 0;
    ::GetExitCodeThread(thread, &result);
    ::CloseHandle(thread);
    return result == 1;
  }

  CRITICAL_SECTION lock_;
};

TEST_F(OwnerLock, EveryOperationReleasesTheLock) {
  Built list(3, &lock_);
  EXPECT_TRUE(FreeForOthers());
  JOV_LinkNext(&list.anchor, &list.elements[0]);
  JOV_LinkPrior(&list.anchor, &list.elements[1]);
  JOV_LinkRemove(&list.anchor, &list.elements[1]);
  JOV_LinkPopFirst(&list.anchor);
  JOV_LinkToHead(&list.anchor, &list.elements[1]);
  EXPECT_TRUE(FreeForOthers());
  EXPECT_EQ(list.anchor.nCount, 2u);
}

TEST_F(OwnerLock, HolderWalksAndPopsUnderItsOwnLock) {
  Built list(3, &lock_);
  ::EnterCriticalSection(&lock_);
  int seen = 0;
  for (void* p = list.anchor.pHead; p != nullptr; p = JOV_LinkNext(&list.anchor, p)) ++seen;
  auto* first = static_cast<Element*>(JOV_LinkPopFirst(&list.anchor));
  EXPECT_FALSE(FreeForOthers());  // still held by this thread after the nested calls
  ::LeaveCriticalSection(&lock_);
  EXPECT_EQ(seen, 3);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->id, 0);
  EXPECT_TRUE(FreeForOthers());
}

TEST_F(OwnerLock, OtherThreadsInsertOnlyOnceTheHolderLeaves) {
  Built list(0, &lock_);
  static Element extra{{}, 7};
  ::EnterCriticalSection(&lock_);
  struct Inserter {
    static DWORD WINAPI Run(void* p) {
      return JOV_LinkToTail(static_cast<JOVLinkAnchor*>(p), &extra);
    }
  };
  HANDLE thread = ::CreateThread(nullptr, 0, &Inserter::Run, &list.anchor, 0, nullptr);
  // While the lock is held the insertion cannot finish, however long the thread runs.
  EXPECT_EQ(::WaitForSingleObject(thread, 200), static_cast<DWORD>(WAIT_TIMEOUT));
  EXPECT_EQ(list.anchor.nCount, 0u);
  ::LeaveCriticalSection(&lock_);
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  EXPECT_EQ(IdsChecked(list.anchor), std::vector<int>{7});
}
