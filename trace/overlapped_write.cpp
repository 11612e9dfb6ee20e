// overlapped_write.cpp - the trace file's writes: each line is converted into a write slot
// and written overlapped; the next line waits for it, at most 5 seconds.
//
// A slot's buffer and OVERLAPPED belong to the system until its write has ended, so a write
// that outlasts the wait is cancelled and, if it still has not ended, abandoned: its slot
// is set aside (never reused or freed while the system may read it) and the file position
// moves past its bytes, so no later write lands on the same place.
#include <cstdlib>
#include <cstring>

#include "JOVMemory.h"
#include "trace/trace_internal.h"

namespace {

// How long a cancelled write is given to end before it is abandoned.
constexpr DWORD kCancelGraceMs = 1000;

unsigned long long Position(const OVERLAPPED& overlap) {
  return (static_cast<unsigned long long>(overlap.OffsetHigh) << 32) | overlap.Offset;
}

void SetPosition(OVERLAPPED& overlap, unsigned long long position) {
  overlap.Offset = static_cast<DWORD>(position);
  overlap.OffsetHigh = static_cast<DWORD>(position >> 32);
}

void FreeSlot(JOVTraceWrite* slot) {
  if (slot == nullptr) return;
  if (slot->text != nullptr) JOV_MemoryFree(slot->text);
  JOV_MemoryFree(slot);
}

JOVTraceWrite* NewSlot() {
  auto* slot =
      static_cast<JOVTraceWrite*>(JOV_MemoryGet(sizeof(JOVTraceWrite), 0, __FILE__, __LINE__));
  if (slot != nullptr) std::memset(slot, 0, sizeof *slot);
  return slot;
}

// Converts a line into the slot's buffer under the current C locale: every character
// becomes its narrow form, and a character that the code page cannot represent becomes
// "?" (so one such character does not cost the whole line). Multibyte results are written
// with all their bytes. False when the buffer cannot be grown.
bool ConvertLine(const JOVString& line, JOVTraceWrite& slot) {
  const unsigned count = line.length();
  const unsigned long perChar = MB_CUR_MAX > 0 ? static_cast<unsigned long>(MB_CUR_MAX) : 1;
  const unsigned long needed = count * perChar + 1;
  if (needed > slot.capacity) {
    unsigned long capacity = slot.capacity < 256 ? 256 : slot.capacity;
    while (capacity < needed) capacity *= 2;
    auto* text = static_cast<char*>(JOV_MemoryGet(capacity, 0, __FILE__, __LINE__));
    if (text == nullptr) return false;
    if (slot.text != nullptr) JOV_MemoryFree(slot.text);
    slot.text = text;
    slot.capacity = capacity;
  }
  const wchar_t* source = line.c_str();
  char* out = slot.text;
  for (unsigned i = 0; i < count; ++i) {
    const wchar_t c = source[i];
    if (c < 0x80) {  // the same byte in every ANSI code page
      *out++ = static_cast<char>(c);
      continue;
    }
    char bytes[MB_LEN_MAX];
    const int produced = std::wctomb(bytes, c);
    if (produced <= 0 || static_cast<unsigned long>(produced) > perChar) {
      *out++ = '?';
    } else {
      std::memcpy(out, bytes, static_cast<size_t>(produced));
      out += produced;
    }
  }
  slot.length = static_cast<unsigned long>(out - slot.text);
  return true;
}

// Adds the completed write's bytes to the file position.
void BookWrite(OVERLAPPED& position, unsigned long long& bytesWritten, HANDLE file,
               JOVTraceWrite& slot) {
  DWORD transferred = 0;
  if (::GetOverlappedResult(file, &slot.overlap, &transferred, FALSE)) {
    SetPosition(position, Position(position) + transferred);
    bytesWritten = Position(position);
  }
}

}  // namespace

