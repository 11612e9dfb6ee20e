// string_test.cpp - JOVString beside the cores that the differential test drives (its
// constructors, narrow, prefix and suffix forms, error texts, storage renewal, swap and ANSI
// copy, and its behaviour without memory) and the free string functions.
#include "support/test_prelude.h"

#include <new>
#include <stdexcept>

namespace {

using jovtest::Text;
using Edit = void (*)(JOVString&);

// What an edit threw ("<none>" when it returned), the text left and whether the storage
// stayed where it was.
std::string Outcome(Edit edit, JOVString& s) {
  const wchar_t* storage = s.begin();
  std::string thrown = "<none>";
  try {
    edit(s);
  } catch (const std::exception& e) {
    thrown = e.what();
  }
  return thrown + " " + jovtest::Narrow(Text(s)) + (s.begin() == storage ? "" : " (moved)");
}

// Counts frees of the fill pattern instead of passing them on: a constructor that freed
// its uninitialised storage pointer.
void (*realFree)(void*) = nullptr;
int poisonFrees = 0;
void WatchedFree(void* p) {
  if (reinterpret_cast<std::uintptr_t>(p) == std::uintptr_t(-1) / 255 * 0xA5) {
    ++poisonFrees;
  } else {
    realFree(p);
  }
}

// Fails the private heap's allocations while `failing` is set.
decltype(&::HeapAlloc) realHeapAlloc = nullptr;
bool failing = false;
LPVOID WINAPI SwitchableHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  return failing ? nullptr : realHeapAlloc(heap, flags, bytes);
}

}  // namespace

// Each edit applied to JOVString(L"abcdef"); then the ANSI copy, which stays the object's
// until its next copy: it goes with the text on a swap and outlives later edits.
TEST(StringForms, NarrowPrefixSuffixBlanksAndStorage) {
  const std::pair<Edit, std::wstring> edits[] = {
      {[](JOVString& s) {
         s.assign("xyz", 2u);
         s += "!";
         s.append("\xE9?", 5u);
         s += L'w';
       },
       L"xy!\xE9?w"},
      {[](JOVString& s) {
         s.resize(8);
         s.ForceSuffix(L'\\');
         s.ForceSuffix(L'\\');
       },
       {L"abcdef\0\0\\", 9}},
      {[](JOVString& s) {
         s.ForcePrefix(JOVString(L"ab"));
         s.ForcePrefix(JOVString(L"\\\\"));
       },
       L"\\\\abcdef"},
      {[](JOVString& s) {
         s = L"\\";
         s.ForcePrefix(JOVString(L"\\\\"));
         s.ForcePrefix(JOVString());
       },
       L"\\\\\\"},
      {[](JOVString& s) {
         s = L" \ta b\t  ";
         s.Trim();
       },
       L"\ta b\t"},  // only U+0020 is a blank
  };
  for (const auto& [edit, expected] : edits) {
    JOVString s(L"abcdef");
    edit(s);
    EXPECT_EQ(Text(s), expected);
  }
  JOVString s(15u, L'a'), other(L"a\xE9");
  s += L'b';  // renews the storage
  const char* ansi = s.ANSIString();
  s.swap(other);
  EXPECT_STREQ(ansi, "aaaaaaaaaaaaaaab");  // moved to `other` with its text, still alive
  EXPECT_STREQ(ansi = s.ANSIString(), "a\xE9");
  s += L'd';  // within the capacity: the old copy stays, with the old text
  EXPECT_STREQ(ansi, "a\xE9");
  EXPECT_STREQ(JOVString(L"a\x4E2D").ANSIString(), "");  // not representable in the C locale
}

