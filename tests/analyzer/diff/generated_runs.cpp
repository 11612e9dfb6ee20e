// generated_runs.cpp - a run's trace written through the generator's line formats; the test's
// temporary folder; the diff command's own options parsed by its command line, its CSV read
// back.
#include "generated_runs.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <CLI/CLI.hpp>

#include "analyzer/diff/diff_command.h"
#include "analyzer/input/file_source.h"
#include "analyzer/generator/trace_lines.h"

namespace difftest {
namespace {

const std::filesystem::path kFolder =
    std::filesystem::temp_directory_path() / ("jovtrace_diff_" + std::to_string(::getpid()));

// Removes the runs' folder when the tests end.
struct RemoveFolder {
  ~RemoveFolder() { std::filesystem::remove_all(kFolder); }
} removeFolder;

}  // namespace

std::filesystem::path GeneratedRun(const std::filesystem::path& dir,
                                   const std::vector<Routine>& routines, std::uint32_t seed,
                                   double sigma) {
  std::mt19937 random(seed);
  std::normal_distribution<double> normal(0, 1);
  std::vector<std::size_t> order;
  for (std::size_t r = 0; r < routines.size(); ++r) order.insert(order.end(), routines[r].calls, r);
  std::shuffle(order.begin(), order.end(), random);
  jov::generator::Script s(2026, 12, 3, (22LL * 3600 + 15 * 60) * 1000000);
  s.Open(4242, 100, "C:\\runs\\261203 221500 batch.JOV_Log");
  s.Push("Batch.Run");
  for (const std::size_t r : order) {
    s.Advance(7);
    s.Push(routines[r].name);
    s.Advance(
        std::llround(routines[r].medianUs * routines[r].factor * std::exp(sigma * normal(random))));
    s.Pop(-1, 0);
  }
  s.Pop(-1, 0);
  s.Text("Trace Closed.");
  std::filesystem::create_directories(dir);
  std::ofstream out(dir / "261203 221500 batch.JOV_Log", std::ios::binary);
  if (!(out << s.Content())) throw std::runtime_error("cannot write " + dir.string());
  return dir;
}

std::filesystem::path Scratch(const std::string& name) { return kFolder / name; }

Compared Diff(const std::filesystem::path& base, const std::filesystem::path& next,
              const std::vector<std::string>& options) {
  std::vector<std::string> args = {"jovtrace", "diff", "--csv"};
  args.insert(args.end(), options.begin(), options.end());
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  CLI::App app;
  jov::analyzer::diff::DiffCommandLine line;
  jov::analyzer::diff::AddDiffOptions(app, line);
  app.parse(static_cast<int>(argv.size()), argv.data());
  // The sides read quietly, as the command reads them without a progress bar.
  const auto read = [](const std::vector<std::string>& inputs, jov::analyzer::NameTable& names,
                       jov::analyzer::TraceSink& sink) {
    jov::analyzer::FileOpener opener;
    return jov::analyzer::Run({inputs, false, {}, {}}, names, sink, opener, stderr);
  };
  const std::string csv = (base.parent_path() / "diff.csv").string();
  Compared result;
  result.exitCode = jov::analyzer::diff::RunDiff(line, {base.string(), next.string()}, csv, read);
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
