// msg_record_test.cpp - message records: creation on a list, insertion strings, the flat
// exported form, and what destroying gives back to the allocator.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/import_patch.h"

namespace {

// Watches the library's system allocator (malloc and free, the default strategy).
struct AllocatorWatch {
  static inline std::vector<std::size_t> sizes;
  static inline std::vector<void*> freed;
  static inline bool failGets = false;
  static inline void* (*realMalloc)(std::size_t) = nullptr;
  static inline void (*realFree)(void*) = nullptr;

  static void* Malloc(std::size_t n) {
    if (failGets) return nullptr;
    sizes.push_back(n);
    return realMalloc(n);
  }
  static void Free(void* p) {
    freed.push_back(p);
    realFree(p);
  }

  AllocatorWatch() {
    realMalloc = mallocPatch.original<void* (*)(std::size_t)>();
    realFree = freePatch.original<void (*)(void*)>();
    failGets = false;
    JOV_MemoryFree(JOV_MemoryGet(4, 0, nullptr, 0));  // the default strategy is in force
    EXPECT_EQ(JOVMemAllocType, JOVMemAllocMalloc);
    sizes.clear();
    freed.clear();
    failGets = false;
  }
  ~AllocatorWatch() { failGets = false; }

  jovtest::ScopedImportPatch mallocPatch{"malloc", reinterpret_cast<const void*>(&Malloc)};
  jovtest::ScopedImportPatch freePatch{"free", reinterpret_cast<const void*>(&Free)};
};

// The strings of an insertion list, read up to its empty string, and the units it spans.
std::vector<std::wstring> Insertions(const wchar_t* list) {
  std::vector<std::wstring> out;
  for (const wchar_t* p = list; p != nullptr && *p != L'\0'; p += out.back().size() + 1)
    out.emplace_back(p);
  return out;
}

std::uintptr_t Offset(const void* field) { return reinterpret_cast<std::uintptr_t>(field); }

struct MsgList {
  MsgList() { JOV_LinkInitAnchor(&anchor, nullptr); }
  ~MsgList() { JOV_MsgDestroyAll(&anchor); }
  JOVLinkAnchor anchor;
};

}  // namespace

TEST(MsgLayout, ElevenWordsWithFieldsInOrder) {
  // The 32-bit product's layout is fixed; wider builds widen the pointers only.
  if (sizeof(void*) == 4) {
    EXPECT_EQ(sizeof(JOVMsg), 44u);
    EXPECT_EQ(offsetof(JOVMsg, dwMsgId), 8u);
    EXPECT_EQ(offsetof(JOVMsg, dwData3), 12u);
    EXPECT_EQ(offsetof(JOVMsg, pszRoutine), 16u);
    EXPECT_EQ(offsetof(JOVMsg, pInsertions), 20u);
    EXPECT_EQ(offsetof(JOVMsg, cbInsertions), 24u);
    EXPECT_EQ(offsetof(JOVMsg, eCategory), 28u);
    EXPECT_EQ(offsetof(JOVMsg, wData), 32u);
    EXPECT_EQ(offsetof(JOVMsg, wReserved), 34u);
    EXPECT_EQ(offsetof(JOVMsg, dwData1), 36u);
    EXPECT_EQ(offsetof(JOVMsg, dwData2), 40u);
    EXPECT_EQ(sizeof(JOVLinkAnchor), 16u);
  }
  EXPECT_EQ(offsetof(JOVMsg, link), 0u);
  EXPECT_EQ(sizeof(JOVMsgCategory), 4u);
}

TEST(MsgCreate, FillsFieldsAndAppendsAtTail) {
  MsgList list;
  JOVMsg* first = JOV_MsgCreate(&list.anchor, 11, JOVMsgCatInfo, 1, 2, 3, 4, nullptr);
  JOVMsg* second =
      JOV_MsgCreate(&list.anchor, 0xC0000005, static_cast<JOVMsgCategory>(40), 0xFFFF,
                    0xFFFFFFFF, 6, 7, nullptr);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(list.anchor.pHead, &first->link);
  EXPECT_EQ(list.anchor.pTail, &second->link);
  EXPECT_EQ(list.anchor.nCount, 2u);
  EXPECT_EQ(second->dwMsgId, 0xC0000005u);
  EXPECT_EQ(static_cast<int>(second->eCategory), 40);
  EXPECT_EQ(second->wData, 0xFFFF);
  EXPECT_EQ(second->wReserved, 0);
  EXPECT_EQ(second->dwData1, 0xFFFFFFFFu);
  EXPECT_EQ(second->dwData2, 6u);
  EXPECT_EQ(second->dwData3, 7u);
  EXPECT_EQ(second->pszRoutine, nullptr);
  EXPECT_EQ(second->pInsertions, nullptr);
  EXPECT_EQ(second->cbInsertions, 0u);
}

