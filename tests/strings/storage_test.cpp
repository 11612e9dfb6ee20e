// storage_test.cpp - JOVString's storage rules: no storage when empty, capacity in steps of
// 16, storage given back at length 0, element access, the fixed error texts, swap.
#include <gtest/gtest.h>

#include "string_test_util.h"

using strtest::MessageOf;
using strtest::Text;

TEST(StringStorage, DefaultStringHoldsNoStorageButReadsAsZero) {
  JOVString s;
  EXPECT_EQ(s.size(), 0u);
  EXPECT_EQ(s.capacity(), 0u);
  EXPECT_EQ(s.begin(), nullptr);
  EXPECT_EQ(s.end(), nullptr);
  ASSERT_NE(s.c_str(), nullptr);
  EXPECT_EQ(*s.c_str(), 0);
  EXPECT_EQ(&s.at(0), s.c_str());  // the shared zero character
  EXPECT_EQ(s.max_size(), 0x7FFFFFFDu);
  EXPECT_EQ(JOVString::npos, 0xFFFFFFFFu);
}

TEST(StringStorage, CapacityGrowsToNextMultipleOfSixteen) {
  for (unsigned n : {1u, 7u, 16u}) EXPECT_EQ(JOVString(n, L'x').capacity(), 16u) << n;
  EXPECT_EQ(JOVString(17u, L'x').capacity(), 32u);
  EXPECT_EQ(JOVString(100u, L'x').capacity(), 112u);
  JOVString r;
  r.reserve(33);
  EXPECT_EQ(r.capacity(), 48u);
  r.reserve(5);  // never shrinks
  EXPECT_EQ(r.capacity(), 48u);
}

TEST(StringStorage, ReachingCapacityRenewsStorageAtSameCapacity) {
  JOVString s(15u, L'a');
  const wchar_t* before = s.begin();
  s += L'b';
  // The new block is taken before the old one goes back, so a renewal always moves.
  EXPECT_NE(s.begin(), before);
  EXPECT_EQ(s.capacity(), 16u);
  EXPECT_EQ(s.size(), 16u);
  EXPECT_EQ(Text(s), std::wstring(15, L'a') + L"b");
  s += L'c';
  EXPECT_EQ(s.capacity(), 32u);
  EXPECT_EQ(Text(s), std::wstring(15, L'a') + L"bc");
  before = s.begin();
  s.append(L"0123456789abcde", 14u);  // 31 characters: below the capacity, nothing moves
  EXPECT_EQ(s.begin(), before);
  s.replace(0u, 1u, L"xy", 2u);  // 32: reaches it and renews
  EXPECT_NE(s.begin(), before);
  EXPECT_EQ(s.capacity(), 32u);
}

TEST(StringStorage, ReachingLengthZeroGivesStorageBack) {
  auto expectReleased = [](JOVString& s, const char* how) {
    EXPECT_EQ(s.capacity(), 0u) << how;
    EXPECT_EQ(s.begin(), nullptr) << how;
    EXPECT_EQ(s.size(), 0u) << how;
  };
  JOVString a(L"hello");
  a = L"";
  expectReleased(a, "assign empty");
  JOVString b(L"hello");
  b.erase(0u, JOVString::npos);
  expectReleased(b, "erase all");
  JOVString c(L"hello");
  c.resize(0);
  expectReleased(c, "resize 0");
  JOVString d(L"hello");
  d.assign(L"x", 0u);
  expectReleased(d, "assign count 0");
  JOVString e(L"hello world");
  e.erase(2u, 3u);  // a shorter, non-empty string keeps its capacity
  EXPECT_EQ(e.capacity(), 16u);
  EXPECT_EQ(Text(e), L"he world");
}

TEST(StringAccess, AtThrowsOnlyPastTerminatorAndBracketNeverThrows) {
  JOVString s(L"abc");
  EXPECT_EQ(s.at(3), 0);
  EXPECT_EQ(s.at(1), L'b');
  EXPECT_EQ(MessageOf<std::out_of_range>([&] { s.at(4); }),
            "JOVString::at invalid position argument");
  EXPECT_EQ(s[8], 0);
  EXPECT_EQ(s[2], L'c');
  s.at(0) = L'X';
  s[1] = L'Y';
  EXPECT_EQ(Text(s), L"XYc");
}

TEST(StringErrors, LengthErrorsCarryFixedTextsAndLeaveObjectUnchanged) {
  JOVString s(L"x");
  const wchar_t* storage = s.begin();
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.assign(JOVString::npos, L'x'); }),
            "JOVString::assign invalid length parameter");
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.assign(0x7FFFFFFDu, L'x'); }),
            "JOVString::_Grow invalid length parameter");
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.append(L"x", 0xFFFFFFFFu); }),
            "JOVString::append invalid length parameter");
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.append_char(0xFFFFFFFFu, L'y'); }),
            "JOVString::append invalid length parameter");
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.insert(0u, 0xFFFFFFFFu, L'y'); }),
            "JOVString::insert invalid length parameter");
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.replace(0u, 0u, 0xFFFFFFFFu, L'y'); }),
            "JOVString::replace invalid length parameter");
  // Replacing the one character by 0xFFFFFFFF stays within 32 bits: the growth limit speaks.
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.replace(0u, 1u, 0xFFFFFFFFu, L'y'); }),
            "JOVString::_Grow invalid length parameter");
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.reserve(0x7FFFFFFDu); }),
            "JOVString::_Grow invalid length parameter");
  EXPECT_EQ(MessageOf<std::length_error>([&] { s.resize(0x80000000u, L'z'); }),
            "JOVString::_Grow invalid length parameter");
  EXPECT_EQ(Text(s), L"x");
  EXPECT_EQ(s.capacity(), 16u);
  EXPECT_EQ(s.begin(), storage);
}

TEST(StringStorage, SwapExchangesTextAndAnsiCopy) {
  JOVString a(L"first"), b(L"second string");
  const char* ansiA = a.ANSIString();
  const wchar_t* textB = b.begin();
  a.swap(b);
  EXPECT_EQ(Text(a), L"second string");
  EXPECT_EQ(Text(b), L"first");
  EXPECT_EQ(a.begin(), textB);
  EXPECT_STREQ(ansiA, "first");  // moved to b with its text, still alive
  b.swap(b);
  EXPECT_EQ(Text(b), L"first");
}

TEST(StringStorage, SetSizeOnlyMovesTheLength) {
  JOVString s;
  s.reserve(20);
  wchar_t* raw = s.begin();
  raw[0] = L'o';
  raw[1] = L'k';
  raw[2] = L'!';
  s.SetSize(2);
  EXPECT_EQ(s.size(), 2u);
  EXPECT_EQ(std::wstring(s.c_str(), 3), L"ok!");  // no terminator was written
  EXPECT_EQ(s.capacity(), 32u);
}
