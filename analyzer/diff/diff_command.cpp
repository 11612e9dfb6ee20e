// diff_command.cpp - `jovtrace diff`: the sides named on the command line, each read into its
// own sink through the reader (one name table, so routines match by name), then compared.
#include "analyzer/diff/diff_command.h"

#include <cstdio>

#include <CLI/CLI.hpp>
#include <fmt/format.h>

#include "analyzer/diff/diff_format.h"
#include "analyzer/diff/diff_page.h"
#include "analyzer/diff/diff_tree.h"
#include "analyzer/diff/sample_reservoir.h"
#include "analyzer/outputs/output_file.h"

namespace jov::analyzer::diff {
namespace {

// Reads one side; false (with the reason on standard error) for an input error.
bool ReadSide(const char* label, const std::vector<std::string>& inputs, const SideReader& read,
              NameTable& names, TraceSink& side) {
  const RunResult result = read(inputs, names, side);
  if (result.exitCode != 0) return false;
  if (result.traces == 0) {
    fmt::print(stderr, "{}: no trace to read\n", label);
    return false;
  }
  return true;
}

// The positional names complete whichever side the options left empty: both (BASE NEW), or
// the other one.
bool SortSides(const DiffCommandLine& line, const std::vector<std::string>& traces,
               std::vector<std::string>& base, std::vector<std::string>& next) {
  base = line.base;
  next = line.next;
  if (base.empty() && next.empty()) {
    if (traces.size() != 2) {
      fmt::print(stderr, "diff: name the base and the new run (BASE NEW, or --base and --new)\n");
      return false;
    }
    base.push_back(traces[0]);
    next.push_back(traces[1]);
  } else {
    auto& open = base.empty() ? base : next;
    open.insert(open.end(), traces.begin(), traces.end());
  }
  if (base.empty() || next.empty()) {
    fmt::print(stderr, "diff: the {} side names no trace\n", base.empty() ? "base" : "new");
    return false;
  }
  return true;
}

// What both the comparison and its page start from: the sides read, the renames parsed.
struct Prepared {
  std::vector<std::string> baseInputs, nextInputs;
  Renames renames;
  DiffSettings settings;
};

// Returns 0, or the exit code of an input error (its reason on standard error).
int Prepare(const DiffCommandLine& line, const std::vector<std::string>& traces,
            Prepared& prepared) {
  if (!SortSides(line, traces, prepared.baseInputs, prepared.nextInputs)) return 2;
  for (const std::string& rename : line.renames) {
    const auto at = rename.find('=');
    if (at == 0 || at == std::string::npos || at + 1 == rename.size()) {
      fmt::print(stderr, "--rename {}: expected OLD=NEW (Class.Routine names)\n", rename);
      return 2;
    }
    prepared.renames.emplace_back(rename.substr(0, at), rename.substr(at + 1));
  }
  prepared.settings = line.settings;
  prepared.settings.threshold = line.thresholdPercent / 100;
  ParseCorrection(line.correction, prepared.settings.correction);
  prepared.settings.metric = line.metric == "total" ? Metric::kTotal : Metric::kSelf;
  return 0;
}

}  // namespace

int RunDiff(const DiffCommandLine& line, const std::vector<std::string>& traces,
            const std::string& output, const SideReader& read) {
  Prepared prepared;
  if (const int code = Prepare(line, traces, prepared); code != 0) return code;
  NameTable names;
  DiffSide base(names), next(names);
  if (!ReadSide("base", prepared.baseInputs, read, names, base)) return 2;
  if (!ReadSide("new", prepared.nextInputs, read, names, next)) return 2;
  const DiffTable table = BuildDiff(base, next, names, prepared.renames, prepared.settings);

  const DiffFormat format = line.markdown ? DiffFormat::kMarkdown
                            : line.csv    ? DiffFormat::kCsv
                            : line.json   ? DiffFormat::kJson
                                          : DiffFormat::kTable;
  if (const int code = WriteOutput(output, [&](std::FILE* out) { WriteDiff(out, table, format); });
      code != 0) {
    return code;
  }
  if (line.failOn == "total") return table.RunSlower() ? 1 : 0;
  return table.Count(Verdict::kSlower) != 0 ? 1 : 0;
}

int RunDiffPage(const DiffCommandLine& line, const std::vector<std::string>& traces,
                const std::string& output, const SideReader& read) {
  Prepared prepared;
  if (const int code = Prepare(line, traces, prepared); code != 0) return code;
  NameTable names;
  DiffSide base(names), next(names);
  TreeSide baseTree, nextTree;
  SinkFanout baseSinks, nextSinks;
  baseSinks.Add(base);
  baseSinks.Add(baseTree);
  nextSinks.Add(next);
  nextSinks.Add(nextTree);
  if (!ReadSide("base", prepared.baseInputs, read, names, baseSinks)) return 2;
  if (!ReadSide("new", prepared.nextInputs, read, names, nextSinks)) return 2;
  const DiffTable table = BuildDiff(base, next, names, prepared.renames, prepared.settings);
  const std::vector<MergedNode> tree =
      MergeTrees(baseTree.Finished(), nextTree.Finished(), names, prepared.renames);
  return WriteOutput(output, [&](std::FILE* out) {
    WriteDiffPage(out, table, tree, prepared.baseInputs, prepared.nextInputs);
  });
}

CLI::App* AddDiffOptions(CLI::App& app, DiffCommandLine& line) {
  CLI::App* diff = app.add_subcommand(
      "diff",
      fmt::format(
          "Which routines got slower between two runs. Routines are matched by class and\n"
          "routine name; one found on one side only is listed as added or removed. Per routine:\n"
          "calls, total, self, mean, median, p95, max and non-zero return codes of both sides\n"
          "with the change, and a verdict from the per-call self times (durations with\n"
          "--metric total; so a slower callee leaves its callers unchanged): a Mann-Whitney\n"
          "rank test corrected over all routines tested, and an interval for the ratio of the\n"
          "medians (exact bootstrap). A routine is slower only when the corrected p is under\n"
          "--alpha, the interval lies wholly above +threshold and the median grew by more than\n"
          "--min-us; faster likewise. With fewer than {} calls on a side the verdict is\n"
          "\"too few calls\", which never fails the run. The test and the interval use at most\n"
          "{} calls per routine and side (a seeded uniform sample), so traces of any size are\n"
          "compared in bounded memory; the figures shown are the summary's own, of every call.\n"
          "Exit codes: 0 no routine slower; 1 a routine slower (--fail-on total: the self\n"
          "time of all routines grew beyond the threshold); 2 an input error; 3 the output\n"
          "could not be written.\n"
          "Examples:\n"
          "  jovtrace diff baseline/ run/ --markdown > diff.md   (a CI job: fails on exit 1)\n"
          "  jovtrace diff --base mon/ --base tue/ --new wed/ --metric total\n"
          "  jovtrace diff old.JOV_Log new.JOV_Log --rename Parser.Load=Parser.Open --csv",
          kMinCalls, SampleReservoir::kCapacity));
  // One value per occurrence, so that the positional names after an option stay positional.
  diff->add_option("--base", line.base, "a trace of the base side (repeatable; pooled)")
      ->allow_extra_args(false);
  diff->add_option("--new", line.next, "a trace of the new side (repeatable; pooled)")
      ->allow_extra_args(false);
  diff->add_option("--rename", line.renames,
                   "OLD=NEW: the base's routine OLD is the new run's NEW (repeatable)")
      ->allow_extra_args(false);
  diff->add_option("--alpha", line.settings.alpha,
                   "significance level of the corrected p; the interval covers 1 - alpha")
      ->check(CLI::Range(1e-9, 0.5))
      ->capture_default_str();
  diff->add_option("--threshold", line.thresholdPercent,
                   "percent the median ratio's interval must lie beyond")
      ->check(CLI::Range(0.0, 1000.0))
      ->capture_default_str();
  diff->add_option("--min-us", line.settings.minMicros, "microseconds the median must change by")
      ->check(CLI::Range(0.0, 1e12))
      ->capture_default_str();
  diff->add_option("--correction", line.correction,
                   "holm (family-wise error) or bh (Benjamini-Hochberg, false discovery rate)")
      ->check(CLI::IsMember({"holm", "bh"}))
      ->capture_default_str();
  diff->add_option("--metric", line.metric,
                   "self or total: the time per call tested, and rows ordered by its change")
      ->check(CLI::IsMember({"self", "total"}))
      ->capture_default_str();
  diff->add_option("--fail-on", line.failOn,
                   "routine: exit 1 when a routine is slower; total: when the whole run is")
      ->check(CLI::IsMember({"routine", "total"}))
      ->capture_default_str();
  auto* markdown = diff->add_flag("--markdown", line.markdown,
                                  "Markdown for a pull-request comment: regressions, "
                                  "improvements, the rest folded in <details>");
  auto* csv = diff->add_flag("--csv", line.csv, "comma-separated values, every figure");
  auto* json = diff->add_flag("--json", line.json, "JSON, every figure");
  markdown->excludes(csv)->excludes(json);
  csv->excludes(json);
  return diff;
}

}  // namespace jov::analyzer::diff
