// exports_test.cpp - every member of JOVString, its npos and every free string function
// is exported by JOVUtil32.dll, overload by overload.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include "support/export_table.h"

namespace {

// Whole demangled signatures, so each overload (and its constness) is checked on its own.
std::vector<std::string> Members(const std::string& name, const std::vector<std::string>& args,
                                 bool isConst = false) {
  std::vector<std::string> out;
  for (const auto& a : args)
    out.push_back("JOVString::" + name + "(" + a + ")" + (isConst ? " const" : ""));
  return out;
}

}  // namespace

TEST(StringExports, ClassMembersAndNposAreExported) {
  const std::string S = "JOVString const&", W = "wchar_t const*", U = "unsigned int",
                    C = "char const*";
  std::vector<std::vector<std::string>> groups = {
      {"JOVString::npos"},
      Members("JOVString", {"", S + ", " + U + ", " + U, W + ", " + U, C + ", " + U, W, C,
                            U + ", wchar_t", W + ", " + W}),
      {"JOVString::~JOVString(", "JOVString::size() const", "JOVString::length() const",
       "JOVString::empty() const", "JOVString::capacity() const", "JOVString::max_size() const",
       "JOVString::at(unsigned int) const", "JOVString::at(unsigned int)",
       "JOVString::operator[](unsigned int) const", "JOVString::operator[](unsigned int)",
       "JOVString::begin() const", "JOVString::begin()", "JOVString::end() const",
       "JOVString::end()", "JOVString::data() const", "JOVString::c_str() const",
       "JOVString::UnicodeString()", "JOVString::ANSIString()", "JOVString::SetSize(",
       "JOVString::reserve(", "JOVString::swap(JOVString&)"},
      Members("assign", {S + ", " + U + ", " + U, W + ", " + U, C + ", " + U, U + ", wchar_t",
                         W, C, W + ", " + W}),
      Members("operator=", {S, W, C, "wchar_t"}),
      Members("append", {S + ", " + U + ", " + U, W + ", " + U, C + ", " + U, W, C, W + ", " + W}),
      Members("append_char", {U + ", wchar_t"}),
      Members("operator+=", {S, W, C, "wchar_t"}),
      Members("insert", {U + ", " + S + ", " + U + ", " + U, U + ", " + W + ", " + U,
                         U + ", " + U + ", wchar_t", U + ", " + W, W + ", wchar_t",
                         W + ", " + U + ", wchar_t", "wchar_t*, " + W + ", " + W}),
      Members("erase", {U + ", " + U, "wchar_t*", "wchar_t*, wchar_t*"}),
      Members("replace", {U + ", " + U + ", " + S + ", " + U + ", " + U,
                          U + ", " + U + ", " + W + ", " + U, U + ", " + U + ", " + U + ", wchar_t",
                          U + ", " + U + ", " + W, "wchar_t*, wchar_t*, " + S,
                          "wchar_t*, wchar_t*, " + W + ", " + U, "wchar_t*, wchar_t*, " + W,
                          "wchar_t*, wchar_t*, " + U + ", wchar_t",
                          "wchar_t*, wchar_t*, " + W + ", " + W}),
      Members("resize", {U + ", wchar_t", U}),
      Members("compare", {U + ", " + U + ", " + W + ", " + U, S, W, U + ", " + U + ", " + W,
                          U + ", " + U + ", " + S, U + ", " + U + ", " + S + ", " + U + ", " + U}, true),
      Members("substr", {U + ", " + U}, true),
      Members("Left", {U}, true),
      Members("Right", {U}, true),
      Members("Copy_s", {"wchar_t*, " + U + ", " + U + ", " + U}, true),
      Members("CopyTString", {"wchar_t*, " + U + ", " + U + ", " + U}, true),
      Members("LTrim", {""}), Members("RTrim", {""}), Members("Trim", {""}),
      Members("LCase", {""}), Members("UCase", {""}),
      Members("ForcePrefix", {S}), Members("ForceSuffix", {"wchar_t"}),
      Members("_Tidy", {"bool"}), Members("_NullTermString", {U}), Members("_Grow", {U}),
      Members("_Copy", {U}), Members("_Nullstr", {""}), Members("_Pdif", {W + ", " + W}),
      Members("_Psum", {"wchar_t*, " + U, W + ", " + U}),
  };
  for (const char* family : {"find", "rfind", "find_first_of", "find_last_of",
                             "find_first_not_of", "find_last_not_of"})
    groups.push_back(Members(family, {W + ", " + U + ", " + U, S + ", " + U, W + ", " + U,
                                      "wchar_t, " + U},
                             true));
  std::vector<std::string> expected;
  for (const auto& g : groups) expected.insert(expected.end(), g.begin(), g.end());
  EXPECT_EQ(jovtest::MissingExports(expected), std::vector<std::string>{});
}

TEST(StringExports, FreeFunctionsAreExported) {
  const std::vector<std::string> expected = {
      "JOV_MatchCaseless(JOVString const&, JOVString const&)",
      "JOV_MatchCaseless(JOVString const&, wchar_t const*)",
      "JOV_MatchCaseless(wchar_t const*, wchar_t const*)",
      "JOV_CompareCaseless(",
      "JOV_SubStrCompare(",
      "JOV_ReplaceString(JOVString&, wchar_t const*, wchar_t const*, unsigned long*, "
      "unsigned long, unsigned long)",
      "JOV_ReplaceString(wchar_t*, unsigned long*, wchar_t const*, wchar_t const*, "
      "unsigned long*, unsigned long, unsigned long)",
      "JOV_ParseDelimitedString(JOVString&, wchar_t const*, JOVString&, int, int)",
      "JOV_ParseDelimitedString(wchar_t*, wchar_t const*, wchar_t*, int, int)",
      "JOV_Trim(",
      "JOV_Left(",
      "JOV_Right(",
      "JOV_OverlappedStringCopy(",
      "JOV_ResizeString(",
      "JOV_ResizeBuffer(",
  };
  EXPECT_EQ(jovtest::MissingExports(expected), std::vector<std::string>{});
}
