// string_storage.cpp - JOVString's storage: construction, the growth step and reallocation,
// size and element access, reserve and swap.
//
// Storage is one allocator block of capacity + 1 characters; a string without storage has
// all four fields zero and reads as the shared zero character.
#include <cwchar>
#include <utility>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

const unsigned JOVString::npos = kNpos;

namespace {
// The text of every string that holds no storage. Constant: writes through operator[]
// past the end are the caller's error.
const wchar_t kSharedZero = 0;
}  // namespace

const wchar_t* JOVString::_Nullstr() { return &kSharedZero; }

unsigned JOVString::_Pdif(const wchar_t* p, const wchar_t* q) {
  return p ? static_cast<unsigned>(p - q) : 0;
}

wchar_t* JOVString::_Psum(wchar_t* p, unsigned n) { return p ? p + n : nullptr; }

const wchar_t* JOVString::_Psum(const wchar_t* p, unsigned n) { return p ? p + n : nullptr; }

void JOVString::_Tidy(bool release) {
  if (release) {
    // Fields are cleared before the blocks go back, so a guard-frame exception from the
    // allocator leaves a consistent (empty) object.
    wchar_t* text = charBuffer;
    char* ansi = ansiBuffer;
    charBuffer = nullptr;
    ansiBuffer = nullptr;
    charCount = charCapacity = 0;
    if (ansi) JOV_MemoryFree(ansi);
    if (text) JOV_MemoryFree(text);
    return;
  }
  charBuffer = nullptr;
  ansiBuffer = nullptr;
  charCount = charCapacity = 0;
}

void JOVString::_NullTermString(unsigned n) {
  if (!charBuffer) return;
  charCount = n;
  charBuffer[n] = 0;
}

bool JOVString::_Grow(unsigned n) {
  if (n >= kMaxSize) throw std::length_error(kGrowMessage);
  if (n == 0) {
    _Tidy(true);
    return false;
  }
  // Reaching the capacity exactly renews the storage as well.
  if (n >= charCapacity) _Copy(n);
  return true;
}

void JOVString::_Copy(unsigned n) {
  unsigned newCapacity = ((n - 1) | 15u) + 1;
  if (newCapacity >= kMaxSize) newCapacity = n;
  if (n == 0) {
    _Tidy(true);
    return;
  }
  // The new block is taken before anything changes, so a failure leaves the object intact.
  wchar_t* fresh =
      static_cast<wchar_t*>(GetOrThrow(static_cast<unsigned long>(newCapacity) * 2u + 2u));
  const unsigned keep = n < charCount ? n : charCount;
  if (charBuffer && keep) std::wmemcpy(fresh, charBuffer, keep);
  _Tidy(true);
  charBuffer = fresh;
  charCapacity = newCapacity;
  _NullTermString(keep);
}

JOVString& JOVString::_Splice(unsigned p, unsigned k, const wchar_t* s, unsigned count, wchar_t c) {
  const unsigned tail = charCount - p - k;
  const unsigned newLength = charCount - k + count;
  // The growth step's limit is checked before the source is set aside, so an oversized
  // request reports the length error rather than an allocation failure.
  if (newLength >= kMaxSize) throw std::length_error(kGrowMessage);
  // A source inside our own storage would move or vanish under us: set it aside first.
  ScopedBlock aside;
  if (s && count && charBuffer && s >= charBuffer && s <= charBuffer + charCapacity) {
    aside.Take(static_cast<unsigned long>(count) * 2u);
    std::wmemcpy(aside.as<wchar_t>(), s, count);
    s = aside.as<wchar_t>();
  }
  if (count < k) std::wmemmove(charBuffer + p + count, charBuffer + p + k, tail);
  if (!_Grow(newLength)) return *this;
  if (k < count) std::wmemmove(charBuffer + p + count, charBuffer + p + k, tail);
  if (count) {
    if (s)
      std::wmemcpy(charBuffer + p, s, count);
    else
      std::wmemset(charBuffer + p, c, count);
  }
  _NullTermString(newLength);
  return *this;
}

JOVString::JOVString() { _Tidy(false); }

JOVString::JOVString(const JOVString& str, unsigned pos, unsigned n) {
  _Tidy(false);
  assign(str, pos, n);
}

JOVString::JOVString(const wchar_t* s, unsigned n) {
  _Tidy(false);
  assign(s, n);
}

JOVString::JOVString(const char* s, unsigned n) {
  _Tidy(false);
  assign(s, n);
}

JOVString::JOVString(const wchar_t* s) {
  _Tidy(false);
  assign(s);
}

JOVString::JOVString(const char* s) {
  _Tidy(false);
  assign(s);
}

JOVString::JOVString(unsigned n, wchar_t c) {
  _Tidy(false);
  assign(n, c);
}

JOVString::JOVString(const wchar_t* first, const wchar_t* last) {
  _Tidy(false);
  assign(first, last);
}

JOVString::~JOVString() { _Tidy(true); }

unsigned JOVString::size() const { return charCount; }
unsigned JOVString::length() const { return size(); }
bool JOVString::empty() const { return charCount == 0; }
unsigned JOVString::capacity() const { return charCapacity; }
unsigned JOVString::max_size() const { return kMaxSize; }

const wchar_t& JOVString::at(unsigned pos) const {
  if (pos > charCount) throw std::out_of_range(kAtMessage);
  return charBuffer ? charBuffer[pos] : *_Nullstr();
}

wchar_t& JOVString::at(unsigned pos) {
  return const_cast<wchar_t&>(static_cast<const JOVString&>(*this).at(pos));
}

const wchar_t& JOVString::operator[](unsigned pos) const {
  return pos < charCount ? charBuffer[pos] : *_Nullstr();
}

wchar_t& JOVString::operator[](unsigned pos) {
  return const_cast<wchar_t&>(static_cast<const JOVString&>(*this)[pos]);
}

const wchar_t* JOVString::begin() const { return charBuffer; }
wchar_t* JOVString::begin() { return charBuffer; }
const wchar_t* JOVString::end() const { return _Psum(charBuffer, charCount); }
wchar_t* JOVString::end() { return _Psum(charBuffer, charCount); }

const wchar_t* JOVString::data() const { return charBuffer ? charBuffer : _Nullstr(); }
const wchar_t* JOVString::c_str() const { return data(); }
const wchar_t* JOVString::UnicodeString() { return data(); }

void JOVString::SetSize(unsigned n) { charCount = n; }

void JOVString::reserve(unsigned n) {
  if (n > charCapacity) _Grow(n);
}

void JOVString::swap(JOVString& other) {
  if (&other == this) return;
  std::swap(charBuffer, other.charBuffer);
  std::swap(charCount, other.charCount);
  std::swap(charCapacity, other.charCapacity);
  std::swap(ansiBuffer, other.ansiBuffer);
}