// A write that the system refuses at once holds nothing in flight: it is marked so, and
// the next wait returns without spending its 5 seconds on an event no write will signal.
long JOVDebug::InsertMsgWrite() {
  if (traceFile == nullptr) return 1;
  if (writePending != 0) InsertMsgWait();  // a slot in flight is never refilled
  if (abandonedWrites != nullptr) JOVTraceAccess::ReapAbandoned(*this, false);
  if (writeSlot == nullptr) writeSlot = NewSlot();
  JOVTraceWrite* slot = writeSlot;
  if (slot == nullptr || !ConvertLine(lineBuffer, *slot)) return 0;

  std::memset(&slot->overlap, 0, sizeof slot->overlap);
  slot->overlap.Offset = writeOverlap.Offset;
  slot->overlap.OffsetHigh = writeOverlap.OffsetHigh;
  // WriteFile resets the event itself when the write begins.
  slot->overlap.hEvent = writeOverlap.hEvent;
  slot->refused = false;
  BOOL ok = ::WriteFile(traceFile, slot->text, slot->length, nullptr, &slot->overlap);
  if (!ok) {
    if (::GetLastError() == ERROR_IO_PENDING) {
      ok = TRUE;
    } else {
      slot->refused = true;  // nothing to wait for
    }
  }
  writePending = 1;
  return ok ? 1 : 0;
}

// Choice made here for a write still in flight after the 5-second wait: it is cancelled and
// given a short grace to end. If it ends, its bytes count when it succeeded and the position
// stays when it did not, as nothing was written. If it does not end, it is abandoned as
// described at the top of this file.
void JOVDebug::InsertMsgWait() {
  if (writePending == 0 || traceFile == nullptr) {
    writePending = 0;
    return;
  }
  writePending = 0;
  JOVTraceWrite* slot = writeSlot;
  if (slot == nullptr || slot->refused) return;

  if (!HasOverlappedIoCompleted(&slot->overlap)) {
    // Without an event (it could not be created) the file handle is signalled instead.
    const HANDLE signal = writeOverlap.hEvent != nullptr ? writeOverlap.hEvent : traceFile;
    if (::WaitForSingleObject(signal, jov::trace::kWriteWaitMs) != WAIT_OBJECT_0 ||
        !HasOverlappedIoCompleted(&slot->overlap)) {
      ::CancelIoEx(traceFile, &slot->overlap);
      if (slot->overlap.hEvent != nullptr)
        ::WaitForSingleObject(slot->overlap.hEvent, kCancelGraceMs);
      if (!HasOverlappedIoCompleted(&slot->overlap)) {
        slot->next = abandonedWrites;
        abandonedWrites = slot;
        writeSlot = nullptr;
        SetPosition(writeOverlap, Position(writeOverlap) + slot->length);
        bytesWritten = Position(writeOverlap);
        // The abandoned write keeps its event; later writes get one of their own.
        writeOverlap.hEvent = ::CreateEventW(nullptr, TRUE, TRUE, nullptr);
        return;
      }
    }
  }
  BookWrite(writeOverlap, bytesWritten, traceFile, *slot);
}

void JOVTraceAccess::ReapAbandoned(JOVDebug& d, bool waitBriefly) noexcept {
  JOVTraceWrite** link = &d.abandonedWrites;
  while (*link != nullptr) {
    JOVTraceWrite* slot = *link;
    if (!HasOverlappedIoCompleted(&slot->overlap) && waitBriefly &&
        slot->overlap.hEvent != nullptr) {
      ::WaitForSingleObject(slot->overlap.hEvent, 100);
    }
    if (HasOverlappedIoCompleted(&slot->overlap)) {
      *link = slot->next;
      if (slot->overlap.hEvent != nullptr) ::CloseHandle(slot->overlap.hEvent);
      FreeSlot(slot);
    } else {
      link = &slot->next;
    }
  }
}

// Writes that still have not ended when the object goes are left allocated on purpose: the
// system may yet write into their OVERLAPPED and read their bytes.
void JOVTraceAccess::ReleaseWriter(JOVDebug& d) noexcept {
  ReapAbandoned(d, true);
  d.abandonedWrites = nullptr;
  FreeSlot(d.writeSlot);
  d.writeSlot = nullptr;
  if (d.writeOverlap.hEvent != nullptr) ::CloseHandle(d.writeOverlap.hEvent);
  d.writeOverlap.hEvent = nullptr;
}
