// alloc_failure_test.cpp - when the allocator gives nothing, the string class throws
// std::bad_alloc and leaves the object as it was, and the buffer functions report 14. The
// allocator fails through the DLL's HeapAlloc import under the private-heap strategy.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstring>
#include <new>
#include <string>

#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

decltype(&::HeapAlloc) realHeapAlloc = nullptr;
bool failing = false;
LPVOID WINAPI SwitchableHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  return failing ? nullptr : realHeapAlloc(heap, flags, bytes);
}

// Runs `body` with the allocator failing; returns whether it threw std::bad_alloc.
template <typename Body>
bool ThrowsBadAlloc(Body body) {
  failing = true;
  bool threw = false;
  try {
    body();
  } catch (const std::bad_alloc&) {
    threw = true;
  }
  failing = false;
  return threw;
}

}  // namespace

FRESH_TEST(Strings, NoMemoryThrowsBadAllocAndLeavesTheStringUnchanged) {
  ASSERT_EQ(JOV_MemoryDefine(JOVMemAllocHeap, 0, 0), 0u);
  jovtest::ScopedImportPatch patch("HeapAlloc", reinterpret_cast<const void*>(&SwitchableHeapAlloc));
  realHeapAlloc = patch.original<decltype(realHeapAlloc)>();
  const struct {
    const char* name;
    void (*edit)(JOVString&);
  } edits[] = {
      {"append", [](JOVString& s) { s.append(L"xyz"); }},
      {"append_char", [](JOVString& s) { s += L'x'; }},
      {"append narrow", [](JOVString& s) { s.append("x"); }},
      {"append self", [](JOVString& s) { s.append(s, 0u, 3u); }},
      {"insert", [](JOVString& s) { s.insert(3u, 5u, L'-'); }},
      {"insert self", [](JOVString& s) { s.insert(0u, s, 0u, 1u); }},
      {"replace", [](JOVString& s) { s.replace(2u, 1u, L"many", 4u); }},
      {"assign", [](JOVString& s) { s.assign(40u, L'z'); }},
      {"reserve", [](JOVString& s) { s.reserve(100); }},
      {"resize", [](JOVString& s) { s.resize(64, L'.'); }},
      {"replace string", [](JOVString& s) {
         unsigned long count = 0;
         JOV_ReplaceString(s, L"a", L"b", &count, 0, 0);
       }},
      {"ANSIString", [](JOVString& s) { s.ANSIString(); }},
  };
  JOVString full(15u, L'a');  // one more character reaches the capacity and renews it
  const char* ansi = full.ANSIString();
  const wchar_t* storage = full.begin();
  for (const auto& edit : edits) {
    EXPECT_TRUE(ThrowsBadAlloc([&] { edit.edit(full); })) << edit.name;
    EXPECT_EQ(std::wstring(full.c_str()), std::wstring(15, L'a')) << edit.name;
    EXPECT_EQ(full.begin(), storage) << edit.name;
    EXPECT_EQ(full.capacity(), 16u) << edit.name;
  }
  EXPECT_STREQ(ansi, "aaaaaaaaaaaaaaa");  // a failed copy keeps the previous one
  JOVString empty;
  EXPECT_TRUE(ThrowsBadAlloc([&] { empty += L"abc"; }));
  EXPECT_EQ(empty.capacity(), 0u);
  JOVString roomy(L"abc");  // within the capacity nothing is allocated
  EXPECT_FALSE(ThrowsBadAlloc([&] { roomy.append(L"def"); }));
  EXPECT_STREQ(roomy.c_str(), L"abcdef");

  wchar_t* text = nullptr;
  ASSERT_EQ(JOV_ResizeString(&text, 4), 0u);
  unsigned char* buffer = reinterpret_cast<unsigned char*>(text);
  unsigned long size = 10;
  failing = true;
  EXPECT_EQ(JOV_ResizeString(&text, 8), 14u);
  EXPECT_EQ(JOV_ResizeBuffer(&buffer, &size, 20), 14u);
  failing = false;
  EXPECT_EQ(size, 10u);
  EXPECT_EQ(buffer, reinterpret_cast<unsigned char*>(text));
  JOV_MemoryFreePtr(&text);
}