TEST(MsgCreate, NullAnchorThrows20002AndLeaksNothing) {
  AllocatorWatch watch;
  unsigned long code = 0;
  try {
    JOV_MsgCreate(nullptr, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  } catch (unsigned long thrown) {
    code = thrown;
  }
  EXPECT_EQ(code, 20002u);
  EXPECT_EQ(watch.sizes.size(), watch.freed.size());
}

TEST(MsgCreate, NoMemoryGivesNull) {
  MsgList list;
  AllocatorWatch watch;
  watch.failGets = true;
  EXPECT_EQ(JOV_MsgCreate(&list.anchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr), nullptr);
  EXPECT_EQ(list.anchor.nCount, 0u);
}

TEST(MsgCreate, TakesTheTraceObjectsActiveRoutine) {
  MsgList list;
  JOVDebug trace;  // idle: the routine stack works without a trace
  JOVMsg* before = JOV_MsgCreate(&list.anchor, 1, JOVMsgCatError, 0, 0, 0, 0, &trace);
  const long outer = trace.RoutinePush(L"Parser", L"Open");
  trace.RoutinePush(L"Parser", L"ReadBlock");
  JOVMsg* inside = JOV_MsgCreate(&list.anchor, 2, JOVMsgCatError, 0, 0, 0, 0, &trace);
  trace.RoutinePop(outer);
  ASSERT_NE(before, nullptr);
  ASSERT_NE(inside, nullptr);
  EXPECT_EQ(before->pszRoutine, nullptr);  // an empty stack leaves no name
  ASSERT_NE(inside->pszRoutine, nullptr);
  EXPECT_STREQ(inside->pszRoutine, L"Parser.ReadBlock");
}

TEST(MsgInsertion, TextsKeepOrderEachTerminatedThenOneMoreZero) {
  MsgList list;
  JOVMsg* msg = JOV_MsgCreate(&list.anchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  ASSERT_NE(msg, nullptr);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, L"a"), 0u);
  EXPECT_EQ(msg->cbInsertions, 6u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, L"bc"), 0u);
  ASSERT_EQ(msg->cbInsertions, 12u);
  const wchar_t expected[6] = {L'a', 0, L'b', L'c', 0, 0};
  EXPECT_EQ(std::wstring(msg->pInsertions, 6), std::wstring(expected, 6));
  EXPECT_EQ(JOV_MsgAddInsertion(msg, L""), 0u);  // an empty text is stored, though it ends a walk
  EXPECT_EQ(msg->cbInsertions, 14u);
}

TEST(MsgInsertion, NumbersInRadix16And10AndOthers) {
  MsgList list;
  JOVMsg* msg = JOV_MsgCreate(&list.anchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  ASSERT_NE(msg, nullptr);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, 10L, 16), 0u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, -5L, 10), 0u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, -1L, 16), 0u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, 255L, 16), 0u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, 0L, 16), 0u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, -2147483647L - 1, 10), 0u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, -1L, 8), 0u);   // other radices read the bits unsigned
  EXPECT_EQ(JOV_MsgAddInsertion(msg, -1L, 2), 0u);   // 32 digits: longer than 15 characters
  EXPECT_EQ(JOV_MsgAddInsertion(msg, 35L, 36), 0u);
  EXPECT_EQ(Insertions(msg->pInsertions),
            (std::vector<std::wstring>{L"0xa", L"-5", L"0xffffffff", L"0xff", L"0x0",
                                       L"-2147483648", L"37777777777",
                                       std::wstring(32, L'1'), L"z"}));
}

