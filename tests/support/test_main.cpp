// test_main.cpp - entry point of every test executable, and the test that runs each of its
// fresh tests alone in a child process (see child_process.h).
#include "support/test_prelude.h"

static void WINAPI IgnoreDebugString(const char*) {}

TEST(FreshProcess, EveryFreshTestPassesInAProcessOfItsOwn) {
  JOV_SKIP_ON_EMULATED_LANE("child processes");
  const testing::UnitTest& unit = *testing::UnitTest::GetInstance();
  for (int i = 0; i < unit.total_test_suite_count(); ++i) {
    const testing::TestSuite& suite = *unit.GetTestSuite(i);
    if (std::strstr(suite.name(), "DISABLED_Fresh") == nullptr) continue;
    for (int j = 0; j < suite.total_test_count(); ++j) {
      const std::string name = std::string(suite.name()) + "." + suite.GetTestInfo(j)->name();
      const jovtest::ChildResult child = jovtest::RunAlone(name);
      EXPECT_TRUE(child.exitCode == 0 &&
                  child.output.find("[  PASSED  ] 1 test.") != std::string::npos)
          << name << " ended with " << child.exitCode << ":\n"
          << child.output;
    }
  }
}

int main(int argc, char** argv) {
  // GoogleTest echoes every failure and skip through OutputDebugStringA, whose exception
  // (raised to reach a debugger) brings the emulated 32-bit Wine down; the lines are on
  // standard output anyway.
  jovtest::ScopedImportPatch quiet("OutputDebugStringA",
                                   reinterpret_cast<const void*>(&IgnoreDebugString),
                                   ::GetModuleHandleW(nullptr));
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
