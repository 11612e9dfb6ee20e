// string_forms_test.cpp - JOVString beside the cores that the differential test drives:
// constructors, the narrow and prefix and suffix forms, the fixed error texts, storage
// renewal, swap and the ANSI copy.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

namespace {

constexpr unsigned npos = 0xFFFFFFFFu;
std::wstring Text(const JOVString& s) { return std::wstring(s.c_str(), s.length()); }

}  // namespace

TEST(StringForms, NarrowPrefixSuffixAndCaseForms) {
  const struct {
    void (*apply)(JOVString&);  // applied to JOVString(L"abcdef")
    std::wstring expected;
  } edits[] = {
      {[](JOVString& s) { s.assign("xyz", 2u); }, L"xy"},
      {[](JOVString& s) { s = "narrow"; s += "!"; s.append("\xE9?", 5u); }, L"narrow!\xE9?"},
      {[](JOVString& s) { s = L'z'; s += L'w'; }, L"zw"},
      {[](JOVString& s) { s.resize(8); }, std::wstring(L"abcdef\0\0", 8)},
      {[](JOVString& s) { s.resize(2); s.ForceSuffix(L'\\'); s.ForceSuffix(L'\\'); }, L"ab\\"},
      {[](JOVString& s) { s.erase(0u, npos); s.ForceSuffix(L'\\'); }, L"\\"},
      {[](JOVString& s) { s.ForcePrefix(JOVString(L"ab")); s.ForcePrefix(JOVString(L"\\\\")); }, L"\\\\abcdef"},
      {[](JOVString& s) { s = L"\\"; s.ForcePrefix(JOVString(L"\\\\")); s.ForcePrefix(JOVString()); }, L"\\\\\\"},
      {[](JOVString& s) { s = L" \ta b\t  "; s.Trim(); }, L"\ta b\t"},  // only U+0020 is a blank
      {[](JOVString& s) { s = L"stra\xDF" L"e \x4E2D z\xC4"; s.UCase(); }, L"STRA\xDF" L"E \x4E2D Z\xC4"},
  };
  for (size_t i = 0; i < std::size(edits); ++i) {
    JOVString s(L"abcdef");
    edits[i].apply(s);
    EXPECT_EQ(Text(s), edits[i].expected) << "edit " << i;
  }
}

// Built over bytes that are not zero, as a block from the heap would be: a constructor
// that read its own storage fields would free or read garbage.
TEST(StringForms, EveryConstructorStartsFromNoStorage) {
  const struct {
    JOVString* (*make)(void*);
    const wchar_t* text;
  } kinds[] = {
      {[](void* at) { return new (at) JOVString; }, L""},
      {[](void* at) { return new (at) JOVString(JOVString(L"hello"), 1u, 3u); }, L"ell"},
      {[](void* at) { return new (at) JOVString(L"abcdef", 3u); }, L"abc"},
      {[](void* at) { return new (at) JOVString("abcdef", 3u); }, L"abc"},
      {[](void* at) { return new (at) JOVString(L"wide"); }, L"wide"},
      {[](void* at) { return new (at) JOVString("\xE9"); }, L"\xE9"},
      {[](void* at) { return new (at) JOVString(3u, L'z'); }, L"zzz"},
      {[](void* at) { return new (at) JOVString(L"0123" + 1, L"0123" + 3); }, L"12"},
  };
  alignas(JOVString) unsigned char raw[sizeof(JOVString)];
  for (const auto& kind : kinds) {
    std::memset(raw, 0xA5, sizeof raw);
    JOVString* s = kind.make(raw);
    EXPECT_EQ(Text(*s), kind.text);
    EXPECT_EQ(s->capacity(), *kind.text ? 16u : 0u) << Text(*s).c_str();
    s->~JOVString();
  }
  JOVString none;
  EXPECT_EQ(&none.at(0), none.c_str());  // the shared zero character
  EXPECT_EQ(none.end(), nullptr);
}

// The fixed texts; the object stays as it was.
TEST(StringForms, ErrorsCarryFixedTextsAndLeaveTheObjectUnchanged) {
  const struct {
    void (*body)(JOVString&);
    const char* message;
  } errors[] = {
      {[](JOVString& s) { s.at(2); }, "JOVString::at invalid position argument"},
      {[](JOVString& s) { s.assign(npos, L'x'); }, "JOVString::assign invalid length parameter"},
      {[](JOVString& s) { s.assign("x", 0x7FFFFFFDu); }, "JOVString::_Grow invalid length parameter"},
      {[](JOVString& s) { s.append(L"x", npos); }, "JOVString::append invalid length parameter"},
      {[](JOVString& s) { s.append_char(npos, L'y'); }, "JOVString::append invalid length parameter"},
      {[](JOVString& s) { s.insert(0u, npos, L'y'); }, "JOVString::insert invalid length parameter"},
      {[](JOVString& s) { s.replace(0u, 0u, npos, L'y'); }, "JOVString::replace invalid length parameter"},
      // Within 32 bits the growth limit speaks, before a source inside the object is copied.
      {[](JOVString& s) { s.replace(0u, 1u, s.c_str(), 0x7FFFFFFDu); }, "JOVString::_Grow invalid length parameter"},
      {[](JOVString& s) { s.reserve(0x7FFFFFFDu); }, "JOVString::_Grow invalid length parameter"},
      {[](JOVString& s) { s.resize(0x80000000u, L'z'); }, "JOVString::_Grow invalid length parameter"},
  };
  JOVString s(L"x");
  const wchar_t* storage = s.begin();
  for (const auto& error : errors) {
    std::string message = "<no exception>";
    try {
      error.body(s);
    } catch (const std::out_of_range& e) {
      message = e.what();
    } catch (const std::length_error& e) {
      message = e.what();
    }
    EXPECT_EQ(message, error.message);
    EXPECT_EQ(Text(s), L"x");
    EXPECT_EQ(s.begin(), storage);
  }
  EXPECT_EQ(s.at(1) + s[8], 0);  // the terminator may be read; [] never throws
}

// Reaching the capacity renews the storage (the new block is taken before the old one goes
// back, so it always moves); swap exchanges the text with its ANSI copy.
TEST(StringForms, StorageRenewalSwapAndTheAnsiCopy) {
  JOVString s(15u, L'a'), other(L"a\xE9"), han(L"a\x4E2D" L"b");
  const wchar_t* before = s.begin();
  s += L'b';
  EXPECT_NE(s.begin(), before);
  const char* ansi = s.ANSIString();
  const wchar_t* otherText = other.begin();
  s.swap(other);
  s.swap(s);
  EXPECT_EQ(s.begin(), otherText);
  EXPECT_STREQ(ansi, "aaaaaaaaaaaaaaab");  // moved to `other` with its text, still alive
  EXPECT_STREQ(s.ANSIString(), "a\xE9");
  EXPECT_STREQ(han.ANSIString(), "");  // not representable in the C locale: empty
  const char* copy = s.ANSIString();
  s += L'd';  // within the capacity: the old copy stays, with the old text
  EXPECT_STREQ(copy, "a\xE9");
  EXPECT_STREQ(JOVString().ANSIString(), "");
}
