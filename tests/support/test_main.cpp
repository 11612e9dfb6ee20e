// test_main.cpp - entry point of every test executable: a registered child case when the
// command line names one, the GoogleTest run otherwise.
#include <gtest/gtest.h>

#include "support/child_process.h"

int main(int argc, char** argv) {
  int exitCode = 0;
  if (jovtest::RunChildCaseFromCommandLine(argc, argv, &exitCode)) return exitCode;
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