// Built over bytes that are not zero, as a block from the heap would be: a constructor that
// read its own storage fields would free (which the platform may let pass) or read garbage.
TEST(StringForms, EveryConstructorStartsFromNoStorage) {
  jovtest::ScopedImportPatch patch("free", &WatchedFree, &realFree);
  using Make = JOVString* (*)(void*);
  const std::pair<Make, const wchar_t*> kinds[] = {
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
  for (const auto& [make, text] : kinds) {
    JOVString* s = make(std::memset(raw, 0xA5, sizeof raw));
    EXPECT_EQ(Text(*s) + L" " + std::to_wstring(s->capacity()),
              text + std::wstring(*text ? L" 16" : L" 0"));
    s->~JOVString();
  }
  EXPECT_EQ(poisonFrees, 0);
}

// The fixed texts; the object stays as it was.
TEST(StringForms, ErrorsCarryFixedTextsAndLeaveTheObjectUnchanged) {
  const std::pair<Edit, std::string> errors[] = {
      {[](JOVString& s) { s.at(2); }, "at invalid position argument"},
      {[](JOVString& s) { s.assign(JOVString::npos, L'x'); }, "assign invalid length parameter"},
      {[](JOVString& s) { s.append_char(JOVString::npos, L'y'); },
       "append invalid length parameter"},
      {[](JOVString& s) { s.insert(0u, JOVString::npos, L'y'); },
       "insert invalid length parameter"},
      {[](JOVString& s) { s.replace(0u, 0u, JOVString::npos, L'y'); },
       "replace invalid length parameter"},
      {[](JOVString& s) { s.reserve(0x7FFFFFFDu); }, "_Grow invalid length parameter"},
      // Within 32 bits the growth limit speaks, before a source inside the object is copied.
      {[](JOVString& s) { s.replace(0u, 1u, s.c_str(), 0x7FFFFFFDu); },
       "_Grow invalid length parameter"},
      {[](JOVString& s) { s.assign("x", 0x7FFFFFFDu); }, "_Grow invalid length parameter"},
  };
  JOVString s(L"x");
  for (const auto& [edit, expected] : errors)
    EXPECT_EQ(Outcome(edit, s), "JOVString::" + expected + " x");
  EXPECT_EQ(s.at(1) + s[8], 0);  // the terminator may be read; [] never throws
}

// Without memory the class throws std::bad_alloc and leaves the object as it was; the
// buffer functions report 14. The allocator fails through the private heap's HeapAlloc.
FRESH_TEST(Strings, NoMemoryThrowsBadAllocAndLeavesTheStringUnchanged) {
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, 0), 0u);
  jovtest::ScopedImportPatch patch("HeapAlloc", &SwitchableHeapAlloc, &realHeapAlloc);
  // Every edit takes memory through one growth step; these reach it by each way in (a wide,
  // a single-character and a narrow source, the object's own text set aside, a reservation),
  // and the ANSI copy and JOV_ReplaceString take their own.
  const Edit edits[] = {
      [](JOVString& s) { s.append(L"xyz"); },
      [](JOVString& s) { s += L'x'; },
      [](JOVString& s) { s.append("x"); },
      [](JOVString& s) { s.append(s, 0u, 3u); },
      [](JOVString& s) { s.reserve(100); },
      [](JOVString& s) { s.ANSIString(); },
      [](JOVString& s) {
        unsigned long count;
        JOV_ReplaceString(s, L"a", L"b", &count, 0, 0);
      },
  };
  // One more character renews the storage of `full`.
  JOVString full(15u, L'a'), empty, roomy(L"abc");
  const char* ansi = full.ANSIString();
  wchar_t* text = nullptr;
  ASSERT_EQ(JOV_ResizeString(&text, 4), 0u);
  auto* buffer = reinterpret_cast<unsigned char*>(text);
  unsigned long size = 10;
  failing = true;
  for (Edit edit : edits) EXPECT_EQ(Outcome(edit, full), "std::bad_alloc " + std::string(15, 'a'));
  EXPECT_EQ(Outcome([](JOVString& s) { s += L"abc"; }, empty), "std::bad_alloc ");
  roomy.append(L"def");  // within the capacity
  EXPECT_EQ(JOV_ResizeString(&text, 8) + JOV_ResizeBuffer(&buffer, &size, 20), 28u);
  failing = false;
  EXPECT_EQ(Text(roomy) + L" " + std::to_wstring(full.capacity()), L"abcdef 16");
  EXPECT_STREQ(ansi, "aaaaaaaaaaaaaaa");  // a failed copy keeps the previous one
  EXPECT_EQ(std::make_pair(size, buffer),
            std::make_pair(10ul, reinterpret_cast<unsigned char*>(text)));
  JOV_MemoryFreePtr(&text);
}

// ---- The free string functions -------------------------------------------------------------
TEST(StringFunctions, CaselessMatchingOrderingAndPieceComparison) {
  wchar_t a[] = L"hello world", b[] = L"world", c[] = L"WORLD";
  const long answers[][2] = {
      {JOV_MatchCaseless(L"abc", L"ABC"), 1},
      {JOV_MatchCaseless(L"\xE9", L"\xC9"), 0},  // C locale folding
      {JOV_MatchCaseless(L"", nullptr), 1},
      {JOV_MatchCaseless(nullptr, L"a"), 0},  // null: empty
      {JOV_MatchCaseless(JOVString(L"File.TXT"), L"file.txt"), 1},
      {JOV_MatchCaseless(JOVString(L"a\0b", 3u), JOVString(L"A\0B", 3u)), 1},
      {JOV_CompareCaseless(JOVString(L"abc"), JOVString(L"ABD")), -1},
      {JOV_CompareCaseless(JOVString(L"Abc"), JOVString(L"aBC")), 0},
      {JOV_CompareCaseless(JOVString(L"_"), JOVString(L"a")),
       1},  // upper-cased first: '_' after 'A'
      {JOV_SubStrCompare(a, -50, 5, a, 0, 5), 0},
      {JOV_SubStrCompare(a, 99, 3, nullptr, 0, 3), 0},  // clamped
      {JOV_SubStrCompare(a, 6, 4, b, 0, 5), -1},
      {JOV_SubStrCompare(b, 0, 5, a, 6, 4), 1},  // a prefix first
      {JOV_SubStrCompare(b, 0, -1, c, 0, -1), 1},
      {JOV_SubStrCompare(b, 4, 9, a, -2, 2), -1},  // "d", "ld"
  };
  for (size_t i = 0; i < std::size(answers); ++i)
    EXPECT_EQ(answers[i][0], answers[i][1]) << "answer " << i;
}

