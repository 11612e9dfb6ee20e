// test_main.cpp - entry point of every test executable: a registered child case when the
// command line names one, the GoogleTest run otherwise.
#include <gtest/gtest.h>
#include <windows.h>

#include "support/child_process.h"
#include "support/import_patch.h"

namespace {

void WINAPI IgnoreDebugString(const char*) {}

// GoogleTest echoes every failure and skip through OutputDebugStringA. On the 32-bit lane,
// Wine runs emulated under qemu-i386, where the exception that OutputDebugStringA raises to
// reach a debugger brings the whole process down; the lines are on standard output anyway.
void SilenceDebugStringsOn32BitLane() {
  if (sizeof(void*) == 4)
    jovtest::ReplaceImport(::GetModuleHandleW(nullptr), "OutputDebugStringA",
                           reinterpret_cast<const void*>(&IgnoreDebugString));
}

}  // namespace

int main(int argc, char** argv) {
  int exitCode = 0;
  if (jovtest::RunChildCaseFromCommandLine(argc, argv, &exitCode)) return exitCode;
  SilenceDebugStringsOn32BitLane();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