TEST(MsgInsertion, RefusedArgumentsAndNoMemoryLeaveTheRecordUnchanged) {
  MsgList list;
  JOVMsg* msg = JOV_MsgCreate(&list.anchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  ASSERT_NE(msg, nullptr);
  ASSERT_EQ(JOV_MsgAddInsertion(msg, L"keep"), 0u);
  wchar_t* list0 = msg->pInsertions;
  EXPECT_EQ(JOV_MsgAddInsertion(msg, 5L, 0), 87u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, 5L, 37), 87u);
  EXPECT_EQ(JOV_MsgAddInsertion(msg, nullptr), 87u);
  EXPECT_EQ(JOV_MsgAddInsertion(nullptr, L"x"), 87u);
  {
    AllocatorWatch watch;
    watch.failGets = true;
    EXPECT_EQ(JOV_MsgAddInsertion(msg, L"lost"), 8u);
    EXPECT_TRUE(watch.freed.empty());
  }
  EXPECT_EQ(msg->pInsertions, list0);
  EXPECT_EQ(msg->cbInsertions, 12u);
  EXPECT_EQ(Insertions(msg->pInsertions), std::vector<std::wstring>{L"keep"});
}

TEST(MsgExport, BareRecordIsOneRecordSizedBlockWithZeroFields) {
  MsgList list;
  JOV_MsgCreate(&list.anchor, 42, JOVMsgCatWarning, 9, 8, 7, 6, nullptr);
  AllocatorWatch watch;
  JOVMsg* flat = JOV_MsgExport(&list.anchor);
  ASSERT_NE(flat, nullptr);
  ASSERT_EQ(watch.sizes.size(), 1u);
  EXPECT_EQ(watch.sizes[0], sizeof(JOVMsg));
  EXPECT_EQ(list.anchor.nCount, 0u);
  EXPECT_EQ(flat->link.pNext, nullptr);
  EXPECT_EQ(flat->link.pPrior, nullptr);
  EXPECT_EQ(flat->pInsertions, nullptr);
  EXPECT_EQ(flat->pszRoutine, nullptr);
  EXPECT_EQ(flat->cbInsertions, 0u);
  EXPECT_EQ(flat->dwMsgId, 42u);
  EXPECT_EQ(flat->eCategory, JOVMsgCatWarning);
  EXPECT_EQ(flat->wData, 9);
  EXPECT_EQ(flat->dwData1, 8u);
  EXPECT_EQ(flat->dwData2, 7u);
  EXPECT_EQ(flat->dwData3, 6u);
  EXPECT_EQ(watch.freed.size(), 1u);  // the listed record
  watch.freed.clear();
  JOV_MsgDestroy(nullptr, flat);
  EXPECT_EQ(watch.freed, std::vector<void*>{flat});
}

TEST(MsgExport, InsertionsAndRoutineFollowTheRecordAtOffsets) {
  MsgList list;
  JOVDebug trace;
  trace.RoutinePush(L"", L"");  // the one-character routine name "."
  JOVMsg* msg = JOV_MsgCreate(&list.anchor, 5, JOVMsgCatError, 0, 0, 0, 0, &trace);
  ASSERT_NE(msg, nullptr);
  ASSERT_NE(msg->pszRoutine, nullptr);
  const std::wstring routine = msg->pszRoutine;
  ASSERT_EQ(routine, L".");
  JOV_MsgAddInsertion(msg, L"a");
  JOV_MsgAddInsertion(msg, L"bc");
  JOV_MsgCreate(&list.anchor, 6, JOVMsgCatError, 0, 0, 0, 0, nullptr);  // stays behind

  AllocatorWatch watch;
  JOVMsg* flat = JOV_MsgExport(&list.anchor);
  ASSERT_NE(flat, nullptr);
  ASSERT_EQ(watch.sizes.size(), 1u);
  EXPECT_EQ(watch.sizes[0], sizeof(JOVMsg) + 12 + 4);  // 44 + 12 + 4 on the 32-bit build
  EXPECT_EQ(Offset(flat->pInsertions), sizeof(JOVMsg));
  EXPECT_EQ(Offset(flat->pszRoutine), sizeof(JOVMsg) + 12);
  EXPECT_EQ(flat->cbInsertions, 12u);
  const auto* bytes = reinterpret_cast<const unsigned char*>(flat);
  const wchar_t expected[6] = {L'a', 0, L'b', L'c', 0, 0};
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes + sizeof(JOVMsg)), 6),
            std::wstring(expected, 6));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(bytes + sizeof(JOVMsg) + 12)), routine);
  EXPECT_EQ(watch.freed.size(), 3u);  // the record's list, name and the record itself
  EXPECT_EQ(list.anchor.nCount, 1u);
  EXPECT_EQ(static_cast<JOVMsg*>(static_cast<void*>(list.anchor.pHead))->dwMsgId, 6u);

  watch.freed.clear();
  JOV_MsgDestroy(nullptr, flat);  // offsets are part of the block: one release only
  EXPECT_EQ(watch.freed, std::vector<void*>{flat});
}

