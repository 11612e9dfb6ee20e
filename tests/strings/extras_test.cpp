// extras_test.cpp - JOVString's in-place tidying: blank trims, single-byte case folding,
// forced prefixes and suffixes.
#include <gtest/gtest.h>

#include "string_test_util.h"

using strtest::Text;

TEST(StringTrim, OnlyU0020IsABlank) {
  JOVString s(L"  a b  ");
  s.Trim();
  EXPECT_EQ(Text(s), L"a b");
  JOVString tabs(L"\ta b\t");
  tabs.Trim();
  EXPECT_EQ(Text(tabs), L"\ta b\t");
  JOVString blanks(L"   ");
  blanks.Trim();
  EXPECT_EQ(blanks.size(), 0u);
  EXPECT_EQ(blanks.capacity(), 0u);
  JOVString l(L"  x  "), r(L"  x  ");
  l.LTrim();
  r.RTrim();
  EXPECT_EQ(Text(l), L"x  ");
  EXPECT_EQ(Text(r), L"  x");
  JOVString none;
  none.Trim();
  EXPECT_EQ(none.capacity(), 0u);
}

TEST(StringCase, CLocaleFoldsOnlyAsciiLetters) {
  JOVString s(L"stra\x00DF" L"e \x4E2D z");
  s.UCase();
  EXPECT_EQ(Text(s), L"STRA\x00DF" L"E \x4E2D Z");
  JOVString t(L"\x00C4" L"BC");
  t.LCase();
  EXPECT_EQ(Text(t), L"\x00C4" L"bc");
  JOVString empty;
  empty.UCase();
  EXPECT_EQ(empty.capacity(), 0u);
}

TEST(StringForce, PrefixAndSuffixAddedOnlyWhenMissing) {
  JOVString e;
  e.ForceSuffix(L'\\');
  EXPECT_EQ(Text(e), L"\\");
  JOVString root(L"C:\\"), drive(L"C:");
  root.ForceSuffix(L'\\');
  drive.ForceSuffix(L'\\');
  EXPECT_EQ(Text(root), L"C:\\");
  EXPECT_EQ(Text(drive), L"C:\\");
  JOVString server(L"server"), unc(L"\\\\server"), shortOne(L"\\");
  server.ForcePrefix(JOVString(L"\\\\"));
  unc.ForcePrefix(JOVString(L"\\\\"));
  shortOne.ForcePrefix(JOVString(L"\\\\"));
  EXPECT_EQ(Text(server), L"\\\\server");
  EXPECT_EQ(Text(unc), L"\\\\server");
  EXPECT_EQ(Text(shortOne), L"\\\\\\");  // shorter than the prefix: prefix inserted
  server.ForcePrefix(JOVString());
  EXPECT_EQ(Text(server), L"\\\\server");
}
