// edit_test.cpp - JOVString's editing members: clamping of positions and counts, the
// pointer forms, and sources inside the object itself.
#include <gtest/gtest.h>

#include "string_test_util.h"

using strtest::Text;

TEST(StringEditClamping, PositionsBeyondEndAreClampedOrIgnored) {
  JOVString a(L"ab");
  a.insert(100u, L"x");
  EXPECT_EQ(Text(a), L"abx");
  JOVString b(L"ab");
  b.erase(5u, 1u);
  EXPECT_EQ(Text(b), L"ab");
  JOVString c(L"abc");
  c.replace(1u, 100u, L"Z");
  EXPECT_EQ(Text(c), L"aZ");
  JOVString d(L"keep");
  d.assign(JOVString(L"abc"), 10u, 2u);
  EXPECT_EQ(Text(d), L"");
  JOVString e(L"ab");
  e.append(JOVString(L"xyz"), 5u, 1u).insert(1u, JOVString(L"xyz"), 9u, 1u);
  EXPECT_EQ(Text(e), L"ab");
  e.replace(9u, 9u, JOVString(L"xyz"), 1u, 9u);  // clamped to the end
  EXPECT_EQ(Text(e), L"abyz");
  EXPECT_EQ(Text(JOVString(JOVString(L"hello"), 1u, 3u)), L"ell");
}

TEST(StringEditPointers, PointerFormsCopyExactlyTheRange) {
  const wchar_t src[] = L"0123456789";
  JOVString s(src + 2, src + 5);
  EXPECT_EQ(Text(s), L"234");
  s.append(src + 7, src + 9);
  EXPECT_EQ(Text(s), L"23478");
  s.insert(s.begin() + 1, src, src + 2);
  EXPECT_EQ(Text(s), L"2013478");
  s.replace(s.begin(), s.begin() + 3, src + 9, src + 10);
  EXPECT_EQ(Text(s), L"93478");
  s.assign(src + 4, src + 6);
  EXPECT_EQ(Text(s), L"45");
  wchar_t* at = s.insert(s.begin() + 1, L'-');
  EXPECT_EQ(*at, L'-');
  EXPECT_EQ(Text(s), L"4-5");
  s.insert(static_cast<const wchar_t*>(s.end()), 2u, L'!');
  EXPECT_EQ(Text(s), L"4-5!!");
  wchar_t* next = s.erase(s.begin() + 1);
  EXPECT_EQ(*next, L'5');
  next = s.erase(s.begin() + 1, s.end());
  EXPECT_EQ(Text(s), L"4");
  EXPECT_EQ(next, s.begin() + 1);
  EXPECT_EQ(s.erase(s.begin()), nullptr);  // no storage left
  s.assign(L"abcd");
  s.replace(s.begin() + 1, s.begin() + 3, 3u, L'z');
  EXPECT_EQ(Text(s), L"azzzd");
}

TEST(StringEditSelf, ObjectAsItsOwnSourceUsesTheTextBeforeTheCall) {
  JOVString s(L"abc");
  s.append(s, 0u, JOVString::npos);
  EXPECT_EQ(Text(s), L"abcabc");
  JOVString full(15u, L'q');  // doubling past the capacity renews the storage mid-call
  full += full;
  EXPECT_EQ(Text(full), std::wstring(30, L'q'));
  JOVString t(L"hello");
  t.assign(t, 1u, 3u);
  EXPECT_EQ(Text(t), L"ell");
  JOVString u(L"abc");
  u.insert(1u, u, 0u, JOVString::npos);
  EXPECT_EQ(Text(u), L"aabcbc");
  JOVString v(L"abcdef");
  v.replace(0u, 2u, v, 3u, 3u);
  EXPECT_EQ(Text(v), L"defcdef");
  JOVString w(L"abcdef");
  w.replace(1u, 1u, w.c_str() + 3, 2u);  // a raw pointer into the object
  EXPECT_EQ(Text(w), L"adecdef");
}

TEST(StringEditResize, ResizePadsOrCuts) {
  JOVString s(L"ab");
  s.resize(5, L'.');
  EXPECT_EQ(Text(s), L"ab...");
  s.resize(7);
  EXPECT_EQ(s.size(), 7u);
  EXPECT_EQ(s[6], 0);
  s.resize(1);
  EXPECT_EQ(Text(s), L"a");
}
