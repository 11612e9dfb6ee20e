// string_functions_test.cpp - the free string functions: caseless matching and ordering,
// piece comparison, replacement, delimited lists, and the plain-array helpers.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstring>
#include <string>

namespace {

std::wstring Text(const JOVString& s) { return std::wstring(s.c_str(), s.length()); }

}  // namespace

TEST(StringFunctions, CaselessMatchingOrderingAndPieceComparison) {
  wchar_t a[] = L"hello world", b[] = L"world", c[] = L"WORLD";
  const long answers[][2] = {
      {JOV_MatchCaseless(L"abc", L"ABC"), 1}, {JOV_MatchCaseless(L"abc", L"abcd"), 0},
      {JOV_MatchCaseless(L"", nullptr), 1},   {JOV_MatchCaseless(nullptr, L"a"), 0},  // null: empty
      {JOV_MatchCaseless(L"\xE9", L"\xC9"), 0},  // single-byte folding of the C locale
      {JOV_MatchCaseless(JOVString(L"File.TXT"), L"file.txt"), 1},
      {JOV_MatchCaseless(JOVString(L"ab"), static_cast<const wchar_t*>(nullptr)), 0},
      {JOV_MatchCaseless(JOVString(L"a\0b", 3u), JOVString(L"A\0B", 3u)), 1},
      {JOV_CompareCaseless(JOVString(L"abc"), JOVString(L"ABD")), -1}, {JOV_CompareCaseless(JOVString(L"Abc"), JOVString(L"aBC")), 0},
      {JOV_CompareCaseless(JOVString(L"b"), JOVString(L"A")), 1},
      {JOV_CompareCaseless(JOVString(L"_"), JOVString(L"a")), 1},  // upper-cased first: '_' after 'A'
      {JOV_SubStrCompare(a, 6, 5, b, 0, 5), 0},     {JOV_SubStrCompare(a, -5, -1, b, 0, -1), 0},  // from the end, to the end
      {JOV_SubStrCompare(a, -50, 5, a, 0, 5), 0},   {JOV_SubStrCompare(a, 99, 3, nullptr, 0, 3), 0},  // clamped; both empty
      {JOV_SubStrCompare(a, 6, 4, b, 0, 5), -1},    {JOV_SubStrCompare(b, 0, 5, a, 6, 4), 1},  // a prefix sorts first
      {JOV_SubStrCompare(b, 0, -1, c, 0, -1), 1},   {JOV_SubStrCompare(b, 4, 9, a, -2, 2), -1},  // exact; "d" against "ld"
  };
  for (size_t i = 0; i < std::size(answers); ++i) EXPECT_EQ(answers[i][0], answers[i][1]) << "answer " << i;
}

TEST(StringFunctions, ReplaceStringLeftToRightWithoutOverlap) {
  const struct {
    std::wstring text;
    const wchar_t *find, *replace;
    unsigned long max, result, count;
    std::wstring expected;
  } rows[] = {
      {L"aaa", L"aa", L"b", 0, 0, 1, L"ba"},          {L"a.b.c", L".", nullptr, 0, 0, 2, L"abc"},
      {L"a.b.c", L".", L"", 1, 0, 1, L"ab.c"},        {L"x\r\ny\r\n", L"\r\n", L" | ", 0, 0, 2, L"x | y | "},
      {{L"ab\0ab", 5}, L"b", L"B", 0, 0, 1, {L"aB\0ab", 5}},  // nothing is found behind a zero
      {L"abc", L"", L"x", 0, 87, 0, L"abc"},
  };
  for (const auto& row : rows) {
    JOVString text(row.text.c_str(), static_cast<unsigned>(row.text.size()));
    unsigned long count = 99;
    EXPECT_EQ(JOV_ReplaceString(text, row.find, row.replace, &count, 0, row.max), row.result);
    EXPECT_EQ(Text(text) + L" " + std::to_wstring(count), row.expected + L" " + std::to_wstring(row.count));
  }
  wchar_t buffer[16] = L"x-y";  // the buffer form reports the size it needs and writes nothing
  unsigned long size = 5, count = 0;
  EXPECT_EQ(JOV_ReplaceString(buffer, &size, L"-", L"--+", &count, 0, 0), 8u);
  EXPECT_EQ(size, 6u);
  EXPECT_EQ(JOV_ReplaceString(buffer, &size, L"-", L"--+", &count, 0, 0) + JOV_ReplaceString(buffer, &size, nullptr, L"q", &count, 0, 0), 87u);
  EXPECT_STREQ(buffer, L"x--+y");
}

