// string_compare.cpp - JOVString's exact comparison, its pieces (substr, Left, Right) and
// the copies out to a caller's buffer.
#include <cwchar>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

int JOVString::compare(unsigned pos, unsigned n, const wchar_t* s, unsigned m) const {
  const unsigned k = PieceLength(charCount, pos, n);
  const wchar_t* piece = data() + (k ? pos : 0);
  const unsigned common = k < m ? k : m;
  // wchar_t is an unsigned 16-bit type here, so this is code-value order.
  for (unsigned i = 0; i < common; ++i)
    if (piece[i] != s[i]) return piece[i] < s[i] ? -1 : 1;
  if (k < m) return -1;
  return k > m ? 1 : 0;
}

int JOVString::compare(const JOVString& str) const {
  return compare(0u, charCount, str.c_str(), str.charCount);
}

int JOVString::compare(const wchar_t* s) const {
  return compare(0u, charCount, s, static_cast<unsigned>(std::wcslen(s)));
}

int JOVString::compare(unsigned pos, unsigned n, const wchar_t* s) const {
  return compare(pos, n, s, static_cast<unsigned>(std::wcslen(s)));
}

int JOVString::compare(unsigned pos, unsigned n, const JOVString& str) const {
  return compare(pos, n, str, 0u, npos);
}

int JOVString::compare(unsigned pos, unsigned n, const JOVString& str, unsigned pos2,
                       unsigned m) const {
  const unsigned count = PieceLength(str.charCount, pos2, m);
  return compare(pos, n, str.c_str() + (count ? pos2 : 0), count);
}

JOVString JOVString::substr(unsigned pos, unsigned n) const { return JOVString(*this, pos, n); }

JOVString JOVString::Left(unsigned n) const { return substr(0u, n); }

JOVString JOVString::Right(unsigned n) const {
  // Asking for more than there is gives nothing, not the whole string.
  if (n > charCount) return JOVString();
  return substr(charCount - n, npos);
}

unsigned JOVString::Copy_s(wchar_t* dest, unsigned destSize, unsigned count, unsigned pos) const {
  unsigned k = PieceLength(charCount, pos, count);
  // The copy never writes past destSize characters: a longer piece is cut to fit, which
  // gives CopyTString its "as much as fits, then the terminator" behaviour.
  if (k > destSize) k = destSize;
  if (k == 0) return 0;
  std::wmemcpy(dest, charBuffer + pos, k);
  return k;
}

unsigned JOVString::CopyTString(wchar_t* dest, unsigned destSize, unsigned count,
                                unsigned pos) const {
  if (destSize == 0) return 0;  // no room even for the terminator
  const unsigned k = Copy_s(dest, destSize - 1, count, pos);
  dest[k] = 0;
  return k;
}
