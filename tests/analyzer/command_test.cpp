// command_test.cpp - the jovtrace command as a user runs it: exit codes for missing, foreign
// and bad inputs and for strict mode, wildcards expanded by the program, the output file,
// and outputs that cannot be written.
#include "support/reader_test.h"

using readertest::Quoted;
using readertest::Shell;

TEST(Command, ExitCodesOutputsWildcardsAndOutputsThatCannotBeWritten) {
  readertest::Files files =
      readertest::Play("file 261203 090000 app.JOV_Log|push A.Run|+2500|pop -1 0");
  files["notes.txt"] = "just some notes\nnot a trace\n";
  const std::filesystem::path dir = readertest::WrittenFolder("jovtrace_cli_", files);
  const std::string trace = Quoted(dir / "261203 090000 app.JOV_Log");
  const std::string notes = Quoted(dir / "notes.txt");
  const std::filesystem::path csv = dir / "out.csv";
  const std::tuple<std::string, int, const char*> cases[] = {
      // arguments, exit code, a text of the output
      {"summary" + trace, 0, "A.Run"},
      {"summary" + trace + Quoted(dir / "nothere.JOV_Log"), 2, "nothere.JOV_Log: no such file"},
      {"summary" + trace + notes, 0, "notes.txt:1: not a trace file"},
      {"summary --strict" + trace + notes, 2, "not a trace file"},
      {"summary --strict" + trace, 0, "A.Run"},
      {"summary --sort nonsense" + trace, 2, ""},
      {"--help", 0, "3 the output could not be written"},
      {"summary --csv -o" + Quoted(csv) + Quoted(dir / "*app.JOV_Log"), 0, ""},
  };
  for (const auto& [args, exitCode, says] : cases) {
    SCOPED_TRACE(args);
    const auto [code, out] = Shell("jovtrace " + args);
    EXPECT_EQ(code, exitCode) << out;
    EXPECT_NE(out.find(says), std::string::npos) << out;
  }
  std::ifstream file(csv);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}),
            "trace,routine,calls,total_ms,self_ms,mean_ms,median_ms,p95_ms,max_ms,errors,top_code,"
            "top_code_count\n"
            "app (pid 42),A.Run,1,2.500,2.500,2.500,2.500,2.500,2.500,0,,0\n");

  // Every subcommand, its output on a full device or in a folder that does not exist (a folder
  // it may not write fails the same way): exit code 3 and the reason, and no file left behind
  // (neither the output nor its temporary).
  const std::pair<std::string, std::string> targets[] = {
      // where the output goes, the reason given
      {"> /dev/full", "standard output: No space left on device"},
      {"-o /dev/full", "/dev/full: No space left on device"},
      {"-o" + Quoted(dir / "none" / "out"), (dir / "none" / "out").string() + ": No such file"},
  };
  const std::string commands[] = {
      "summary", "summary --csv",         "tree",        "folded", "chrome",
      "report",  "report --base" + trace, "diff" + trace};
  for (const std::string& command : commands) {
    for (const auto& [target, reason] : targets) {
      SCOPED_TRACE(command + " " + target);
      const auto [code, out] = Shell("jovtrace " + command + trace + " " + target);
      EXPECT_EQ(code, 3) << out;
      EXPECT_NE(out.find("jovtrace: cannot write " + reason), std::string::npos) << out;
    }
  }
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    left.push_back(entry.path().lexically_relative(dir).string());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"261203 090000 app.JOV_Log", "notes.txt", "out.csv"}));
  std::filesystem::remove_all(dir);
}

// A reader that stops early (`| head`) ends the run quietly, with the reading's exit code.
TEST(Command, APipeClosedEarlyEndsQuietly) {
  std::string steps;
  for (int i = 0; i < 40000; ++i) steps += "push A.Run|+10|pop -1 0|";
  const std::filesystem::path dir =
      readertest::WrittenFolder("jovtrace_pipe_", readertest::Play(steps + "+1"));
  const auto [code, out] = Shell("(jovtrace chrome -q" + Quoted(dir / "261203 221530 app.JOV_Log") +
                                 "; echo exit $? >&2) | head -c 1 > /dev/null");
  EXPECT_EQ(code, 0);
  EXPECT_EQ(out, "exit 0\n");
  std::filesystem::remove_all(dir);
}
