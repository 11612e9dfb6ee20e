// alloc_failure_test.cpp - when the allocator gives nothing, the string class throws
// std::bad_alloc and leaves the object as it was; the buffer functions report 14. The
// allocator is made to fail by replacing the DLL's HeapAlloc import under the private-heap
// strategy, in a child process since the strategy is chosen once per process.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "string_test_util.h"
#include "support/child_process.h"
#include "support/import_patch.h"

using strtest::Text;

namespace {

using HeapAllocFn = LPVOID(WINAPI*)(HANDLE, DWORD, SIZE_T);
HeapAllocFn g_realHeapAlloc = nullptr;
bool g_failing = false;

LPVOID WINAPI SwitchableHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
  return g_failing ? nullptr : g_realHeapAlloc(heap, flags, bytes);
}

struct Snapshot {
  std::wstring text;
  unsigned size, capacity;
  const wchar_t* storage;
  explicit Snapshot(const JOVString& s)
      : text(Text(s)), size(s.size()), capacity(s.capacity()), storage(s.begin()) {}
  bool operator==(const Snapshot& o) const {
    return text == o.text && size == o.size && capacity == o.capacity && storage == o.storage;
  }
};

// Runs edit on s with the allocator failing; 0 when it threw bad_alloc and s is unchanged.
int Expect(const char* what, JOVString& s, const std::function<void(JOVString&)>& edit) {
  const Snapshot before(s);
  bool threw = false;
  g_failing = true;
  try {
    edit(s);
  } catch (const std::bad_alloc&) {
    threw = true;
  } catch (...) {
  }
  g_failing = false;
  if (!threw) std::printf("%s: no std::bad_alloc\n", what);
  if (!(Snapshot(s) == before)) std::printf("%s: object changed\n", what);
  return threw && Snapshot(s) == before ? 0 : 1;
}

}  // namespace

JOV_CHILD_CASE(StringAllocatorFailure) {
  if (JOV_MemoryDefine(JOVMemAllocHeap, 0, 0) != 0) return 100;
  jovtest::ScopedImportPatch patch("HeapAlloc", reinterpret_cast<const void*>(&SwitchableHeapAlloc));
  g_realHeapAlloc = patch.original<HeapAllocFn>();
  if (!g_realHeapAlloc) return 101;

  int failures = 0;
  JOVString full(15u, L'a');  // one more character reaches the capacity and renews it
  failures += Expect("append", full, [](JOVString& s) { s.append(L"xyz"); });
  failures += Expect("append_char", full, [](JOVString& s) { s += L'x'; });
  failures += Expect("append narrow", full, [](JOVString& s) { s.append("x"); });
  failures += Expect("append self", full, [](JOVString& s) { s.append(s, 0u, 3u); });
  failures += Expect("insert", full, [](JOVString& s) { s.insert(3u, 5u, L'-'); });
  failures += Expect("insert self", full, [](JOVString& s) { s.insert(0u, s, 0u, 1u); });
  failures += Expect("replace", full, [](JOVString& s) { s.replace(2u, 1u, L"many", 4u); });
  failures += Expect("assign", full, [](JOVString& s) { s.assign(40u, L'z'); });
  failures += Expect("reserve", full, [](JOVString& s) { s.reserve(100); });
  failures += Expect("resize", full, [](JOVString& s) { s.resize(64, L'.'); });
  JOVString empty;
  failures += Expect("first append", empty, [](JOVString& s) { s += L"abc"; });
  failures += Expect("replace string", full, [](JOVString& s) {
    unsigned long count = 0;
    JOV_ReplaceString(s, L"a", L"b", &count, 0, 0);
  });
  // Within the capacity nothing is allocated, so the allocator's state does not matter.
  JOVString roomy(L"abc");
  g_failing = true;
  roomy.append(L"def");
  g_failing = false;
  if (Text(roomy) != L"abcdef") ++failures, std::printf("append within capacity failed\n");

  // A failed narrow copy keeps the previous one.
  const char* copy = roomy.ANSIString();
  roomy.erase(3u, 3u);
  g_failing = true;
  bool threw = false;
  try {
    roomy.ANSIString();
  } catch (const std::bad_alloc&) {
    threw = true;
  }
  g_failing = false;
  if (!threw || std::strcmp(copy, "abcdef") != 0) ++failures, std::printf("ANSIString\n");

  wchar_t* text = nullptr;
  if (JOV_ResizeString(&text, 4) != 0) return 102;
  g_failing = true;
  const unsigned long resizeString = JOV_ResizeString(&text, 8);
  unsigned char* buffer = reinterpret_cast<unsigned char*>(text);
  unsigned long size = 10;
  const unsigned long resizeBuffer = JOV_ResizeBuffer(&buffer, &size, 20);
  g_failing = false;
  if (resizeString != 14 || resizeBuffer != 14 || size != 10 ||
      buffer != reinterpret_cast<unsigned char*>(text))
    ++failures, std::printf("resize functions: %lu %lu\n", resizeString, resizeBuffer);
  JOV_MemoryFreePtr(&text);
  return failures;
}

TEST(StringAllocatorFailure, BadAllocLeavesStringUnchanged) {
  JOV_REQUIRE_CHILD_PROCESSES();
  const jovtest::ChildResult result = jovtest::RunChild("StringAllocatorFailure");
  EXPECT_EQ(result.exitCode, 0u) << result.output;
}
