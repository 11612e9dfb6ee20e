// lists_test.cpp - the locked intrusive list (insertion, checked removal with its codes,
// pop and single steps, four threads through one locked anchor) and the message records on
// such lists: creation with the active routine, insertion strings, the flat exported form,
// and what destroying gives back to the allocator.
#include "support/test_prelude.h"

#include <atomic>

namespace {

struct Element {
  JOVLink link;
  int id;
};
using Codes = std::vector<unsigned long>;
using Links = std::vector<const void*>;

// The ids from head to tail, "x" for a broken back link, and a note when the tail or the
// count disagrees with the walk.
std::string Walk(const JOVLinkAnchor& anchor) {
  std::string ids;
  const JOVLink* prior = nullptr;
  for (const JOVLink* p = anchor.pHead; p; prior = p, p = p->pNext)
    ids += p->pPrior == prior ? char('0' + reinterpret_cast<const Element*>(p)->id) : 'x';
  return ids +
         (anchor.pTail != prior || anchor.nCount != ids.size() ? " (tail or count wrong)" : "");
}

template <typename F>
unsigned long Thrown(F step) {
  try {
    step();
    return 0;
  } catch (unsigned long code) {
    return code;
  }
}

}  // namespace

TEST(LinkList, InsertRemovePopAndStep) {
  Element e[7], other[3], stranger{};
  JOVLinkAnchor list, others, empty;
  for (JOVLinkAnchor* anchor : {&list, &others, &empty}) JOV_LinkInitAnchor(anchor, nullptr);
  ::SetLastError(1234);  // a refused call leaves the thread's error alone, a done one clears it
  EXPECT_EQ(
      (Codes{JOV_LinkToHead(nullptr, &e[0]), JOV_LinkToHead(&list, nullptr),
             JOV_LinkToTail(nullptr, &e[0]), JOV_LinkToTail(&list, nullptr), ::GetLastError()}),
      (Codes{20000, 20000, 20002, 20002, 1234}));
  for (int i = 0; i < 7; ++i) {
    e[i] = {{&stranger.link, &stranger.link}, i};  // stale links are overwritten
    ::SetLastError(99);
    EXPECT_EQ(
        (i % 2 ? JOV_LinkToTail(&list, &e[i]) : JOV_LinkToHead(&list, &e[i])) + ::GetLastError(),
        0u);
  }
  for (Element& x : other) JOV_LinkToTail(&others, &x);
  EXPECT_EQ(Walk(list), "6420135");
  // Refused without a change: null arguments, an empty list, another list's head and tail.
  EXPECT_EQ((Codes{JOV_LinkRemove(nullptr, &e[0]), JOV_LinkRemove(&list, nullptr),
                   JOV_LinkRemove(&empty, &e[0]), JOV_LinkRemove(&list, &other[0]),
                   JOV_LinkRemove(&list, &other[2]), JOV_LinkRemove(&list, &e[0]),
                   JOV_LinkRemove(&list, &e[6]), JOV_LinkRemove(&list, &e[5])}),
            (Codes{20004, 20004, 20005, 20006, 20008, 0, 0, 0}));
  EXPECT_EQ(Walk(list) + (e[5].link.pNext || e[5].link.pPrior ? " (removed, still linked)" : ""),
            "4213");
  EXPECT_EQ(Thrown([&] { JOV_LinkPopFirst(&list); }), 0u);
  e[2].link.pPrior = &stranger.link;  // a prior or next that does not point back is refused
  EXPECT_EQ(Thrown([&] { JOV_LinkPopFirst(&list); }), 20007u);
  e[2].link.pPrior = nullptr;
  e[2].link.pNext = &stranger.link;
  EXPECT_EQ(JOV_LinkRemove(&list, &e[2]), 20009u);
  e[2].link.pNext = &e[1].link;
  ::SetLastError(5);  // single steps; a null element does not stand for the head
  EXPECT_EQ((Links{JOV_LinkNext(&list, &e[2]), JOV_LinkPrior(&list, &e[1]),
                   JOV_LinkNext(&list, nullptr), JOV_LinkPrior(&list, nullptr),
                   reinterpret_cast<void*>(std::uintptr_t(::GetLastError()))}),
            (Links{&e[1], &e[2], nullptr, nullptr, nullptr}));
  EXPECT_EQ((Links{JOV_LinkPopFirst(&list), JOV_LinkPopFirst(&list), JOV_LinkPopFirst(&list),
                   JOV_LinkPopFirst(&list)}),
            (Links{&e[2], &e[1], &e[3], nullptr}));
  EXPECT_EQ(Walk(list), "");
  EXPECT_EQ((Codes{Thrown([] { JOV_LinkNext(nullptr, nullptr); }),
                   Thrown([&] { JOV_LinkPrior(nullptr, &e[0]); }),
                   Thrown([] { JOV_LinkPopFirst(nullptr); })}),
            (Codes{20012, 20013, 20011}));
}

