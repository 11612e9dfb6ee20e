// string_edit.cpp - JOVString's editing members: assign, append, insert, erase, replace and
// resize. Each core form clamps its positions, makes its overflow check and hands the
// splice to _Splice; the other forms only compute the core's arguments.
#include <cstring>
#include <cwchar>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

namespace {

unsigned Smaller(unsigned a, unsigned b) { return a < b ? a : b; }

// Growing from `length` by `count` would pass 32 bits.
bool Overflows(unsigned length, unsigned count) { return count > 0xFFFFFFFFu - length; }

}  // namespace

// ---- assign ----

JOVString& JOVString::assign(const JOVString& str, unsigned pos, unsigned n) {
  const unsigned count = PieceLength(str.charCount, pos, n);
  if (&str == this) {
    // Keep the piece in place: cut the tail, then the head; the storage stays.
    erase(pos + count, npos);
    return erase(0, pos);
  }
  return _Splice(0, charCount, str.data() + (count ? pos : 0), count, 0);
}

JOVString& JOVString::assign(const wchar_t* s, unsigned n) {
  return _Splice(0, charCount, s, n, 0);
}

JOVString& JOVString::assign(const char* s, unsigned n) {
  return _SpliceNarrow(0, charCount, s, n);
}

JOVString& JOVString::assign(unsigned n, wchar_t c) {
  if (n == npos) throw std::length_error(kAssignMessage);
  return _Splice(0, charCount, nullptr, n, c);
}

JOVString& JOVString::assign(const wchar_t* s) {
  return assign(s, static_cast<unsigned>(std::wcslen(s)));
}

JOVString& JOVString::assign(const char* s) {
  return assign(s, static_cast<unsigned>(std::strlen(s)));
}

JOVString& JOVString::assign(const wchar_t* first, const wchar_t* last) {
  return replace(begin(), end(), first, last);
}

JOVString& JOVString::operator=(const JOVString& str) { return assign(str, 0, npos); }
JOVString& JOVString::operator=(const wchar_t* s) { return assign(s); }
JOVString& JOVString::operator=(const char* s) { return assign(s); }
JOVString& JOVString::operator=(wchar_t c) { return assign(1u, c); }

// ---- append ----

JOVString& JOVString::append(const JOVString& str, unsigned pos, unsigned n) {
  const unsigned count = PieceLength(str.charCount, pos, n);
  if (Overflows(charCount, count)) throw std::length_error(kAppendMessage);
  if (count == 0) return *this;
  return _Splice(charCount, 0, str.data() + pos, count, 0);
}

JOVString& JOVString::append(const wchar_t* s, unsigned n) {
  if (Overflows(charCount, n)) throw std::length_error(kAppendMessage);
  if (n == 0) return *this;
  return _Splice(charCount, 0, s, n, 0);
}

JOVString& JOVString::append(const char* s, unsigned n) {
  if (Overflows(charCount, n)) throw std::length_error(kAppendMessage);
  if (n == 0) return *this;
  return _SpliceNarrow(charCount, 0, s, n);
}

JOVString& JOVString::append_char(unsigned n, wchar_t c) {
  if (Overflows(charCount, n)) throw std::length_error(kAppendMessage);
  if (n == 0) return *this;
  // One character within the capacity is the common case of text built in a loop.
  if (n == 1 && charCount + 1 < charCapacity) {
    charBuffer[charCount] = c;
    charBuffer[++charCount] = 0;
    return *this;
  }
  return _Splice(charCount, 0, nullptr, n, c);
}

JOVString& JOVString::append(const wchar_t* s) {
  return append(s, static_cast<unsigned>(std::wcslen(s)));
}

JOVString& JOVString::append(const char* s) {
  return append(s, static_cast<unsigned>(std::strlen(s)));
}

JOVString& JOVString::append(const wchar_t* first, const wchar_t* last) {
  return replace(end(), end(), first, last);
}

JOVString& JOVString::operator+=(const JOVString& str) { return append(str, 0, npos); }
JOVString& JOVString::operator+=(const wchar_t* s) { return append(s); }
JOVString& JOVString::operator+=(const char* s) { return append(s); }

// ---- insert ----

JOVString& JOVString::insert(unsigned pos, const JOVString& str, unsigned pos2, unsigned n) {
  const unsigned count = PieceLength(str.charCount, pos2, n);
  if (Overflows(charCount, count)) throw std::length_error(kInsertMessage);
  if (count == 0) return *this;
  // _Splice sets a source inside this object aside before opening the gap.
  return _Splice(Smaller(pos, charCount), 0, str.data() + pos2, count, 0);
}

