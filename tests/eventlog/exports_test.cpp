// exports_test.cpp - both forms of the event logger and its globals are exported.
#include <gtest/gtest.h>

#include "support/export_table.h"

TEST(EventLogExports, BothLogEventFormsAndTheFloodGlobalsAreExported) {
  EXPECT_EQ(jovtest::MissingExports({
                "JOV_LogEvent(JOVMsg&, wchar_t const*, wchar_t const*)", "JOV_LogEvent(JOVMsgCategory, wchar_t const*, unsigned long, wchar_t const*)", "g_LogEntriesCount",
                "g_LogEntriesMax", "g_FirstLogMsgTime", "g_LogMsgCancelTime",
            }),
            std::vector<std::string>{});
}
