// diff_output_test.cpp - `jovtrace diff` as a CI job runs it: the same bytes every run in
// every format, the Markdown's sections, and the exit codes for its inputs (an output that
// cannot be written is the command test's, for every subcommand).
#include "generated_runs.h"
#include "support/reader_test.h"

namespace {

using readertest::Quoted;
using readertest::Shell;

TEST(DiffOutput, EveryFormatTheSameBytesEachRunAndTheExitCodes) {
  const std::vector<difftest::Routine> base = {{"Parser.Open", 2000, 300}, {"Net.Send", 900, 300}};
  std::vector<difftest::Routine> next = base;
  next[0].factor = 1.2;
  const std::string sides = Quoted(difftest::GeneratedRun(difftest::Scratch("out_base"), base, 3)) +
                            Quoted(difftest::GeneratedRun(difftest::Scratch("out_new"), next, 4));
  const std::tuple<const char*, std::vector<const char*>> formats[] = {
      // option, texts of its output
      {"", {"\nslower         Parser.Open"}},
      {" --markdown", {"#### Slower (1)\n\n| routine |", "<details><summary>2 other routines"}},
      {" --csv", {"Parser.Open,,slower,"}},
      {" --json", {"\"verdict\":\"slower\"", "\"figures\":{\"calls\":{\"base\":300,\"new\":300,"}}};
  for (const auto& [option, texts] : formats) {
    SCOPED_TRACE(option);
    const auto [code, out] = Shell(std::string("jovtrace diff -q") + option + sides);
    EXPECT_EQ(code, 1);
    for (const char* says : texts) EXPECT_NE(out.find(says), std::string::npos) << out;
    EXPECT_EQ(Shell(std::string("jovtrace diff -q") + option + sides).second, out);
  }

  const std::tuple<std::string, int, const char*> cases[] = {
      // arguments, exit code, a text
      {"diff -q" + sides + " /nonexistent", 2, "name the base and the new run"},
      {"diff -q --base /nonexistent" + sides, 2, "/nonexistent: no such file"},
      {"diff -q --fail-on total" + sides, 1, "self time of all routines"},
      {"diff --help", 0, "jovtrace diff baseline/ run/ --markdown > diff.md"},
  };
  for (const auto& [args, exitCode, says] : cases) {
    SCOPED_TRACE(args);
    const auto [code, out] = Shell("jovtrace " + args);
    EXPECT_EQ(code, exitCode);
    EXPECT_NE(out.find(says), std::string::npos) << out;
  }
}

}  // namespace