TEST(StringFunctions, ParseDelimitedTakesTheFirstField) {
  const struct {
    const wchar_t *list, *delimiters;
    int whole, trim;
    const wchar_t *field, *rest;
  } rows[] = {
      {L"a,b,c", nullptr, 0, 0, L"a", L"b,c"},  {L"", nullptr, 0, 0, L"", L""},
      {L"abc", L"", 0, 0, L"abc", L""},         {L"a;b c", L"; ", 0, 0, L"a", L"b c"},
      {L"\"x,y\",z", nullptr, 0, 0, L"x,y", L"z"}, {L"\"say \"\"hi\"\"\",next", nullptr, 0, 0, L"say \"hi\"", L"next"},
      {L"ab\"c,d\"e,f", nullptr, 0, 0, L"ab\"c,d\"e", L"f"}, {L"\"", nullptr, 0, 0, L"\"", L""},
      {L"  \"C:\\My Files\\p.exe\"  -x ", L" ", 0, 1, L"C:\\My Files\\p.exe", L" -x"},
      {L"a:b::c", L"::", 1, 0, L"a:b", L"c"},   {L"a:b::c", L"::", 0, 0, L"a", L"b::c"},
      {L"ab::", L"::", 1, 0, L"ab", L""},       {L"ab:", L"::", 1, 0, L"ab:", L""},
      {L"a\"::\"::b", L"::", 1, 0, L"a\"::\"", L"b"}, {L"ab", L"", 1, 0, L"ab", L""},
  };
  for (const auto& row : rows) {
    JOVString source(row.list), field(L"stale");
    JOV_ParseDelimitedString(source, row.delimiters, field, row.whole, row.trim);
    EXPECT_EQ(Text(field) + L"|" + Text(source), std::wstring(row.field) + L"|" + row.rest) << Text(JOVString(row.list)).size();
  }
  wchar_t source[32] = L"one, two", field[32] = L"garbage";
  JOV_ParseDelimitedString(source, L",", field, 0, 1);
  EXPECT_EQ(std::wstring(field) + L"|" + source, L"one| two");
}

TEST(StringFunctions, PlainArraysTrimCopyAndResize) {
  for (const auto& [text, trimmed] : {std::pair{L"  a b  ", L"a b"}, {L"   ", L""}, {L"", L""}, {L"  x", L"x"}, {L"x  ", L"x"}}) {
    wchar_t buffer[16];
    JOV_Trim(std::wcscpy(buffer, text));
    EXPECT_STREQ(buffer, trimmed) << "\"" << Text(JOVString(text)).size() << "\"";
  }
  wchar_t text[] = L"__abcdef", dest[8] = L"XXXXXXX";
  JOV_OverlappedStringCopy(text, text + 2, 3);
  JOV_OverlappedStringCopy(dest, L"ab", 5);  // past the source's zero, that zero is rewritten
  EXPECT_EQ(std::wstring(text, 8) + std::wstring(dest, 7), std::wstring(L"abcbcdefab\0XXXX", 15));
  wchar_t* string = nullptr;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  ASSERT_EQ(JOV_ResizeString(&string, 10) + JOV_ResizeBuffer(&buffer, &size, 4), 0u);
  std::wcscpy(string, L"abcdefghij");
  std::memcpy(buffer, "wxyz", 4);
  ASSERT_EQ(JOV_ResizeString(&string, 3) + JOV_ResizeString(&string, 20) + JOV_ResizeBuffer(&buffer, &size, 2) +
                JOV_ResizeBuffer(&buffer, &size, 8), 0u);
  EXPECT_STREQ(string, L"abc");
  EXPECT_EQ(size, 8u);
  EXPECT_EQ(std::memcmp(buffer, "wx", 2), 0);
  JOV_MemoryFreePtr(&string);
  JOV_MemoryFree(buffer);
}
