// msg_insertions.cpp - the insertion list of a message record: wide strings, each with its
// terminator, ended by one more 0; text and number forms share one appending core.
#include "JOVMemory.h"
#include "JOVLists.h"

unsigned long JOV_MsgAddInsertion(JOVMsg* msg, const wchar_t* text) {
  if (msg == nullptr || text == nullptr) return ERROR_INVALID_PARAMETER;
  const unsigned long textBytes =
      static_cast<unsigned long>((::lstrlenW(text) + 1) * sizeof(wchar_t));
  const bool hasList = msg->pInsertions != nullptr && msg->cbInsertions >= sizeof(wchar_t);
  // The list's own final 0 is reused behind the new text; a first list needs room for it.
  const unsigned long keptBytes = hasList ? msg->cbInsertions - sizeof(wchar_t) : 0;
  const unsigned long newBytes = keptBytes + textBytes + sizeof(wchar_t);

  auto* list = static_cast<unsigned char*>(JOV_MemoryGet(newBytes, 0, __FILE__, __LINE__));
  if (list == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
  if (hasList) ::CopyMemory(list, msg->pInsertions, keptBytes);
  ::CopyMemory(list + keptBytes, text, textBytes);
  *reinterpret_cast<wchar_t*>(list + keptBytes + textBytes) = L'\0';

  // The new list is complete before the old one goes, so a throwing free (a damaged guard
  // frame) still leaves the record holding a valid list.
  wchar_t* old = hasList ? msg->pInsertions : nullptr;
  msg->pInsertions = reinterpret_cast<wchar_t*>(list);
  msg->cbInsertions = newBytes;
  if (old != nullptr) JOV_MemoryFree(old);
  return 0;
}

unsigned long JOV_MsgAddInsertion(JOVMsg* msg, long value, unsigned long radix) {
  if (radix < 2 || radix > 36) return ERROR_INVALID_PARAMETER;
  static const wchar_t kDigits[] = L"0123456789abcdefghijklmnopqrstuvwxyz";

  // Room for 32 binary digits, a sign or "0x", and the terminator: small radices with
  // large values would not fit the customary 16 characters.
  wchar_t buffer[40];
  wchar_t* end = buffer + 39;
  *end = L'\0';
  wchar_t* p = end;
  // Only radix 10 reads the value as signed; every other radix shows its 32 bits unsigned.
  const bool negative = radix == 10 && value < 0;
  unsigned long magnitude = static_cast<unsigned long>(value);
  if (negative) magnitude = 0UL - magnitude;
  do {
    *--p = kDigits[magnitude % radix];
    magnitude /= radix;
  } while (magnitude != 0);
  if (negative) *--p = L'-';
  if (radix == 16) {
    *--p = L'x';
    *--p = L'0';
  }
  return JOV_MsgAddInsertion(msg, p);
}
