// string_functions_test.cpp - the free string functions: caseless matching and ordering,
// piece comparison, replacement, trimming and copying of plain arrays, reallocation.
#include <gtest/gtest.h>

#include <cstring>
#include <locale>

#include "string_test_util.h"

using strtest::Text;

TEST(CaselessMatch, EqualLengthAndFoldedCharacters) {
  EXPECT_EQ(JOV_MatchCaseless(L"abc", L"ABC"), 1);
  EXPECT_EQ(JOV_MatchCaseless(L"abc", L"abcd"), 0);
  EXPECT_EQ(JOV_MatchCaseless(L"", L""), 1);
  EXPECT_EQ(JOV_MatchCaseless(L"", nullptr), 1);
  EXPECT_EQ(JOV_MatchCaseless(nullptr, L"a"), 0);
  EXPECT_EQ(JOV_MatchCaseless(L"\x00E9", L"\x00C9"), 0);
  EXPECT_EQ(JOV_MatchCaseless(JOVString(L"File.TXT"), L"file.txt"), 1);
  EXPECT_EQ(JOV_MatchCaseless(JOVString(L"ab"), JOVString(L"aC")), 0);
  EXPECT_EQ(JOV_MatchCaseless(JOVString(L"a\0b", 3u), JOVString(L"A\0B", 3u)), 1);
}

TEST(CaselessCompare, OrdersUpperCasedCopies) {
  EXPECT_EQ(JOV_CompareCaseless(JOVString(L"abc"), JOVString(L"ABD")), -1);
  EXPECT_EQ(JOV_CompareCaseless(JOVString(L"Abc"), JOVString(L"aBC")), 0);
  EXPECT_EQ(JOV_CompareCaseless(JOVString(L"ab"), JOVString(L"abc")), -1);
  EXPECT_EQ(JOV_CompareCaseless(JOVString(L"b"), JOVString(L"A")), 1);
  // Upper-casing happens first: '_' (0x5F) sorts after 'A'..'Z' but before 'a'..'z'.
  EXPECT_EQ(JOV_CompareCaseless(JOVString(L"_"), JOVString(L"a")), 1);
}

TEST(SubStrCompare, ComparesSelectedPiecesWithOffsetsFromEitherEnd) {
  wchar_t a[] = L"hello world", b[] = L"world", c[] = L"WORLD";
  EXPECT_EQ(JOV_SubStrCompare(a, 6, 5, b, 0, 5), 0);
  EXPECT_EQ(JOV_SubStrCompare(a, -5, -1, b, 0, -1), 0);  // the last five, to the end
  EXPECT_EQ(JOV_SubStrCompare(a, -50, 5, a, 0, 5), 0);   // clamped to the start
  EXPECT_EQ(JOV_SubStrCompare(a, 6, 4, b, 0, 5), -1);    // a prefix sorts first
  EXPECT_EQ(JOV_SubStrCompare(b, 0, -1, c, 0, -1), 1);   // exact, not caseless
  EXPECT_EQ(JOV_SubStrCompare(a, 0, 1, b, 0, 1), -1);    // 'h' < 'w'
  EXPECT_EQ(JOV_SubStrCompare(a, 99, 3, nullptr, 0, 3), 0);  // both empty
  EXPECT_EQ(JOV_SubStrCompare(b, 4, 9, a, -1, 1), 0);    // a length is cut at the end
  EXPECT_EQ(JOV_SubStrCompare(b, 4, 9, a, -2, 2), -1);   // "d" against "ld"
}

TEST(ReplaceString, OccurrencesLeftToRightWithoutOverlap) {
  unsigned long count = 99;
  JOVString t(L"aaa");
  EXPECT_EQ(JOV_ReplaceString(t, L"aa", L"b", &count, 0, 0), 0u);
  EXPECT_EQ(Text(t), L"ba");
  EXPECT_EQ(count, 1u);
  JOVString dots(L"a.b.c");
  EXPECT_EQ(JOV_ReplaceString(dots, L".", L"", &count, 0, 0), 0u);
  EXPECT_EQ(Text(dots), L"abc");
  EXPECT_EQ(count, 2u);
  JOVString once(L"a.b.c");
  JOV_ReplaceString(once, L".", nullptr, &count, 0, 1);
  EXPECT_EQ(Text(once), L"ab.c");
  EXPECT_EQ(count, 1u);
  JOVString grow(L"x\r\ny\r\n");
  JOV_ReplaceString(grow, L"\r\n", L" | ", &count, 0, 0);
  EXPECT_EQ(Text(grow), L"x | y | ");
  JOVString zero(L"ab\0ab", 5u);  // nothing is found behind a zero, but it is kept
  JOV_ReplaceString(zero, L"b", L"B", &count, 0, 0);
  EXPECT_EQ(Text(zero), std::wstring(L"aB\0ab", 5));
  EXPECT_EQ(count, 1u);
  JOVString keep(L"abc");
  EXPECT_EQ(JOV_ReplaceString(keep, L"", L"x", &count, 0, 0), 87u);
  EXPECT_EQ(JOV_ReplaceString(keep, nullptr, L"x", &count, 0, 0), 87u);
  EXPECT_EQ(Text(keep), L"abc");
  EXPECT_EQ(count, 0u);
}

