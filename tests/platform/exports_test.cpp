// exports_test.cpp - every platform query is exported under its declared signature.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include "support/export_table.h"

TEST(PlatformExports, EveryPlatformQueryIsExported) {
  std::vector<std::string> missing = jovtest::MissingExports({
      "JOV_ValidHandle(",
      "JOV_IsWinNT(",
      "JOV_IsWin2K(",
      "JOV_IsWinXP(",
      "JOV_IsWin2003(",
      "JOV_IsWinVista(",
      "JOV_IsWin2008(",
      "JOV_IsWin7Or2008R2(",
      "JOV_IsBigEndian(",
      "JOV_TimerValue(",
      "JOV_CRCCompute(",
      "fnJOVUtil2(",
  });
  EXPECT_TRUE(missing.empty()) << "first missing export: " << missing.front();
}
