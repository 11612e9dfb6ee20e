// command_test.cpp - the jovtrace command as a user runs it: exit codes for missing, foreign
// and bad inputs and for strict mode, wildcards expanded by the program, the output file.
#include <cstdlib>

#include "support/reader_test.h"

TEST(Command, ExitCodesOutputsAndWildcardsExpandedByTheProgram) {
  readertest::Files files = readertest::Play("file 261203 090000 app.JOV_Log|push A.Run|+2500|pop -1 0");
  files["notes.txt"] = "just some notes\nnot a trace\n";
  const std::filesystem::path dir = readertest::WrittenFolder("jovtrace_cli_", files);
  const auto in = [&dir](const std::string& name) { return " '" + (dir / name).string() + "'"; };
  const std::string trace = in("261203 090000 app.JOV_Log"), csv = (dir / "out.csv").string();
  const char* exe = std::getenv("JOVTRACE_EXE");
  ASSERT_NE(exe, nullptr) << "JOVTRACE_EXE is not set";
  const std::tuple<std::string, int, const char*> cases[] = {  // arguments, exit code, a text of the output
      {"summary" + trace, 0, "A.Run"},
      {"summary" + trace + in("nothere.JOV_Log"), 2, "nothere.JOV_Log: no such file"},
      {"summary" + trace + in("notes.txt"), 0, "notes.txt:1: not a trace file"},
      {"summary --strict" + trace + in("notes.txt"), 2, "not a trace file"},
      {"summary --strict" + trace, 0, "A.Run"},
      {"summary --sort nonsense" + trace, 2, ""},
      {"--help", 0, "Examples:"},
      {"summary --csv -o '" + csv + "'" + in("*app.JOV_Log"), 0, ""},
  };
  for (const auto& [args, exitCode, says] : cases) {
    SCOPED_TRACE(args);
    std::FILE* pipe = ::popen((std::string(exe) + " " + args + " 2>&1").c_str(), "r");
    std::string out(1 << 16, '\0');
    out.resize(std::fread(out.data(), 1, out.size(), pipe));
    const int status = ::pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, exitCode) << out;
    EXPECT_NE(out.find(says), std::string::npos) << out;
  }
  std::ifstream file(csv);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}),
            "trace,routine,calls,total_ms,self_ms,mean_ms,median_ms,p95_ms,max_ms,errors,top_code,top_code_count\n"
            "app (pid 42),A.Run,1,2.500,2.500,2.500,2.500,2.500,2.500,0,,0\n");
  std::filesystem::remove_all(dir);
}