TEST(MsgExport, EmptyListGivesNullAndNoMemoryKeepsTheRecordListed) {
  MsgList list;
  EXPECT_EQ(JOV_MsgExport(&list.anchor), nullptr);
  JOVMsg* msg = JOV_MsgCreate(&list.anchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  JOV_MsgCreate(&list.anchor, 2, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  JOV_MsgAddInsertion(msg, L"kept");
  {
    AllocatorWatch watch;
    watch.failGets = true;
    EXPECT_EQ(JOV_MsgExport(&list.anchor), nullptr);
    EXPECT_TRUE(watch.freed.empty());
  }
  EXPECT_EQ(list.anchor.pHead, &msg->link);
  EXPECT_EQ(list.anchor.nCount, 2u);
  EXPECT_EQ(Insertions(msg->pInsertions), std::vector<std::wstring>{L"kept"});
}

TEST(MsgDestroy, ListedRecordIsUnlinkedAndEverythingReleased) {
  MsgList list;
  JOVDebug trace;
  trace.RoutinePush(L"C", L"R");
  JOVMsg* msg = JOV_MsgCreate(&list.anchor, 1, JOVMsgCatError, 0, 0, 0, 0, &trace);
  JOVMsg* other = JOV_MsgCreate(&list.anchor, 2, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  JOV_MsgAddInsertion(msg, L"x");
  void* insertions = msg->pInsertions;
  void* routine = msg->pszRoutine;
  AllocatorWatch watch;
  JOV_MsgDestroy(&list.anchor, msg);
  EXPECT_EQ(watch.freed, (std::vector<void*>{insertions, routine, msg}));
  EXPECT_EQ(list.anchor.nCount, 1u);
  EXPECT_EQ(list.anchor.pHead, &other->link);
  EXPECT_EQ(other->link.pPrior, nullptr);
}

TEST(MsgDestroyAll, ReleasesEveryRecordAndEmptiesTheList) {
  JOVLinkAnchor anchor;
  JOV_LinkInitAnchor(&anchor, nullptr);
  for (int i = 0; i < 3; ++i) {
    JOVMsg* msg = JOV_MsgCreate(&anchor, i, JOVMsgCatError, 0, 0, 0, 0, nullptr);
    JOV_MsgAddInsertion(msg, static_cast<long>(i), 10);
  }
  AllocatorWatch watch;
  JOV_MsgDestroyAll(&anchor);
  EXPECT_EQ(watch.freed.size(), 6u);
  EXPECT_EQ(anchor.nCount, 0u);
  EXPECT_EQ(anchor.pHead, nullptr);
  unsigned long code = 0;
  try {
    JOV_MsgDestroyAll(nullptr);
  } catch (unsigned long thrown) {
    code = thrown;
  }
  EXPECT_EQ(code, 20011u);
}

TEST(MsgAnchor, ProcessAnchorStartsEmptyWithoutLockAndHoldsRecords) {
  EXPECT_EQ(gptrJOVMsgAnchor.pHead, nullptr);
  EXPECT_EQ(gptrJOVMsgAnchor.pTail, nullptr);
  EXPECT_EQ(gptrJOVMsgAnchor.pLock, nullptr);
  EXPECT_EQ(gptrJOVMsgAnchor.nCount, 0u);
  JOVMsg* msg = JOV_MsgCreate(&gptrJOVMsgAnchor, 1, JOVMsgCatError, 0, 0, 0, 0, nullptr);
  EXPECT_EQ(gptrJOVMsgAnchor.pHead, &msg->link);
  JOV_MsgDestroyAll(&gptrJOVMsgAnchor);
  EXPECT_EQ(gptrJOVMsgAnchor.nCount, 0u);
}
