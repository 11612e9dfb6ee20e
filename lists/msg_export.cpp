// msg_export.cpp - pops a message record and flattens it into one block that the caller
// owns: the record, its insertion list and its routine name, with offsets for addresses.
#include <cstdint>

#include "JOVMemory.h"
#include "JOVLists.h"

JOVMsg* JOV_MsgExport(JOVLinkAnchor* anchor) {
  auto* msg = static_cast<JOVMsg*>(JOV_LinkPopFirst(anchor));
  if (msg == nullptr) return nullptr;

  const unsigned long recordBytes = sizeof(JOVMsg);
  const unsigned long listBytes = msg->pInsertions != nullptr ? msg->cbInsertions : 0;
  const unsigned long routineBytes =
      msg->pszRoutine != nullptr
          ? static_cast<unsigned long>((::lstrlenW(msg->pszRoutine) + 1) * sizeof(wchar_t))
          : 0;
  auto* block = static_cast<unsigned char*>(
      JOV_MemoryGet(recordBytes + listBytes + routineBytes, 0, __FILE__, __LINE__));
  if (block == nullptr) {
    // Nothing is lost: the record goes back to where it was, the first of its list.
    JOV_LinkToHead(anchor, msg);
    return nullptr;
  }

  auto* flat = reinterpret_cast<JOVMsg*>(block);
  ::CopyMemory(flat, msg, recordBytes);
  flat->link.pNext = nullptr;
  flat->link.pPrior = nullptr;
  flat->cbInsertions = listBytes;  // the offsets below assume the size matches the list
  if (msg->pInsertions != nullptr) {
    flat->pInsertions = reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(recordBytes));
    ::CopyMemory(block + recordBytes, msg->pInsertions, listBytes);
    JOV_MemoryFree(msg->pInsertions);
  }
  if (msg->pszRoutine != nullptr) {
    flat->pszRoutine =
        reinterpret_cast<wchar_t*>(static_cast<std::uintptr_t>(recordBytes + listBytes));
    ::CopyMemory(block + recordBytes + listBytes, msg->pszRoutine, routineBytes);
    JOV_MemoryFree(msg->pszRoutine);
  }
  JOV_MemoryFree(msg);
  return flat;
}
