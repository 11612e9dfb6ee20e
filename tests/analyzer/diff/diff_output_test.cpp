// diff_output_test.cpp - `jovtrace diff` as a CI job runs it: the same bytes every run in
// every format, the Markdown's sections, and the exit codes for its inputs (an output that
// cannot be written is the command test's, for every subcommand).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "generated_runs.h"

namespace {

struct Ran {
  int exitCode;
  std::string out;
};

Ran Jovtrace(const std::string& args) {
  const char* exe = std::getenv("JOVTRACE_EXE");
  std::FILE* pipe = ::popen((std::string(exe) + " " + args).c_str(), "r");
  std::string out;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, pipe)) != 0;)
    out.append(chunk, got);
  const int status = ::pclose(pipe);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(DiffOutput, EveryFormatTheSameBytesEachRunAndTheExitCodes) {
  ASSERT_NE(std::getenv("JOVTRACE_EXE"), nullptr) << "JOVTRACE_EXE is not set";
  const std::vector<difftest::Routine> base = {{"Parser.Open", 2000, 300}, {"Net.Send", 900, 300}};
  std::vector<difftest::Routine> next = base;
  next[0].factor = 1.2;
  const std::string sides =
      " '" + difftest::GeneratedRun(difftest::Scratch("out_base"), base, 3).string() + "' '" +
      difftest::GeneratedRun(difftest::Scratch("out_new"), next, 4).string() + "'";
  const std::tuple<const char*, std::vector<const char*>> formats[] = {
      // option, texts of its output
      {"", {"\nslower         Parser.Open"}},
      {" --markdown", {"#### Slower (1)\n\n| routine |", "<details><summary>2 other routines"}},
      {" --csv", {"Parser.Open,,slower,"}},
      {" --json", {"\"verdict\":\"slower\"", "\"figures\":{\"calls\":{\"base\":300,\"new\":300,"}}};
  for (const auto& [option, texts] : formats) {
    SCOPED_TRACE(option);
    const Ran first = Jovtrace(std::string("diff -q") + option + sides);
    EXPECT_EQ(first.exitCode, 1);
    for (const char* says : texts) EXPECT_NE(first.out.find(says), std::string::npos) << first.out;
    EXPECT_EQ(Jovtrace(std::string("diff -q") + option + sides).out, first.out);
  }

  const std::tuple<std::string, int, const char*> cases[] = {
      // arguments, exit code, a text
      {"diff -q" + sides + " /nonexistent 2>&1", 2, "name the base and the new run"},
      {"diff -q --base /nonexistent" + sides + " 2>&1", 2, "/nonexistent: no such file"},
      {"diff -q --fail-on total" + sides, 1, "self time of all routines"},
      {"diff --help", 0, "jovtrace diff baseline/ run/ --markdown > diff.md"},
  };
  for (const auto& [args, exitCode, says] : cases) {
    SCOPED_TRACE(args);
    const Ran ran = Jovtrace(args);
    EXPECT_EQ(ran.exitCode, exitCode);
    EXPECT_NE(ran.out.find(says), std::string::npos) << ran.out;
  }
}

}  // namespace
