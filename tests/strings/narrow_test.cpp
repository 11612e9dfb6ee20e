// narrow_test.cpp - conversions between JOVString and narrow text under the C locale, and
// the lifetime of the ANSI copy.
#include <gtest/gtest.h>

#include "string_test_util.h"

using strtest::Text;

TEST(NarrowConversion, CLocaleMapsBytesToSameCodeValues) {
  EXPECT_EQ(Text(JOVString("\xE9")), std::wstring(1, wchar_t(0xE9)));
  EXPECT_EQ(Text(JOVString("abc")), L"abc");
  EXPECT_EQ(Text(JOVString("abcdef", 3u)), L"abc");  // n counts from the front
  JOVString s(L"x");
  s.append("yz");
  s += "\xFF!";
  EXPECT_EQ(Text(s), std::wstring(L"xyz") + wchar_t(0xFF) + L"!");
  s = "reset";
  EXPECT_EQ(Text(s), L"reset");
  s.assign("", 0u);
  EXPECT_EQ(s.capacity(), 0u);
}

TEST(NarrowConversion, AnsiCopyOfRepresentableAndUnrepresentableText) {
  JOVString empty;
  ASSERT_NE(empty.ANSIString(), nullptr);
  EXPECT_STREQ(empty.ANSIString(), "");
  JOVString abc(L"abc");
  EXPECT_STREQ(abc.ANSIString(), "abc");
  JOVString latin(std::wstring(1, wchar_t(0xE9)).c_str());
  EXPECT_STREQ(latin.ANSIString(), "\xE9");
  JOVString han(L"a\x4E2D" L"b");  // not representable in the C locale
  EXPECT_STREQ(han.ANSIString(), "");
}

TEST(NarrowConversion, AnsiCopyStaysValidUntilStorageIsRenewed) {
  JOVString s(L"abc");
  const char* copy = s.ANSIString();
  s += L'd';  // within the capacity: the copy stays, with the old text
  EXPECT_STREQ(copy, "abc");
  EXPECT_EQ(s.ANSIString() != nullptr, true);
  EXPECT_STREQ(s.ANSIString(), "abcd");
  // Growth renews the storage and gives the copy back: a fresh call reflects the new text.
  s.append(L"0123456789ABCDEF");
  EXPECT_STREQ(s.ANSIString(), "abcd0123456789ABCDEF");
}
