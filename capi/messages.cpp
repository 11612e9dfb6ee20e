// messages.cpp - the C interface's message records (each on a private list of its own, so
// that exporting it pops exactly this record) and the event logger.
#include <cstddef>
#include <new>

#include "JOVEventLog.h"
#include "JOVMemory.h"
#include "capi/capi_internal.h"

using jov::capi::FindMessage;
using jov::capi::MessageHolder;
using jov::capi::Shell;

// The exported form described by JOVC_MSG_RECORD is the library's JOVMsg block.
static_assert(sizeof(JOVC_MSG_RECORD) == sizeof(JOVMsg));
static_assert(offsetof(JOVC_MSG_RECORD, msgId) == offsetof(JOVMsg, dwMsgId));
static_assert(offsetof(JOVC_MSG_RECORD, routineOffset) == offsetof(JOVMsg, pszRoutine));
static_assert(offsetof(JOVC_MSG_RECORD, insertionsOffset) == offsetof(JOVMsg, pInsertions));
static_assert(offsetof(JOVC_MSG_RECORD, insertionBytes) == offsetof(JOVMsg, cbInsertions));
static_assert(offsetof(JOVC_MSG_RECORD, category) == offsetof(JOVMsg, eCategory));
static_assert(offsetof(JOVC_MSG_RECORD, data) == offsetof(JOVMsg, wData));
static_assert(offsetof(JOVC_MSG_RECORD, data2) == offsetof(JOVMsg, dwData2));

namespace {

// The Win32-style codes of JOV_MsgAddInsertion as results.
JOVC_RESULT FromInsertionCode(unsigned long code) {
  switch (code) {
    case 0:
      return JOVC_OK;
    case 8:
      return JOVC_ERR_MEMORY;
    case 87:
      return JOVC_ERR_ARGUMENT;
    default:
      return JOVC_ERR_INTERNAL;
  }
}

// Bytes of an exported block: the record, its insertion list, its routine name.
std::uint32_t ExportedBytes(const JOVMsg* block) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(block);
  const auto routineOffset = reinterpret_cast<std::uintptr_t>(block->pszRoutine);
  if (routineOffset == 0) return static_cast<std::uint32_t>(sizeof(JOVMsg) + block->cbInsertions);
  const auto* routine = reinterpret_cast<const wchar_t*>(bytes + routineOffset);
  return static_cast<std::uint32_t>(routineOffset + (::lstrlenW(routine) + 1) * sizeof(wchar_t));
}

}  // namespace

extern "C" {

JOVC_RESULT JOVC_CALL jovc_msg_create(JOVC_MSG* msg, uint32_t msgId, int32_t category,
                                      JOVC_TRACE trace) {
  if (msg == nullptr) return JOVC_ERR_NULL;
  *msg = nullptr;
  JOVDebug* object = nullptr;
  if (trace != nullptr && (object = jov::capi::FindTrace(trace)) == nullptr) {
    return JOVC_ERR_HANDLE;
  }
  return Shell([&] {
    auto* holder = new MessageHolder();
    JOV_LinkInitAnchor(&holder->anchor, nullptr);
    holder->record = JOV_MsgCreate(&holder->anchor, msgId, static_cast<JOVMsgCategory>(category), 0,
                                   0, 0, 0, object);
    void* handle = holder->record != nullptr
                       ? jov::capi::AddHandle(jov::capi::HandleKind::kMessage, holder)
                       : nullptr;
    if (handle == nullptr) {
      if (holder->record != nullptr) JOV_MsgDestroy(&holder->anchor, holder->record);
      delete holder;
      return JOVC_ERR_MEMORY;
    }
    *msg = static_cast<JOVC_MSG>(handle);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_msg_add_text(JOVC_MSG msg, const wchar_t* text) {
  MessageHolder* holder = FindMessage(msg);
  if (holder == nullptr) return JOVC_ERR_HANDLE;
  if (text == nullptr) return JOVC_ERR_NULL;
  if (holder->record == nullptr) return JOVC_ERR_STATE;
  return Shell([&] { return FromInsertionCode(JOV_MsgAddInsertion(holder->record, text)); });
}

JOVC_RESULT JOVC_CALL jovc_msg_add_number(JOVC_MSG msg, int32_t value, uint32_t radix) {
  MessageHolder* holder = FindMessage(msg);
  if (holder == nullptr) return JOVC_ERR_HANDLE;
  if (holder->record == nullptr) return JOVC_ERR_STATE;
  return Shell([&] {
    return FromInsertionCode(JOV_MsgAddInsertion(holder->record, static_cast<long>(value), radix));
  });
}

int32_t JOVC_CALL jovc_msg_export(JOVC_MSG msg, void* buffer, uint32_t capacity) {
  MessageHolder* holder = FindMessage(msg);
  if (holder == nullptr) return -JOVC_ERR_HANDLE;
  if (buffer == nullptr && capacity != 0) return -JOVC_ERR_NULL;
  return jov::capi::LengthShell([&] {
    if (holder->exported == nullptr) {
      // Pops the one record of the private list; on failure it stays there, unchanged.
      JOVMsg* block = JOV_MsgExport(&holder->anchor);
      if (block == nullptr) return -JOVC_ERR_MEMORY;
      holder->exported = block;
      holder->exportedBytes = ExportedBytes(block);
      holder->record = nullptr;
    }
    return jov::capi::CopyOut(holder->exported, holder->exportedBytes, 1, buffer, capacity);
  });
}

JOVC_RESULT JOVC_CALL jovc_msg_log(JOVC_MSG msg, const wchar_t* text, const wchar_t* source) {
  MessageHolder* holder = FindMessage(msg);
  if (holder == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    // The logger accepts the exported block too.
    JOV_LogEvent(holder->record != nullptr ? *holder->record : *holder->exported, text, source);
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_msg_destroy(JOVC_MSG msg) {
  auto* holder =
      static_cast<MessageHolder*>(jov::capi::RemoveHandle(jov::capi::HandleKind::kMessage, msg));
  if (holder == nullptr) return JOVC_ERR_HANDLE;
  return Shell([&] {
    if (holder->record != nullptr) JOV_MsgDestroy(&holder->anchor, holder->record);
    if (holder->exported != nullptr) JOV_MsgDestroy(nullptr, holder->exported);
    delete holder;
    return JOVC_OK;
  });
}

JOVC_RESULT JOVC_CALL jovc_log_event(int32_t category, const wchar_t* text, uint32_t msgId,
                                     const wchar_t* source) {
  return Shell([&] {
    JOV_LogEvent(static_cast<JOVMsgCategory>(category), text, msgId, source);
    return JOVC_OK;
  });
}

}  // extern "C"
