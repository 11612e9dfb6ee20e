// exports_test.cpp - every function and global of the lists and message records is
// exported under its own name.
#include <gtest/gtest.h>

#include "support/export_table.h"

TEST(ListExports, EveryListAndRecordFunctionAndGlobalIsExported) {
  EXPECT_EQ(jovtest::MissingExports({
                "JOV_LinkInitAnchor(", "JOV_LinkToHead(", "JOV_LinkToTail(",
                "JOV_LinkRemove(", "JOV_LinkPopFirst(", "JOV_LinkNext(", "JOV_LinkPrior(",
                "JOV_MsgCreate(", "JOV_MsgAddInsertion(JOVMsg*, wchar_t const*)",
                "JOV_MsgAddInsertion(JOVMsg*, long, unsigned long)", "JOV_MsgDestroy(",
                "JOV_MsgDestroyAll(", "JOV_MsgExport(", "gptrJOVMsgAnchor",
            }),
            std::vector<std::string>{});
}
