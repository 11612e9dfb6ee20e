// generated_runs.cpp - the test's temporary folder, the command's arguments parsed by its own
// command line, its CSV read back.
#include "generated_runs.h"

#include <unistd.h>

#include <fstream>
#include <sstream>

#include <CLI/CLI.hpp>

#include "analyzer/diff/diff_command.h"

namespace difftest {
namespace {

const std::filesystem::path kFolder =
    std::filesystem::temp_directory_path() / ("jovtrace_diff_" + std::to_string(::getpid()));

// Removes the runs' folder when the tests end.
struct RemoveFolder {
  ~RemoveFolder() { std::filesystem::remove_all(kFolder); }
} removeFolder;

}  // namespace

std::filesystem::path Scratch(const std::string& name) { return kFolder / name; }

Compared Diff(const std::filesystem::path& base, const std::filesystem::path& next,
              const std::vector<std::string>& options) {
  const std::string csv = (base.parent_path() / "diff.csv").string();
  std::vector<std::string> args = {"jovtrace", "diff", "-q",          "--csv",
                                   "-o",       csv,    base.string(), next.string()};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  CLI::App app;
  jov::analyzer::diff::DiffCommandLine line;
  jov::analyzer::diff::AddDiffOptions(app, line);
  app.parse(static_cast<int>(argv.size()), argv.data());
  Compared result;
  result.exitCode = jov::analyzer::diff::RunDiff(line);
  std::ifstream in(csv);
  std::string row;
  std::getline(in, row);  // the heading
  while (std::getline(in, row)) {
    std::istringstream fields(row);
    std::string name, from, verdict;
    std::getline(fields, name, ',');
    std::getline(fields, from, ',');
    std::getline(fields, verdict, ',');
    result.verdicts[name] = verdict;
    if (!from.empty()) result.renamedFrom[name] = from;
  }
  return result;
}

}  // namespace difftest
