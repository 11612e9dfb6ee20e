// child_process.h - runs a test case in a fresh child process of the test executable.
//
// Per-process state (caches filled once, exit codes, crashes) needs a process of its own:
// a case registered with JOV_CHILD_CASE runs when the test executable is started with
// --child=NAME, and its return value is the child's exit code.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace jovtest {

using ChildCase = int (*)();

// Registers a child case under a name; used through JOV_CHILD_CASE.
bool RegisterChildCase(const char* name, ChildCase body);

// Runs the named case if the command line selects one; returns true and sets exitCode then.
bool RunChildCaseFromCommandLine(int argc, char** argv, int* exitCode);

struct ChildResult {
  unsigned long exitCode = 0;
  std::string output;  // the child's standard output and standard error, merged
};

// Starts this executable again with --child=name, waits for it and returns what it did.
// environment holds extra NAME=VALUE settings for the child only.
ChildResult RunChild(const std::string& name,
                     const std::vector<std::pair<std::string, std::string>>& environment = {});

// Child processes run on the 64-bit lane only: a 32-bit process start costs about a minute.
bool ChildProcessesAvailable();

}  // namespace jovtest

#define JOV_CHILD_CASE(name)                                                      \
  static int ChildCase_##name();                                                  \
  static const bool registered_##name =                                           \
      ::jovtest::RegisterChildCase(#name, &ChildCase_##name);                     \
  static int ChildCase_##name()

// Skips the calling test on the 32-bit lane, where child processes are too slow to start.
#define JOV_REQUIRE_CHILD_PROCESSES()                                             \
  do {                                                                            \
    if (!::jovtest::ChildProcessesAvailable())                                    \
      GTEST_SKIP() << "child-process cases run on the 64-bit lane only";          \
  } while (0)