// Four threads link, remove and pop through one locked anchor: every element leaves the list
// exactly once (popped, removed by its owner, or drained at the end, where every pop checks
// the links it takes apart).
TEST(LinkList, FourThreadsLinkRemoveAndPopThroughOneLock) {
  JOV_SKIP_ON_EMULATED_LANE("threads");
  constexpr int kThreads = 4, kEach = 100000;
  struct Counted {
    JOVLink link;
    std::atomic<int> handedOut{0};
  };
  std::vector<Counted> elements(kThreads * kEach);
  CRITICAL_SECTION lock;
  ::InitializeCriticalSection(&lock);
  JOVLinkAnchor anchor;
  JOV_LinkInitAnchor(&anchor, &lock);
  std::atomic<int> unexpected{0};
  const auto pop = [&] {
    if (auto* popped = static_cast<Counted*>(JOV_LinkPopFirst(&anchor))) ++popped->handedOut;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        Counted* mine = &elements[t * kEach + i];
        i % 2 ? JOV_LinkToHead(&anchor, mine) : JOV_LinkToTail(&anchor, mine);
        // Take back the one linked before, unless a pop got it first: its links are then
        // null and the removal is refused as not being in this list.
        const unsigned long code = i % 3 == 1 ? JOV_LinkRemove(&anchor, mine - 1) : 1;
        code == 0 ? ++mine[-1].handedOut
                  : unexpected += code != 1 && code != 20005 && code != 20006;
        unexpected += Thrown(pop) != 0;  // a pop that lost a race inside the list
      }
    });
  for (auto& thread : threads) thread.join();
  for (int n = 0; anchor.pHead && n < kThreads * kEach; ++n) unexpected += Thrown(pop) != 0;
  // Nothing unexpected in the threads or the drain, which leaves no element behind.
  EXPECT_EQ(unexpected + anchor.nCount + std::uintptr_t(anchor.pTail), 0u);
  EXPECT_EQ(std::count_if(elements.begin(), elements.end(),
                          [](const Counted& e) { return e.handedOut != 1; }),
            0);
  ::DeleteCriticalSection(&lock);
}

// ---- Message records, with the allocator watched through the DLL's malloc and free
namespace {

std::vector<size_t> sizes;  // of the blocks taken
std::vector<void*> frees;
bool failGets = false;
void* (*realMalloc)(size_t) = nullptr;
void (*realFree)(void*) = nullptr;
void* WatchedMalloc(size_t n) {
  if (failGets) return nullptr;
  sizes.push_back(n);
  return realMalloc(n);
}
void WatchedFree(void* p) {
  frees.push_back(p);
  realFree(p);
}

// A record's fields in order, its routine name and its insertion list with "|" for zeros;
// `base` turns the offsets of the exported form into addresses.
std::string Describe(const JOVMsg& m, std::uintptr_t base = 0) {
  char fields[96];
  std::snprintf(fields, sizeof fields, "%lx %d %x %x %lx %lx %lx ", m.dwMsgId, int(m.eCategory),
                m.wData, m.wReserved, m.dwData1, m.dwData2, m.dwData3);
  auto* routine = reinterpret_cast<const wchar_t*>(base + std::uintptr_t(m.pszRoutine));
  auto* list = reinterpret_cast<const wchar_t*>(base + std::uintptr_t(m.pInsertions));
  std::string text =
      fields + (m.pszRoutine ? std::string(routine, routine + lstrlenW(routine)) : "-") + " ";
  for (unsigned long i = 0; m.pInsertions && i < m.cbInsertions / 2; ++i)
    text += list[i] ? char(list[i]) : '|';
  return text;
}

}  // namespace

