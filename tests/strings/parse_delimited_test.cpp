// parse_delimited_test.cpp - taking fields off delimited, quotable lists.
#include <gtest/gtest.h>

#include "string_test_util.h"

using strtest::Text;

namespace {

// Takes one field; returns {field, rest of the source}.
std::pair<std::wstring, std::wstring> Take(const wchar_t* list, const wchar_t* delimiters,
                                           int whole = 0, int trim = 0) {
  JOVString source(list), field(L"stale");
  JOV_ParseDelimitedString(source, delimiters, field, whole, trim);
  return {Text(field), Text(source)};
}

using Result = std::pair<std::wstring, std::wstring>;

}  // namespace

TEST(ParseDelimited, DefaultCommaTakesFieldsUntilEmpty) {
  JOVString source(L"a,b,c"), field;
  const wchar_t* expected[] = {L"a", L"b", L"c"};
  const wchar_t* rest[] = {L"b,c", L"c", L""};
  for (int i = 0; i < 3; ++i) {
    JOV_ParseDelimitedString(source, nullptr, field, 0, 0);
    EXPECT_EQ(Text(field), expected[i]);
    EXPECT_EQ(Text(source), rest[i]);
  }
  EXPECT_EQ(source.capacity(), 0u);
  EXPECT_EQ(Take(L"", nullptr), Result(L"", L""));
  EXPECT_EQ(Take(L"abc", L"", 0), Result(L"abc", L""));  // empty set: nothing ends the field
}

TEST(ParseDelimited, QuotesProtectDelimitersAndWholeQuotedFieldsAreUnwrapped) {
  EXPECT_EQ(Take(L"\"x,y\",z", nullptr), Result(L"x,y", L"z"));
  EXPECT_EQ(Take(L"\"say \"\"hi\"\"\",next", nullptr), Result(L"say \"hi\"", L"next"));
  EXPECT_EQ(Take(L"ab\"c,d\"e,f", nullptr), Result(L"ab\"c,d\"e", L"f"));
  EXPECT_EQ(Take(L"\"\",x", nullptr), Result(L"", L"x"));
  EXPECT_EQ(Take(L"\"", nullptr), Result(L"\"", L""));  // one quote alone is kept
}

TEST(ParseDelimited, BlankDelimiterWithTrimmingSplitsCommandLines) {
  EXPECT_EQ(Take(L"  prog.exe   -x  ", L" ", 0, 1), Result(L"prog.exe", L"  -x"));
  EXPECT_EQ(Take(L"  \"C:\\My Files\\p.exe\"  -x", L" ", 0, 1),
            Result(L"C:\\My Files\\p.exe", L" -x"));
  EXPECT_EQ(Take(L"a;b c", L"; "), Result(L"a", L"b c"));  // any one character of the set
}

TEST(ParseDelimited, WholeDelimiterMatchesTheDelimiterText) {
  EXPECT_EQ(Take(L"a:b::c", L"::", 1), Result(L"a:b", L"c"));
  EXPECT_EQ(Take(L"a:b::c", L"::", 0), Result(L"a", L"b::c"));
  EXPECT_EQ(Take(L"ab:", L"::", 1), Result(L"ab:", L""));  // too short to hold the delimiter
  EXPECT_EQ(Take(L"a\"::\"::b", L"::", 1), Result(L"a\"::\"", L"b"));
  EXPECT_EQ(Take(L"ab", L"", 1), Result(L"ab", L""));  // an empty whole delimiter never matches
}

TEST(ParseDelimited, BufferFormCopiesBothResultsBack) {
  wchar_t source[32] = L"one, two";
  wchar_t field[32] = L"garbage";
  JOV_ParseDelimitedString(source, L",", field, 0, 1);
  EXPECT_STREQ(field, L"one");
  EXPECT_STREQ(source, L" two");
  JOV_ParseDelimitedString(source, L",", field, 0, 1);
  EXPECT_STREQ(field, L"two");
  EXPECT_STREQ(source, L"");
}
