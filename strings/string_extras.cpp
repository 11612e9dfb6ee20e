// string_extras.cpp - JOVString's in-place tidying: blank trimming, single-byte case
// folding, and forcing a prefix or a suffix.
#include <cctype>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

namespace jov::strings {

// The C runtime's single-byte functions are defined for 0..255 only; other code values
// have no single-byte case and are kept.
wchar_t FoldUpper(wchar_t c) { return c < 256 ? static_cast<wchar_t>(std::toupper(c)) : c; }

wchar_t FoldLower(wchar_t c) { return c < 256 ? static_cast<wchar_t>(std::tolower(c)) : c; }

}  // namespace jov::strings

void JOVString::LTrim() {
  // All blanks: find_first_not_of answers npos and the whole text goes.
  erase(0u, find_first_not_of(&kBlank, 0u, 1u));
}

void JOVString::RTrim() {
  const unsigned last = find_last_not_of(&kBlank, npos, 1u);
  if (last == npos)
    erase(0u, npos);
  else
    erase(last + 1, npos);
}

void JOVString::Trim() {
  RTrim();
  LTrim();
}

void JOVString::LCase() {
  if (!charBuffer) return;
  for (unsigned i = 0; i < charCount; ++i) charBuffer[i] = FoldLower(charBuffer[i]);
}

void JOVString::UCase() {
  if (!charBuffer) return;
  for (unsigned i = 0; i < charCount; ++i) charBuffer[i] = FoldUpper(charBuffer[i]);
}

void JOVString::ForcePrefix(const JOVString& prefix) {
  if (charCount >= prefix.charCount &&
      compare(0u, prefix.charCount, prefix.c_str(), prefix.charCount) == 0)
    return;
  insert(0u, prefix, 0u, npos);
}

void JOVString::ForceSuffix(wchar_t c) {
  if (charCount == 0 || charBuffer[charCount - 1] != c) append_char(1u, c);
}
