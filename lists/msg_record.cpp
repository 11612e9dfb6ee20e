// msg_record.cpp - message records on a list: creation with the creator's active routine,
// destruction of one record (listed or exported) and of a whole list.
#include <cstdint>

#include "JOVDebug.h"
#include "JOVMemory.h"
#include "JOVStrings.h"
#include "JOVLists.h"

JOVLinkAnchor gptrJOVMsgAnchor = {nullptr, nullptr, nullptr, 0};

namespace {

// A private copy of the trace object's innermost routine name, or null when there is no
// trace object, the name is empty, or the copy cannot be allocated.
wchar_t* CopyActiveRoutine(JOVDebug* trace) {
  if (trace == nullptr) return nullptr;
  const JOVString name = trace->ActiveRoutine();
  if (name.length() == 0) return nullptr;
  const unsigned long bytes = static_cast<unsigned long>((name.length() + 1) * sizeof(wchar_t));
  auto* copy = static_cast<wchar_t*>(JOV_MemoryGet(bytes, 0, __FILE__, __LINE__));
  if (copy == nullptr) return nullptr;
  ::lstrcpynW(copy, name.c_str(), static_cast<int>(name.length() + 1));
  return copy;
}

// Releases a string field of a listed record, if set.
void FreeField(wchar_t*& field) {
  if (field == nullptr) return;
  JOV_MemoryFree(field);
  field = nullptr;
}

}  // namespace

JOVMsg* JOV_MsgCreate(JOVLinkAnchor* anchor, unsigned long msgId, JOVMsgCategory category,
                      unsigned short wData, unsigned long dwData1, unsigned long dwData2,
                      unsigned long dwData3, JOVDebug* trace) {
  auto* msg = static_cast<JOVMsg*>(JOV_MemoryGet(sizeof(JOVMsg), 0, __FILE__, __LINE__));
  if (msg == nullptr) return nullptr;
  msg->link.pNext = nullptr;
  msg->link.pPrior = nullptr;
  msg->dwMsgId = msgId;
  msg->dwData3 = dwData3;
  msg->pszRoutine = nullptr;
  msg->pInsertions = nullptr;
  msg->cbInsertions = 0;
  msg->eCategory = category;
  msg->wData = wData;
  msg->wReserved = 0;
  msg->dwData1 = dwData1;
  msg->dwData2 = dwData2;

  // The name is taken before the link, so a record is complete once others can see it.
  msg->pszRoutine = CopyActiveRoutine(trace);

  const unsigned long code = JOV_LinkToTail(anchor, msg);
  if (code != 0) {
    // Unlinked, the record would be reachable from nowhere: give it back before throwing.
    FreeField(msg->pszRoutine);
    JOV_MemoryFree(msg);
    throw code;
  }
  return msg;
}

void JOV_MsgDestroy(JOVLinkAnchor* anchor, JOVMsg* msg) {
  if (msg == nullptr) return;
  // An exported block holds offsets (sizeof(JOVMsg) and sizeof(JOVMsg) + cbInsertions)
  // where a listed record holds addresses; offsets are part of the block, never freed alone.
  const std::uintptr_t recordSize = sizeof(JOVMsg);
  const auto insertions = reinterpret_cast<std::uintptr_t>(msg->pInsertions);
  if (insertions != 0 && insertions > recordSize) {
    JOV_MemoryFree(msg->pInsertions);
    msg->pInsertions = nullptr;
  }
  const auto routine = reinterpret_cast<std::uintptr_t>(msg->pszRoutine);
  if (routine != 0 && routine > msg->cbInsertions + recordSize) {
    JOV_MemoryFree(msg->pszRoutine);
    msg->pszRoutine = nullptr;
  }
  if (anchor != nullptr) JOV_LinkRemove(anchor, msg);  // a record not in the list is fine
  JOV_MemoryFree(msg);
}

void JOV_MsgDestroyAll(JOVLinkAnchor* anchor) {
  // Records in a list always hold addresses, so no offset test is needed here.
  while (auto* msg = static_cast<JOVMsg*>(JOV_LinkPopFirst(anchor))) {
    FreeField(msg->pInsertions);
    FreeField(msg->pszRoutine);
    JOV_MemoryFree(msg);
  }
}
