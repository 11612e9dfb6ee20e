// exports_test.cpp - every path and name function is exported from JOVUtil32.dll.
#include <gtest/gtest.h>

#include "support/export_table.h"

TEST(NamesExports, EveryPathAndNameFunctionIsExported) {
  const auto missing = jovtest::MissingExports({
      "JOV_TestFileExists(JOVString const&)",
      "JOV_TestFileExists(wchar_t const*)",
      "JOV_TestDirExists(",
      "JOV_GetDirFromPath(",
      "JOV_GetUNCPath(",
      "JOV_InternalPath(",
      "JOV_GetLogonId(",
      "JOV_GetComputerName(",
  });
  EXPECT_TRUE(missing.empty()) << "missing: " << testing::PrintToString(missing);
}
