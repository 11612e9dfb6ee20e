// caseless.cpp - comparisons outside the exact order of JOVString::compare: caseless
// matching, caseless ordering through the global locale's collation, and the comparison
// of two pieces of plain arrays.
#include <locale>

#include "JOVStrings.h"
#include "strings/string_internal.h"

using namespace jov::strings;

namespace {

// The one body of the three JOV_MatchCaseless forms.
int MatchFolded(const wchar_t* a, unsigned lengthA, const wchar_t* b, unsigned lengthB) {
  if (lengthA != lengthB) return 0;
  for (unsigned i = 0; i < lengthA; ++i)
    if (FoldUpper(a[i]) != FoldUpper(b[i])) return 0;
  return 1;
}

struct Piece {
  const wchar_t* text;
  unsigned long count;
};

// The piece that an offset (negative: from the end) and a length (negative: to the end)
// select in a zero-terminated array.
Piece SelectPiece(const wchar_t* s, long offset, long length) {
  const long total = static_cast<long>(ArrayLength(s));
  if (total == 0) return {L"", 0};
  long start;
  if (offset < 0)
    start = offset <= -total ? 0 : total + offset;
  else
    start = offset > total ? total : offset;
  const long rest = total - start;
  const long count = (length < 0 || length > rest) ? rest : length;
  return {s + start, static_cast<unsigned long>(count)};
}

}  // namespace

int JOV_MatchCaseless(const JOVString& a, const JOVString& b) {
  return MatchFolded(a.c_str(), a.length(), b.c_str(), b.length());
}

int JOV_MatchCaseless(const JOVString& a, const wchar_t* b) {
  return MatchFolded(a.c_str(), a.length(), b ? b : L"", ArrayLength(b));
}

int JOV_MatchCaseless(const wchar_t* a, const wchar_t* b) {
  return MatchFolded(a ? a : L"", ArrayLength(a), b ? b : L"", ArrayLength(b));
}

long JOV_CompareCaseless(const JOVString& a, const JOVString& b) {
  JOVString upperA(a, 0u, JOVString::npos);
  JOVString upperB(b, 0u, JOVString::npos);
  upperA.UCase();
  upperB.UCase();
  // The global locale at the time of the call: classic unless the process installed another.
  const std::collate<wchar_t>& collate = std::use_facet<std::collate<wchar_t>>(std::locale());
  const wchar_t* textA = upperA.c_str();
  const wchar_t* textB = upperB.c_str();
  const int order = collate.compare(textA, textA + upperA.length(), textB, textB + upperB.length());
  return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

long JOV_SubStrCompare(wchar_t* s1, long offset1, long length1, wchar_t* s2, long offset2,
                       long length2) {
  const Piece a = SelectPiece(s1, offset1, length1);
  const Piece b = SelectPiece(s2, offset2, length2);
  const unsigned long common = a.count < b.count ? a.count : b.count;
  for (unsigned long i = 0; i < common; ++i)
    if (a.text[i] != b.text[i]) return a.text[i] < b.text[i] ? -1 : 1;
  if (a.count < b.count) return -1;
  return a.count > b.count ? 1 : 0;
}
