// lists_test.cpp - the locked intrusive list (insertion, checked removal with its codes,
// pop and single steps, four threads through one locked anchor) and the message records on
// such lists: creation with the active routine, insertion strings, the flat exported form,
// and what destroying gives back to the allocator.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/import_patch.h"
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
  EXPECT_EQ(JOV_LinkToHead(nullptr, &e[0]) + JOV_LinkToHead(&list, nullptr) + JOV_LinkToTail(nullptr, &e[0]), 3 * 20000u + 2);
  EXPECT_EQ(JOV_LinkToTail(&list, nullptr), 20002u);
  EXPECT_EQ(::GetLastError(), 1234u);  // a refused call leaves the thread's error alone
  for (int i = 0; i < 7; ++i) {
    e[i] = {{&stranger.link, &stranger.link}, i};  // stale links are overwritten
    EXPECT_EQ(i % 2 ? JOV_LinkToTail(&list, &e[i]) : JOV_LinkToHead(&list, &e[i]), 0u);
    EXPECT_EQ(::GetLastError(), 0u);
    ::SetLastError(99);
  }
  for (Element& x : other) JOV_LinkToTail(&others, &x);
  EXPECT_EQ(Walk(list), (Ids{6, 4, 2, 0, 1, 3, 5}));
  // Refused without a change: null arguments, an empty list, another list's head and tail.
  const unsigned long codes[] = {JOV_LinkRemove(nullptr, &e[0]), JOV_LinkRemove(&list, nullptr), JOV_LinkRemove(&empty, &e[0]),
                                 JOV_LinkRemove(&list, &other[0]), JOV_LinkRemove(&list, &other[2]), JOV_LinkRemove(&list, &e[0]),
                                 JOV_LinkRemove(&list, &e[6]), JOV_LinkRemove(&list, &e[5])};
  EXPECT_EQ(std::vector<unsigned long>(codes, codes + 8), (std::vector<unsigned long>{20004, 20004, 20005, 20006, 20008, 0, 0, 0}));
  EXPECT_EQ(Walk(list), (Ids{4, 2, 1, 3}));
  EXPECT_EQ(e[5].link.pNext == nullptr && e[5].link.pPrior == nullptr, true);
  EXPECT_EQ(Thrown(&Pop, &list, nullptr), 0u);
  e[2].link.pPrior = &stranger.link;  // a prior or next that does not point back is refused
  EXPECT_EQ(Thrown(&Pop, &list, nullptr), 20007u);
  e[2].link.pPrior = nullptr, e[2].link.pNext = &stranger.link;
  EXPECT_EQ(JOV_LinkRemove(&list, &e[2]), 20009u);
  e[2].link.pNext = &e[1].link;
  Ids forward, backward;
  for (void* p = list.pHead; p; p = JOV_LinkNext(&list, p)) forward.push_back(static_cast<Element*>(p)->id);
  for (void* p = list.pTail; p; p = JOV_LinkPrior(&list, p)) backward.push_back(static_cast<Element*>(p)->id);
  EXPECT_EQ(forward, (Ids{2, 1, 3}));
  EXPECT_EQ(backward, (Ids{3, 1, 2}));
  ::SetLastError(5);
  EXPECT_EQ(JOV_LinkNext(&list, nullptr), JOV_LinkPrior(&list, nullptr));  // a null element is not the head
  EXPECT_EQ(::GetLastError(), 0u);
  for (int id : {2, 1, 3}) EXPECT_EQ(static_cast<Element*>(JOV_LinkPopFirst(&list))->id, id);
  EXPECT_EQ(JOV_LinkPopFirst(&list), nullptr);
  EXPECT_EQ(Walk(list), Ids{});
  EXPECT_EQ(Thrown(&JOV_LinkNext, nullptr, nullptr) + Thrown(&JOV_LinkPrior, nullptr, &e[0]) + Thrown(&Pop, nullptr, nullptr), 20012u + 20013u + 20011u);
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

// ---- Message records: the allocator is watched through the DLL's malloc and free, under
// the default strategy.
namespace {

std::vector<size_t> getSizes;
std::vector<void*> frees;
bool failGets = false;
void* (*realMalloc)(size_t) = nullptr;
void (*realFree)(void*) = nullptr;
void* WatchedMalloc(size_t n) { return failGets ? nullptr : (getSizes.push_back(n), realMalloc(n)); }
void WatchedFree(void* p) { frees.push_back(p), realFree(p); }

struct AllocatorWatch {
  jovtest::ScopedImportPatch mallocPatch{"malloc", reinterpret_cast<const void*>(&WatchedMalloc)};
  jovtest::ScopedImportPatch freePatch{"free", reinterpret_cast<const void*>(&WatchedFree)};
  AllocatorWatch() {
    realMalloc = mallocPatch.original<void* (*)(size_t)>(), realFree = freePatch.original<void (*)(void*)>();
    getSizes.clear(), frees.clear(), failGets = false;
  }
  ~AllocatorWatch() { failGets = false; }
};

// A record's fields in order, its routine name and its insertion list with "|" for zeros.
std::string Describe(const JOVMsg& m, const wchar_t* routine, const wchar_t* list) {
  char fields[96];
  std::snprintf(fields, sizeof fields, "%lx %d %x %x %lx %lx %lx ", m.dwMsgId, int(m.eCategory), m.wData, m.wReserved,
                m.dwData1, m.dwData2, m.dwData3);
  std::string text = fields + (routine ? std::string(routine, routine + lstrlenW(routine)) : "-") + " ";
  for (unsigned long i = 0; list && i < m.cbInsertions / 2; ++i) text += list[i] ? char(list[i]) : '|';
  return text;
}

}  // namespace

