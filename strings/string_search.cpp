// string_search.cpp - JOVString's six search families. Each core form scans linearly over
// an array of n characters; the other forms pass a string, a zero-terminated array or one
// character to it.
#include <cwchar>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

namespace {

unsigned Length(const wchar_t* s) { return static_cast<unsigned>(std::wcslen(s)); }

// The set searches test each character against the whole set. The scans take the test as
// a template argument so that a one-character set (the blank of the trims, the character
// forms) compiles to a plain comparison loop.
template <typename Test>
unsigned ScanForward(const wchar_t* text, unsigned from, unsigned length, Test test) {
  for (const wchar_t *p = text + from, *end = text + length; p != end; ++p)
    if (test(*p)) return static_cast<unsigned>(p - text);
  return kNpos;
}

template <typename Test>
unsigned ScanBackward(const wchar_t* text, unsigned from, Test test) {
  for (const wchar_t* p = text + from + 1; p != text;)
    if (test(*--p)) return static_cast<unsigned>(p - text);
  return kNpos;
}

// Runs scan with a test for "in the set" (wanted true) or "not in the set" (false).
template <typename Scan>
unsigned WithSetTest(const wchar_t* set, unsigned n, bool wanted, Scan scan) {
  if (n == 1) {
    const wchar_t only = set[0];
    return scan([only, wanted](wchar_t c) { return (c == only) == wanted; });
  }
  return scan(
      [set, n, wanted](wchar_t c) { return (std::wmemchr(set, c, n) != nullptr) == wanted; });
}

}  // namespace

unsigned JOVString::find(const wchar_t* s, unsigned pos, unsigned n) const {
  const unsigned length = charCount;
  if (n == 0) return pos <= length ? pos : npos;
  if (pos >= length || n > length - pos) return npos;
  const wchar_t* text = charBuffer;
  const wchar_t* last = text + (length - n);  // the last possible start
  const wchar_t* at = text + pos;
  // Candidates are the places of s[0]; each is then compared whole.
  while (at <= last) {
    at = std::wmemchr(at, s[0], static_cast<size_t>(last - at) + 1);
    if (!at) return npos;
    if (std::wmemcmp(at, s, n) == 0) return static_cast<unsigned>(at - text);
    ++at;
  }
  return npos;
}

unsigned JOVString::rfind(const wchar_t* s, unsigned pos, unsigned n) const {
  const unsigned length = charCount;
  if (n == 0) return pos < length ? pos : length;
  if (n > length) return npos;
  unsigned i = pos < length - n ? pos : length - n;
  for (;;) {
    if (charBuffer[i] == s[0] && std::wmemcmp(charBuffer + i, s, n) == 0) return i;
    if (i == 0) return npos;
    --i;
  }
}

unsigned JOVString::find_first_of(const wchar_t* s, unsigned pos, unsigned n) const {
  if (n == 0 || pos >= charCount) return npos;
  const wchar_t* text = charBuffer;
  const unsigned length = charCount;
  return WithSetTest(s, n, true, [&](auto test) { return ScanForward(text, pos, length, test); });
}

unsigned JOVString::find_last_of(const wchar_t* s, unsigned pos, unsigned n) const {
  if (n == 0 || charCount == 0) return npos;
  const wchar_t* text = charBuffer;
  const unsigned from = pos < charCount - 1 ? pos : charCount - 1;
  return WithSetTest(s, n, true, [&](auto test) { return ScanBackward(text, from, test); });
}

unsigned JOVString::find_first_not_of(const wchar_t* s, unsigned pos, unsigned n) const {
  if (n == 0 || pos >= charCount) return npos;
  const wchar_t* text = charBuffer;
  const unsigned length = charCount;
  return WithSetTest(s, n, false, [&](auto test) { return ScanForward(text, pos, length, test); });
}

unsigned JOVString::find_last_not_of(const wchar_t* s, unsigned pos, unsigned n) const {
  if (n == 0 || charCount == 0) return npos;
  const wchar_t* text = charBuffer;
  const unsigned from = pos < charCount - 1 ? pos : charCount - 1;
  return WithSetTest(s, n, false, [&](auto test) { return ScanBackward(text, from, test); });
}

// The forms that only supply the array. find(wchar_t) and find_first_of(wchar_t) share
// one body, as do rfind(wchar_t) and find_last_of(wchar_t).

unsigned JOVString::find(const JOVString& str, unsigned pos) const {
  return find(str.c_str(), pos, str.charCount);
}
unsigned JOVString::find(const wchar_t* s, unsigned pos) const { return find(s, pos, Length(s)); }
unsigned JOVString::find(wchar_t c, unsigned pos) const { return find_first_of(&c, pos, 1u); }

unsigned JOVString::rfind(const JOVString& str, unsigned pos) const {
  return rfind(str.c_str(), pos, str.charCount);
}
unsigned JOVString::rfind(const wchar_t* s, unsigned pos) const { return rfind(s, pos, Length(s)); }
unsigned JOVString::rfind(wchar_t c, unsigned pos) const { return find_last_of(&c, pos, 1u); }

unsigned JOVString::find_first_of(const JOVString& str, unsigned pos) const {
  return find_first_of(str.c_str(), pos, str.charCount);
}
unsigned JOVString::find_first_of(const wchar_t* s, unsigned pos) const {
  return find_first_of(s, pos, Length(s));
}
unsigned JOVString::find_first_of(wchar_t c, unsigned pos) const {
  return find_first_of(&c, pos, 1u);
}

unsigned JOVString::find_last_of(const JOVString& str, unsigned pos) const {
  return find_last_of(str.c_str(), pos, str.charCount);
}
unsigned JOVString::find_last_of(const wchar_t* s, unsigned pos) const {
  return find_last_of(s, pos, Length(s));
}
unsigned JOVString::find_last_of(wchar_t c, unsigned pos) const {
  return find_last_of(&c, pos, 1u);
}

unsigned JOVString::find_first_not_of(const JOVString& str, unsigned pos) const {
  return find_first_not_of(str.c_str(), pos, str.charCount);
}
unsigned JOVString::find_first_not_of(const wchar_t* s, unsigned pos) const {
  return find_first_not_of(s, pos, Length(s));
}
unsigned JOVString::find_first_not_of(wchar_t c, unsigned pos) const {
  return find_first_not_of(&c, pos, 1u);
}

unsigned JOVString::find_last_not_of(const JOVString& str, unsigned pos) const {
  return find_last_not_of(str.c_str(), pos, str.charCount);
}
unsigned JOVString::find_last_not_of(const wchar_t* s, unsigned pos) const {
  return find_last_not_of(s, pos, Length(s));
}
unsigned JOVString::find_last_not_of(wchar_t c, unsigned pos) const {
  return find_last_not_of(&c, pos, 1u);
}