JOVString& JOVString::insert(unsigned pos, const wchar_t* s, unsigned n) {
  if (Overflows(charCount, n)) throw std::length_error(kInsertMessage);
  if (n == 0) return *this;
  return _Splice(Smaller(pos, charCount), 0, s, n, 0);
}

JOVString& JOVString::insert(unsigned pos, unsigned n, wchar_t c) {
  if (Overflows(charCount, n)) throw std::length_error(kInsertMessage);
  if (n == 0) return *this;
  return _Splice(Smaller(pos, charCount), 0, nullptr, n, c);
}

JOVString& JOVString::insert(unsigned pos, const wchar_t* s) {
  return insert(pos, s, static_cast<unsigned>(std::wcslen(s)));
}

wchar_t* JOVString::insert(const wchar_t* p, wchar_t c) {
  const unsigned at = _Pdif(p, charBuffer);
  insert(at, 1u, c);
  return _Psum(charBuffer, at);
}

void JOVString::insert(const wchar_t* p, unsigned n, wchar_t c) {
  insert(_Pdif(p, charBuffer), n, c);
}

void JOVString::insert(wchar_t* p, const wchar_t* first, const wchar_t* last) {
  replace(p, p, first, last);
}

// ---- erase ----

JOVString& JOVString::erase(unsigned pos, unsigned n) {
  if (pos >= charCount) return *this;
  const unsigned count = Smaller(n, charCount - pos);
  if (count == 0) return *this;
  return _Splice(pos, count, nullptr, 0, 0);
}

wchar_t* JOVString::erase(wchar_t* p) {
  const unsigned at = _Pdif(p, charBuffer);
  erase(at, 1u);
  return _Psum(charBuffer, at);
}

wchar_t* JOVString::erase(wchar_t* first, wchar_t* last) {
  const unsigned at = _Pdif(first, charBuffer);
  erase(at, _Pdif(last, first));
  return _Psum(charBuffer, at);
}

// ---- replace ----

JOVString& JOVString::replace(unsigned pos, unsigned n, const JOVString& str, unsigned pos2,
                              unsigned m) {
  const unsigned count = PieceLength(str.charCount, pos2, m);
  return replace(pos, n, str.data() + (count ? pos2 : 0), count);
}

JOVString& JOVString::replace(unsigned pos, unsigned n, const wchar_t* s, unsigned m) {
  const unsigned p = Smaller(pos, charCount);
  const unsigned k = Smaller(n, charCount - p);
  if (Overflows(charCount - k, m)) throw std::length_error(kReplaceMessage);
  return _Splice(p, k, s, m, 0);
}

JOVString& JOVString::replace(unsigned pos, unsigned n, unsigned m, wchar_t c) {
  const unsigned p = Smaller(pos, charCount);
  const unsigned k = Smaller(n, charCount - p);
  if (Overflows(charCount - k, m)) throw std::length_error(kReplaceMessage);
  return _Splice(p, k, nullptr, m, c);
}

JOVString& JOVString::replace(unsigned pos, unsigned n, const wchar_t* s) {
  return replace(pos, n, s, static_cast<unsigned>(std::wcslen(s)));
}

JOVString& JOVString::replace(wchar_t* first, wchar_t* last, const JOVString& str) {
  return replace(_Pdif(first, charBuffer), _Pdif(last, first), str, 0u, npos);
}

JOVString& JOVString::replace(wchar_t* first, wchar_t* last, const wchar_t* s, unsigned m) {
  return replace(_Pdif(first, charBuffer), _Pdif(last, first), s, m);
}

JOVString& JOVString::replace(wchar_t* first, wchar_t* last, const wchar_t* s) {
  return replace(_Pdif(first, charBuffer), _Pdif(last, first), s,
                 static_cast<unsigned>(std::wcslen(s)));
}

JOVString& JOVString::replace(wchar_t* first, wchar_t* last, unsigned m, wchar_t c) {
  return replace(_Pdif(first, charBuffer), _Pdif(last, first), m, c);
}

JOVString& JOVString::replace(wchar_t* first, wchar_t* last, const wchar_t* first2,
                              const wchar_t* last2) {
  return replace(_Pdif(first, charBuffer), _Pdif(last, first), first2, _Pdif(last2, first2));
}

// ---- resize ----

void JOVString::resize(unsigned n, wchar_t c) {
  if (n > charCount)
    append_char(n - charCount, c);
  else
    erase(n, npos);
}

void JOVString::resize(unsigned n) { resize(n, 0); }