TEST(MsgRecord, CreateInsertAndDestroy) {
  EXPECT_EQ(gptrJOVMsgAnchor.pLock, nullptr);  // the process's anchor: empty, unlocked
  JOVDebug trace;  // idle: the routine stack works without a trace
  JOVMsg* before = JOV_MsgCreate(&gptrJOVMsgAnchor, 1, JOVMsgCatInfo, 0, 0, 0, 0, &trace);
  trace.RoutinePush(L"Parser", L"Open");
  trace.RoutinePush(L"Parser", L"ReadBlock");
  JOVMsg* msg = JOV_MsgCreate(&gptrJOVMsgAnchor, 0xC0000005, JOVMsgCatWarning, 0xFFFF, 0xFFFFFFFF, 6, 7, &trace);
  for (const wchar_t* text : {L"a", L"bc", L""}) EXPECT_EQ(JOV_MsgAddInsertion(msg, text), 0u);
  // Radix 10 reads the value signed, radix 16 adds "0x", others show the 32 bits unsigned.
  for (const auto& [value, radix] : {std::pair<long, unsigned long>{10, 16}, {-5, 10}, {-1, 16}, {0, 16},
                                     {-2147483647L - 1, 10}, {-1, 8}, {-1, 2}, {35, 36}})
    EXPECT_EQ(JOV_MsgAddInsertion(msg, value, radix), 0u);
  const std::string expected = "c0000005 50 ffff 0 ffffffff 6 7 Parser.ReadBlock a|bc||0xa|-5|0xffffffff|0x0|-2147483648|"
                               "37777777777|" + std::string(32, '1') + "|z||";
  EXPECT_EQ(Describe(*msg, msg->pszRoutine, msg->pInsertions), expected);
  EXPECT_EQ(Describe(*before, before->pszRoutine, before->pInsertions), "1 30 0 0 0 0 0 - ");  // an empty stack
  EXPECT_EQ(gptrJOVMsgAnchor.pTail, &msg->link);
  EXPECT_EQ(msg->link.pPrior, &before->link);
  const std::vector<void*> owned = {msg->pInsertions, msg->pszRoutine, msg};
  AllocatorWatch watch;
  EXPECT_EQ(JOV_MsgAddInsertion(msg, 5L, 1) + JOV_MsgAddInsertion(msg, 5L, 37), 2 * 87u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, nullptr) + JOV_MsgAddInsertion(nullptr, L"x"), 2 * 87u);
  failGets = true;
  EXPECT_EQ(JOV_MsgAddInsertion(msg, L"lost"), 8u);
  EXPECT_EQ(JOV_MsgCreate(&gptrJOVMsgAnchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr), nullptr);
  failGets = false;
  EXPECT_EQ(Describe(*msg, msg->pszRoutine, msg->pInsertions), expected);  // unchanged
  EXPECT_THROW(JOV_MsgCreate(nullptr, 1, JOVMsgCatError, 0, 0, 0, 0, &trace), unsigned long);  // 20002
  EXPECT_EQ(getSizes.size(), frees.size());  // ... with nothing kept
  frees.clear();
  JOV_MsgDestroy(&gptrJOVMsgAnchor, msg);
  EXPECT_EQ(frees, owned);
  JOV_MsgAddInsertion(before, 5L, 10);
  JOV_MsgDestroyAll(&gptrJOVMsgAnchor);
  EXPECT_EQ(frees.size(), 5u);
  EXPECT_EQ(gptrJOVMsgAnchor.pHead, nullptr);
}

// One block that the caller owns: the record, then its insertion list, then its routine
// name, found through offsets; the listed record and its blocks go back.
TEST(MsgRecord, ExportFlattensTheFirstRecordIntoOneBlock) {
  JOVLinkAnchor anchor{};
  EXPECT_EQ(JOV_MsgExport(&anchor), nullptr);
  JOVDebug trace;
  trace.RoutinePush(L"", L"");  // the one-character routine name "."
  JOVMsg* msg = JOV_MsgCreate(&anchor, 5, JOVMsgCatError, 1, 2, 3, 4, &trace);
  JOV_MsgAddInsertion(msg, L"a");
  JOV_MsgAddInsertion(msg, L"bc");
  JOV_MsgCreate(&anchor, 6, JOVMsgCatError, 0, 0, 0, 0, nullptr);  // stays behind, then bare
  AllocatorWatch watch;
  failGets = true;
  EXPECT_EQ(JOV_MsgExport(&anchor), nullptr);  // no memory: the record stays first
  EXPECT_EQ(anchor.pHead, &msg->link);
  failGets = false;
  for (const std::string& expected : {"5 70 1 0 2 3 4 . a|bc||", "6 70 0 0 0 0 0 - "}) {
    getSizes.clear(), frees.clear();
    JOVMsg* flat = JOV_MsgExport(&anchor);
    const size_t tail = flat->pInsertions ? 12 + 4 : 0;
    EXPECT_EQ(getSizes, std::vector<size_t>{sizeof(JOVMsg) + tail});
    EXPECT_EQ(frees.size(), tail ? 3u : 1u);  // the record's list, its name, the record
    EXPECT_EQ(flat->link.pNext, nullptr);
    const auto* base = reinterpret_cast<const char*>(flat);
    const auto offset = [base](const void* field) { return field ? reinterpret_cast<const wchar_t*>(base + std::uintptr_t(field)) : nullptr; };
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(flat->pInsertions), tail ? sizeof(JOVMsg) : 0);
    EXPECT_EQ(Describe(*flat, offset(flat->pszRoutine), offset(flat->pInsertions)), expected);
    frees.clear();
    JOV_MsgDestroy(nullptr, flat);  // the offsets are part of the block: one release only
    EXPECT_EQ(frees, std::vector<void*>{flat});
  }
}
