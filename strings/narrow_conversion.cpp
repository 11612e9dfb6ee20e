// narrow_conversion.cpp - JOVString's meeting point with narrow (ANSI) text: the narrow
// forms of assign and append, and the owned narrow copy ANSIString. Both directions go
// through the C runtime's secure conversions under the process's current C locale.
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

// n counts converted characters taken from the front of the text. The whole text is
// converted first (into a temporary block), so an allocation failure leaves the object
// untouched; n is then cut to what the conversion produced, which makes a multibyte locale
// or unconvertible text (converted length 0) safe rather than a read of garbage.
JOVString& JOVString::_SpliceNarrow(unsigned p, unsigned k, const char* s, unsigned n) {
  if (n == 0) return _Splice(p, k, nullptr, 0, 0);
  if (charCount - k + n >= kMaxSize) throw std::length_error(kGrowMessage);
  const size_t bytes = std::strlen(s);
  ScopedBlock converted((bytes + 1) * sizeof(wchar_t));
  wchar_t* wide = converted.as<wchar_t>();
  wide[0] = 0;
  size_t produced = 0;  // characters written, terminator included
  unsigned available = 0;
  if (::mbstowcs_s(&produced, wide, bytes + 1, s, bytes + 1) == 0 && produced > 0)
    available = static_cast<unsigned>(produced - 1);
  const unsigned count = n < available ? n : available;
  return _Splice(p, k, wide, count, 0);
}

const char* JOVString::ANSIString() {
  // The new block is taken before the previous copy goes, so a failure keeps the old one.
  const unsigned long bytes = static_cast<unsigned long>(charCount) * 2u + 2u;
  char* copy = static_cast<char*>(GetOrThrow(bytes));
  copy[0] = 0;
  copy[bytes - 1] = 0;
  size_t produced = 0;
  // Count length + 1 bytes: a multibyte result longer than that is cut there.
  if (::wcstombs_s(&produced, copy, bytes, data(), static_cast<size_t>(charCount) + 1) != 0)
    copy[0] = 0;  // a character the locale cannot represent: the copy is empty
  char* previous = ansiBuffer;
  ansiBuffer = copy;
  if (previous) JOV_MemoryFree(previous);
  return ansiBuffer;
}