TEST(StringFunctions, ReplaceStringLeftToRightWithoutOverlap) {
  // The text, what is found, its replacement and the most replacements (0: all); then the
  // text, the result code and the count.
  const std::tuple<std::wstring, const wchar_t*, const wchar_t*, unsigned long, std::wstring>
      rows[] = {
          {L"aaa", L"aa", L"b", 0, L"ba 0 1"},
          {L"a.b.c", L".", nullptr, 0, L"abc 0 2"},
          {L"a.b.c", L".", L"", 1, L"ab.c 0 1"},
          {L"x\r\ny\r\n", L"\r\n", L" | ", 0, L"x | y |  0 2"},
          {L"abc", L"", L"x", 0, L"abc 87 0"},
          {{L"ab\0ab", 5}, L"b", L"B", 0, {L"aB\0ab 0 1", 9}},  // not behind a zero
      };
  for (const auto& [source, find, replace, max, expected] : rows) {
    JOVString text(source.c_str(), static_cast<unsigned>(source.size()));
    unsigned long count = 99, result = JOV_ReplaceString(text, find, replace, &count, 0, max);
    EXPECT_EQ(Text(text) + L" " + std::to_wstring(result) + L" " + std::to_wstring(count),
              expected);
  }
  wchar_t buffer[16] = L"x-y";  // the buffer form reports the size it needs and writes nothing
  unsigned long size = 5, count = 0;
  EXPECT_EQ(JOV_ReplaceString(buffer, &size, L"-", L"--+", &count, 0, 0) * 100 + size, 806u);
  EXPECT_EQ(JOV_ReplaceString(buffer, &size, L"-", L"--+", &count, 0, 0), 0u);
  EXPECT_STREQ(buffer, L"x--+y");
}

TEST(StringFunctions, ParseDelimitedTakesTheFirstField) {
  const wchar_t* rows[][5] = {
      // the list, the delimiters, whole, trim; field "|" what is left
      {L"a,b,c", nullptr, L"", L"", L"a|b,c"},
      {L"ab\"c,d\"e,f", nullptr, L"", L"", L"ab\"c,d\"e|f"},
      {L"\"x,y\",z", nullptr, L"", L"", L"x,y|z"},
      {L"\"say \"\"hi\"\"\",n", nullptr, L"", L"", L"say \"hi\"|n"},
      {L"  \"C:\\My Files\\p.exe\"  -x ", L" ", L"", L"t", L"C:\\My Files\\p.exe| -x"},
      {L"a:b::c", L"::", L"w", L"", L"a:b|c"},
      {L"a:b::c", L"::", L"", L"", L"a|b::c"},
      {L"ab::", L"::", L"w", L"", L"ab|"},
      {L"ab", L"", L"w", L"", L"ab|"},
  };
  for (const auto& row : rows) {
    JOVString source(row[0]), field(L"stale");
    JOV_ParseDelimitedString(source, row[1], field, *row[2] != 0, *row[3] != 0);
    EXPECT_EQ(Text(field) + L"|" + Text(source), row[4]);
  }
  wchar_t source[32] = L"one, two", field[32] = L"garbage";
  JOV_ParseDelimitedString(source, L",", field, 0, 1);
  EXPECT_EQ(std::wstring(field) + L"|" + source, L"one| two");
}

TEST(StringFunctions, PlainArraysTrimCopyAndResize) {
  wchar_t trimmed[4][8] = {L"  a b  ", L"   ", L"", L"x  "};
  for (wchar_t* text : trimmed) JOV_Trim(text);
  EXPECT_EQ(std::wstring(trimmed[0]) + L"|" + trimmed[1] + L"|" + trimmed[2] + L"|" + trimmed[3],
            L"a b|||x");
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
  EXPECT_EQ(JOV_ResizeString(&string, 3) + JOV_ResizeString(&string, 20), 0u);
  EXPECT_EQ(JOV_ResizeBuffer(&buffer, &size, 2) + JOV_ResizeBuffer(&buffer, &size, 8), 0u);
  EXPECT_EQ(
      std::wstring(string) + L" " + std::to_wstring(size) + L" " + std::wstring(buffer, buffer + 2),
      L"abc 8 wx");
  JOV_MemoryFreePtr(&string);
  JOV_MemoryFree(buffer);
}