TEST(ReplaceString, BufferFormReportsNeededSize) {
  wchar_t buf[16] = L"a.b.c";
  unsigned long size = 3, count = 0;
  EXPECT_EQ(JOV_ReplaceString(buf, &size, L".", L"", &count, 0, 0), 8u);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(count, 2u);
  EXPECT_STREQ(buf, L"a.b.c");
  wchar_t big[16] = L"x-y";
  size = 3;
  EXPECT_EQ(JOV_ReplaceString(big, &size, L"-", L"--+", &count, 0, 0), 8u);
  EXPECT_EQ(size, 6u);  // five characters and the terminator
  EXPECT_STREQ(big, L"x-y");
  size = 6;
  EXPECT_EQ(JOV_ReplaceString(big, &size, L"-", L"--+", &count, 0, 0), 0u);
  EXPECT_STREQ(big, L"x--+y");
  EXPECT_EQ(JOV_ReplaceString(big, &size, L"", L"q", &count, 0, 0), 87u);
}

TEST(PlainArrays, TrimInPlace) {
  wchar_t a[] = L"  a b  ", b[] = L"   ", c[] = L"", d[] = L"ab", e[] = L"  x";
  JOV_Trim(a);
  JOV_Trim(b);
  JOV_Trim(c);
  JOV_Trim(d);
  JOV_Trim(e);
  EXPECT_STREQ(a, L"a b");
  EXPECT_STREQ(b, L"");
  EXPECT_STREQ(c, L"");
  EXPECT_STREQ(d, L"ab");
  EXPECT_STREQ(e, L"x");
}

TEST(PlainArrays, OverlappedCopyMovesTextTowardsTheFront) {
  wchar_t text[] = L"__abcdef";
  JOV_OverlappedStringCopy(text, text + 2, 3);
  EXPECT_EQ(std::wstring(text, 8), L"abcbcdef");  // no terminator added
  wchar_t dest[8] = L"XXXXXXX";
  JOV_OverlappedStringCopy(dest, L"ab", 5);  // past the source's zero: that zero is rewritten
  EXPECT_EQ(std::wstring(dest, 7), std::wstring(L"ab\0XXXX", 7));
  JOV_OverlappedStringCopy(dest, L"zz", 0);
  EXPECT_EQ(dest[0], L'a');
}

TEST(PlainArrays, ResizeStringAndBufferKeepTheFront) {
  wchar_t* text = nullptr;
  ASSERT_EQ(JOV_ResizeString(&text, 10), 0u);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, L"");
  wcscpy(text, L"abcdef");  // room for 10 characters
  ASSERT_EQ(JOV_ResizeString(&text, 3), 0u);
  EXPECT_STREQ(text, L"abc");
  ASSERT_EQ(JOV_ResizeString(&text, 20), 0u);
  EXPECT_STREQ(text, L"abc");
  JOV_MemoryFreePtr(&text);
  EXPECT_EQ(text, nullptr);

  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  ASSERT_EQ(JOV_ResizeBuffer(&buffer, &size, 4), 0u);
  EXPECT_EQ(size, 4u);
  std::memcpy(buffer, "wxyz", 4);
  ASSERT_EQ(JOV_ResizeBuffer(&buffer, &size, 2), 0u);
  EXPECT_EQ(size, 2u);
  EXPECT_EQ(std::memcmp(buffer, "wx", 2), 0);
  ASSERT_EQ(JOV_ResizeBuffer(&buffer, &size, 8), 0u);
  EXPECT_EQ(std::memcmp(buffer, "wx", 2), 0);
  JOV_MemoryFree(buffer);
}
