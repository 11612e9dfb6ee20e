// child_process.h - runs one test of this executable alone, in a child process.
//
// Per-process state (caches filled once, the allocation strategy, exit codes, crashes)
// needs a process of its own. A FRESH_TEST never runs in the test process itself: the test
// FreshProcess.EveryFreshTestPassesInAProcessOfItsOwn of each executable starts every one
// of them (parameterized ones too: name their suite DISABLED_Fresh...) in a child. A test
// whose outcome is the process's end (an exit code, a crash) goes in another DISABLED_
// suite, and its parent starts it with RunAlone and reads the exit code.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace jovtest {

struct ChildResult {
  unsigned long exitCode = 0;  // kChildNotRun when the child could not be started
  std::string output;          // its standard output and standard error, merged
};

constexpr unsigned long kChildNotRun = 0xFFFFFFFF;
constexpr unsigned long kChildTimedOut = 0xFFFFFFFE;

// Runs the test `name` ("Suite.Test") alone in a child process that cannot outlive this
// one (a job object ends it with its parent). A child still running after `limitMs` is
// ended and reported with exit code kChildTimedOut.
ChildResult RunAlone(const std::string& name, unsigned long limitMs = 60000);

// Makes a crash end this process with its exception code instead of waiting for a debugger,
// for a test whose parent reads the code. Not for a whole test run: a stack overflow would
// then end it with code 0, as if it had passed.
void EndWithExceptionCodeOnCrash();

}  // namespace jovtest

#define FRESH_TEST(subsystem, name) TEST(DISABLED_Fresh##subsystem, name)