// Created at the tail with the active routine's name, given insertions, exported into one
// block that the caller owns (the record, its insertion list, its routine name, found
// through offsets), destroyed with everything it owns.
TEST(MsgRecord, CreateInsertExportAndDestroy) {
  JOVLinkAnchor& anchor = gptrJOVMsgAnchor;
  EXPECT_EQ(JOV_MsgExport(&anchor), nullptr);  // the process's anchor starts empty
  JOVDebug trace;                              // idle: the routine stack works without a trace
  JOV_MsgCreate(&anchor, 1, JOVMsgCatInfo, 0, 0, 0, 0, &trace);  // an empty stack: no routine name
  trace.RoutinePush(L"Parser", L"ReadBlock");
  JOVMsg* msg =
      JOV_MsgCreate(&anchor, 0xC0000005, JOVMsgCatWarning, 0xFFFF, 0xFFFFFFFF, 6, 7, &trace);
  JOVMsg* withList = JOV_MsgCreate(&anchor, 5, JOVMsgCatError, 1, 2, 3, 4, &trace);
  for (const wchar_t* text : {L"a", L"bc", L""}) EXPECT_EQ(JOV_MsgAddInsertion(msg, text), 0u);
  // Radix 10 reads the value signed, radix 16 adds "0x", others show the 32 bits unsigned.
  const std::pair<long, unsigned long> numbers[] = {
      {-5, 10}, {-1, 16}, {0, 16}, {-2147483647L - 1, 10}, {-1, 2}, {35, 36}};
  for (const auto& [value, radix] : numbers) EXPECT_EQ(JOV_MsgAddInsertion(msg, value, radix), 0u);
  JOV_MsgAddInsertion(withList, L"a");
  JOV_MsgAddInsertion(withList, L"bc");
  // A byte count without a list is no list: the first insertion starts a new one.
  JOVMsg countOnly{};
  countOnly.cbInsertions = 6;
  EXPECT_EQ(JOV_MsgAddInsertion(&countOnly, L"a"), 0u);
  EXPECT_EQ(countOnly.cbInsertions, 3 * sizeof(wchar_t));
  JOV_MemoryFree(countOnly.pInsertions);
  const std::string expected =
      "c0000005 50 ffff 0 ffffffff 6 7 Parser.ReadBlock a|bc||-5|0xffffffff|0x0|-2147483648|" +
      std::string(32, '1') + "|z||";
  jovtest::ScopedImportPatch mallocPatch("malloc", &WatchedMalloc, &realMalloc),
      freePatch("free", &WatchedFree, &realFree);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, 5L, 1) + JOV_MsgAddInsertion(msg, 5L, 37) +
                JOV_MsgAddInsertion(msg, nullptr) + JOV_MsgAddInsertion(nullptr, L"x"),
            4 * 87u);  // each an invalid parameter
  failGets = true;     // no memory: nothing changes
  EXPECT_EQ(JOV_MsgAddInsertion(msg, L"lost"), 8u);
  EXPECT_EQ(JOV_MsgCreate(&anchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr), nullptr);
  EXPECT_EQ(JOV_MsgExport(&anchor), nullptr);
  failGets = false;
  EXPECT_EQ(Describe(*msg), expected);
  EXPECT_THROW(JOV_MsgCreate(nullptr, 1, JOVMsgCatError, 0, 0, 0, 0, &trace),
               unsigned long);            // 20002
  EXPECT_EQ(sizes.size(), frees.size());  // ... with nothing kept
  const std::vector<void*> owned = {msg->pInsertions, msg->pszRoutine, msg};
  frees.clear();
  JOV_MsgDestroy(&anchor, msg);
  EXPECT_EQ(frees, owned);
  for (const char* described : {"1 30 0 0 0 0 0 - ", "5 70 1 0 2 3 4 Parser.ReadBlock a|bc||"}) {
    sizes.clear();
    frees.clear();
    JOVMsg* flat = JOV_MsgExport(&anchor);
    const size_t tail = flat->pInsertions ? 12 + 34 : 0;  // "a", "bc", the zero; "Parser.ReadBlock"
    EXPECT_EQ(sizes, std::vector<size_t>{sizeof(JOVMsg) + tail});
    EXPECT_EQ(frees.size(), tail ? 3u : 1u);  // the record's list, its name, the record
    EXPECT_EQ(Describe(*flat, std::uintptr_t(flat)), described);
    frees.clear();
    JOV_MsgDestroy(nullptr, flat);  // the offsets are part of the block: one release only
    EXPECT_EQ(frees, std::vector<void*>{flat});
  }
  JOV_MsgCreate(&anchor, 9, JOVMsgCatError, 0, 0, 0, 0, &trace);
  JOV_MsgAddInsertion(JOV_MsgCreate(&anchor, 9, JOVMsgCatError, 0, 0, 0, 0, nullptr), L"x");
  frees.clear();
  JOV_MsgDestroyAll(&anchor);
  EXPECT_EQ(frees.size() * 10 + (anchor.pHead != nullptr), 40u);
}
