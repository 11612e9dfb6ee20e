// exports_test.cpp - every member of the trace object and its global are exported.
#include <gtest/gtest.h>

#include "support/export_table.h"

TEST(TraceExports, EveryMemberAndTheGlobalAreExported) {
  const std::vector<std::string> expected = {
      "JOVDebug::JOVDebug(",          "JOVDebug::~JOVDebug(",
      "JOVDebug::operator=(",         "JOVDebug::TraceStart(wchar_t*, unsigned long)",
      "JOVDebug::TraceStart()",       "JOVDebug::TraceStop(",
      "JOVDebug::MaxLogSize(",        "JOVDebug::GetTracePath(",
      "JOVDebug::TraceActive(",       "JOVDebug::TraceWrapActive(",
      "JOVDebug::TraceAnyActive(",    "JOVDebug::TraceStartOpen(",
      "JOVDebug::InsertMsg(wchar_t const*)", "JOVDebug::InsertMsg(JOVString const&)",
      "JOVDebug::InsertMsgWrite(",    "JOVDebug::InsertMsgWait(",
      "JOVDebug::TraceWrapNewline(",  "JOVDebug::TraceDumpWrap(",
      "JOVDebug::TraceWrapStop(",     "JOVDebug::RoutinePush(",
      "JOVDebug::RoutinePushReq(",    "JOVDebug::RoutinePop(",
      "JOVDebug::ShowCallStack(",     "JOVDebug::ActiveRoutine(",
      "JOVDebug::JOVDebug(JOVDebug const&)", "gptrCDebug",
  };
  EXPECT_EQ(jovtest::MissingExports(expected), std::vector<std::string>{});
}
