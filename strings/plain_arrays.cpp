// plain_arrays.cpp - helpers for plain zero-terminated arrays and allocator buffers:
// blank trimming in place, the front-to-back character copy, reallocation of a string or a
// byte buffer, and the free forms of Left and Right.
#include <cstring>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

void JOV_OverlappedStringCopy(const wchar_t* destination, const wchar_t* source,
                              unsigned long count) {
  // The destination is declared constant by the exported signature but is written.
  wchar_t* to = const_cast<wchar_t*>(destination);
  const wchar_t* from = source;
  // CharNextW stops on a zero, so past the source's terminator the rest of the count
  // rewrites that zero instead of running on.
  for (unsigned long i = 0; i < count; ++i) {
    *to = *from;
    from = ::CharNextW(from);
    to = ::CharNextW(to);
  }
}

void JOV_Trim(wchar_t* text) {
  int n = static_cast<int>(ArrayLength(text));
  if (n > 0 && text[0] == kBlank) {
    const wchar_t* p = text;
    while (*p == kBlank) p = ::CharNextW(p);
    n -= static_cast<int>(p - text);
    JOV_OverlappedStringCopy(text, p, static_cast<unsigned long>(n));
  }
  if (n == 0) {
    text[0] = 0;
    return;
  }
  const wchar_t* last = text + n - 1;
  while (*last == kBlank) {
    if (last == text) {  // blanks only; nothing before text[0] is read
      text[0] = 0;
      return;
    }
    last = ::CharPrevW(text, last);
  }
  *::CharNextW(last) = 0;
}

unsigned long JOV_ResizeString(wchar_t** text, unsigned long newLength) {
  // newLength * 2 + 2 bytes must fit the allocator's 32-bit size.
  if (newLength > (0xFFFFFFFFul - 2) / 2) return ERROR_OUTOFMEMORY;
  wchar_t* fresh = static_cast<wchar_t*>(JOV_MemoryGet(newLength * 2 + 2, 0, nullptr, 0));
  if (!fresh) return ERROR_OUTOFMEMORY;
  fresh[0] = 0;
  if (*text) {
    if ((*text)[0] != 0) ::lstrcpynW(fresh, *text, static_cast<int>(newLength + 1));
    JOV_MemoryFreePtr(text);
  }
  *text = fresh;
  return 0;
}

unsigned long JOV_ResizeBuffer(unsigned char** buffer, unsigned long* size, unsigned long newSize) {
  unsigned char* fresh = static_cast<unsigned char*>(JOV_MemoryGet(newSize, 0, nullptr, 0));
  if (!fresh) return ERROR_OUTOFMEMORY;
  if (*buffer) {
    if (*size != 0) std::memcpy(fresh, *buffer, newSize < *size ? newSize : *size);
    JOV_MemoryFree(*buffer);
  }
  *buffer = fresh;
  *size = newSize;
  return 0;
}

JOVString JOV_Left(const JOVString& s, unsigned n) { return s.Left(n); }

JOVString JOV_Right(const JOVString& s, unsigned n) { return s.Right(n); }
