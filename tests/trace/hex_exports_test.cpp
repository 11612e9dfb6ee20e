// hex_exports_test.cpp - the dump, formatting and report members of the trace object are
// exported.
#include <gtest/gtest.h>

#include "support/export_table.h"

TEST(HexAndReportExports, EveryDumpFormatAndReportMemberIsExported) {
  const std::vector<std::string> expected = {
      "JOVDebug::HexDump(void const*, unsigned long, wchar_t const*)",
      "JOVDebug::HexStringLine(unsigned char*, unsigned long, wchar_t*, int)",
      "JOVDebug::HexString(void const*, unsigned long, wchar_t*)",
      "JOVDebug::HexString(void const*, unsigned long)",
      "JOVDebug::HexStringForDWORD(unsigned long, wchar_t*)",
      "JOVDebug::HexStringForDWORD(unsigned long)",
      "JOVDebug::DisplayChars(wchar_t*, unsigned char*, unsigned long)",
      "JOVDebug::TraceHeap(void*, unsigned long, unsigned long, long)",
      "JOVDebug::TraceVirtualMemUsage(unsigned long)",
  };
  EXPECT_EQ(jovtest::MissingExports(expected), std::vector<std::string>{});
}
