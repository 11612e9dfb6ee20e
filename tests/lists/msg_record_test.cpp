// msg_record_test.cpp - message records: creation on a list with the active routine,
// insertion strings, the flat exported form, and what destroying gives back to the
// allocator (watched through the DLL's malloc and free under the default strategy).
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/import_patch.h"

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
