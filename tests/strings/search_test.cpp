// search_test.cpp - JOVString's searches, exact comparison, pieces and copies out.
#include <gtest/gtest.h>

#include "string_test_util.h"

using strtest::Text;

namespace {
const unsigned npos = 0xFFFFFFFFu;
}

TEST(StringSearch, EmptyNeedlesAndBoundaries) {
  JOVString s(L"abc");
  EXPECT_EQ(s.find(L"", 3u, 0u), 3u);
  EXPECT_EQ(s.find(L"", 4u, 0u), npos);
  EXPECT_EQ(s.rfind(L"", npos, 0u), 3u);
  EXPECT_EQ(s.rfind(L"", 1u, 0u), 1u);
  EXPECT_EQ(s.find(L"c", 2u, 1u), 2u);
  EXPECT_EQ(s.find(L"c", 3u, 1u), npos);
  EXPECT_EQ(s.find(L"bcd", 0u, 3u), npos);  // needle longer than what is left
  EXPECT_EQ(s.rfind(L"a", npos, 1u), 0u);
  EXPECT_EQ(s.rfind(L"abcd", npos, 4u), npos);
  EXPECT_EQ(s.find_first_not_of(L"", 0u, 0u), npos);  // empty set: npos, unlike the standard
  EXPECT_EQ(s.find_last_not_of(L"", npos, 0u), npos);
  EXPECT_EQ(JOVString().find_last_of(L"a", npos, 1u), npos);
  EXPECT_EQ(JOVString().find(L"", 0u, 0u), 0u);
}

TEST(StringSearch, FamiliesFindFirstAndLastMatches) {
  JOVString s(L"abcabcab");
  EXPECT_EQ(s.find(L"cab"), 2u);
  EXPECT_EQ(s.find(L"cab", 3u), 5u);
  EXPECT_EQ(s.find(JOVString(L"bc"), 2u), 4u);
  EXPECT_EQ(s.find(L'b', 2u), 4u);
  EXPECT_EQ(s.rfind(L"ab"), 6u);
  EXPECT_EQ(s.rfind(L"ab", 5u), 3u);
  EXPECT_EQ(s.rfind(L'c'), 5u);
  EXPECT_EQ(s.rfind(L'c', 4u), 2u);
  EXPECT_EQ(s.find_first_of(L"xc"), 2u);
  EXPECT_EQ(s.find_last_of(JOVString(L"ax")), 6u);
  EXPECT_EQ(s.find_last_of(L'a', 5u), 3u);
  EXPECT_EQ(s.find_first_not_of(L"ab"), 2u);
  EXPECT_EQ(s.find_first_not_of(L'a', 0u), 1u);
  EXPECT_EQ(s.find_last_not_of(L"b"), 6u);
  EXPECT_EQ(s.find_last_not_of(JOVString(L"abc")), npos);
  JOVString zeros(L"a\0b\0c", 5u);  // works by length, zeros included
  EXPECT_EQ(zeros.find(L"b\0c", 0u, 3u), 2u);
  EXPECT_EQ(zeros.rfind(L'\0'), 3u);
}

TEST(StringCompare, ExactCodeValueOrder) {
  EXPECT_EQ(JOVString(L"abc").compare(L"abd"), -1);
  EXPECT_EQ(JOVString(L"ab").compare(L"abc"), -1);
  EXPECT_EQ(JOVString(L"abc").compare(L"ab"), 1);
  EXPECT_EQ(JOVString(L"a").compare(L"B"), 1);
  EXPECT_EQ(JOVString(L"abc").compare(JOVString(L"abc")), 0);
  EXPECT_EQ(JOVString(std::wstring(1, wchar_t(0xFFFF)).c_str()).compare(L"a"), 1);  // unsigned
  JOVString s(L"xabcx");
  EXPECT_EQ(s.compare(1u, 3u, L"abc"), 0);
  EXPECT_EQ(s.compare(1u, 3u, JOVString(L"zabcz"), 1u, 3u), 0);
  EXPECT_EQ(s.compare(1u, 99u, JOVString(L"abcx")), 0);
  EXPECT_EQ(s.compare(9u, 1u, L"", 0u), 0);  // a position beyond the end is an empty piece
  EXPECT_EQ(s.compare(0u, 1u, JOVString(L"x"), 5u, 1u), 1);
}

TEST(StringPieces, SubstrLeftRightAndCopiesOut) {
  JOVString s(L"abc");
  EXPECT_EQ(Text(s.Right(5)), L"");
  EXPECT_EQ(Text(s.Right(3)), L"abc");
  EXPECT_EQ(Text(s.Right(1)), L"c");
  EXPECT_EQ(Text(s.Left(5)), L"abc");
  EXPECT_EQ(Text(s.Left(2)), L"ab");
  EXPECT_EQ(Text(s.substr(4u, 1u)), L"");
  EXPECT_EQ(Text(s.substr(1u)), L"bc");
  EXPECT_EQ(Text(JOV_Left(s, 5)), L"abc");
  EXPECT_EQ(Text(JOV_Right(s, 5)), L"");
  EXPECT_EQ(Text(JOV_Right(s, 2)), L"bc");

  JOVString t(L"abcdef");
  wchar_t buf[10];
  std::fill(buf, buf + 10, L'#');
  EXPECT_EQ(t.CopyTString(buf, 4u, npos, 0u), 3u);
  EXPECT_EQ(std::wstring(buf, 5), std::wstring(L"abc\0#", 5));
  std::fill(buf, buf + 10, L'#');
  EXPECT_EQ(t.Copy_s(buf, 10u, 5u, 4u), 2u);
  EXPECT_EQ(std::wstring(buf, 3), L"ef#");
  EXPECT_EQ(t.Copy_s(buf, 10u, 5u, 7u), 0u);
  std::fill(buf, buf + 10, L'#');
  EXPECT_EQ(t.Copy_s(buf, 2u, 6u, 1u), 2u);  // cut to fit: nothing beyond 2 written
  EXPECT_EQ(std::wstring(buf, 3), L"bc#");
  EXPECT_EQ(t.CopyTString(buf, 1u, 6u, 0u), 0u);  // room for the terminator only
  EXPECT_EQ(buf[0], 0);
}
