// jovtrace_main.cpp - the jovtrace command: reads trace files back and writes a summary per
// routine, the merged call tree, a timeline for Perfetto or folded stacks. The command line
// and the terminal are handled here; everything else is the reader's core.
#include <cstdio>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "analyzer/byte_source.h"
#include "analyzer/chrome_writer.h"
#include "analyzer/diff/diff_command.h"
#include "analyzer/progress_bar.h"
#include "analyzer/report/report_writer.h"
#include "analyzer/run.h"
#include "analyzer/summary_sink.h"
#include "analyzer/tree_sink.h"

namespace {

constexpr char kDescription[] =
    "jovtrace reads the trace files of JOVUtil32 (file traces, chains of files that a size\n"
    "limit made, wrap-trace dumps) back as figures per routine, a call tree, a timeline or\n"
    "folded stacks. Directories and wildcards expand to the *.JOV_Log files in them.\n\n"
    "Examples:\n"
    "  jovtrace summary logs/\n"
    "  jovtrace tree --min-percent 1 \"logs/261203 221530 batch.JOV_Log\"\n"
    "  jovtrace chrome logs/ -o batch.json     (open in ui.perfetto.dev or chrome://tracing)\n"
    "  jovtrace folded logs/ > batch.folded    (input of flame-graph tools)\n"
    "  jovtrace report logs/ -o batch.html     (one page: table, flame graph, timeline)\n"
    "  jovtrace diff baseline/ run/            (which routines got slower; exit 1 if any)\n\n"
    "Exit codes: 0 done; 2 an input is missing, or --strict and a line could not be read\n"
    "(diff also: 1 a routine got slower; 3 its output could not be written).";

struct Common {
  std::vector<std::string> inputs;
  std::string output;
  bool strict = false;
  bool quiet = false;
};

void AddCommon(CLI::App& command, Common& common) {
  command.add_option("traces", common.inputs, "trace files, directories or wildcards")
      ->required();
  command.add_option("-o,--output", common.output, "write to this file instead of standard output");
  command.add_flag("--strict", common.strict,
                   "treat any line that cannot be read as an error (exit code 2)");
  command.add_flag("-q,--quiet", common.quiet, "no progress bar");
}

// Standard output, or the file named by -o; null with a message when it cannot be opened.
std::FILE* OpenOutput(const std::string& path) {
  if (path.empty()) return stdout;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) std::fprintf(stderr, "%s: cannot write the file\n", path.c_str());
  return file;
}

jovtrace::RunResult Read(const Common& common, jovtrace::NameTable& names,
                         jovtrace::TraceSink& sink) {
  jovtrace::FileOpener opener;
  jovtrace::RunOptions options;
  options.inputs = common.inputs;
  options.strict = common.strict;
  jovtrace::ProgressBar bar(stderr);
  if (!common.quiet && bar.Wanted()) {
    options.progress = [&bar](std::uint64_t done, std::uint64_t total) { bar.Show(done, total); };
  }
  jovtrace::RunResult result = jovtrace::Run(options, names, sink, opener, stderr);
  bar.Done();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(kDescription, "jovtrace");
  app.require_subcommand(1);

  Common summaryOptions;
  std::string sortKey = "total";
  bool csv = false;
  CLI::App* summary = app.add_subcommand(
      "summary",
      "One row per routine: calls, total, self time, mean, median, 95th percentile and max "
      "duration, non-zero return codes and the most frequent one.\nThe median and the 95th "
      "percentile come from a sketch in bounded memory: within 1 % of the true value.\n"
      "Example: jovtrace summary --sort self logs/");
  AddCommon(*summary, summaryOptions);
  summary->add_option("--sort", sortKey, "total, self, calls, mean, median, p95, max, errors or name")
      ->check(CLI::IsMember({"total", "self", "calls", "mean", "median", "p95", "max", "errors", "name"}));
  summary->add_flag("--csv", csv, "comma-separated values with a trace column");

  Common treeOptions;
  double minPercent = 0;
  CLI::App* tree = app.add_subcommand(
      "tree", "The call tree merged by path, with calls, total and self time.\n"
              "Example: jovtrace tree --min-percent 1 logs/");
  AddCommon(*tree, treeOptions);
  tree->add_option("--min-percent", minPercent, "leave out routines below this share of the time")
      ->check(CLI::Range(0.0, 100.0));

  Common chromeOptions;
  CLI::App* chrome = app.add_subcommand(
      "chrome", "Trace Event Format JSON for Perfetto's UI or Chromium's tracing page: one "
                "slice per routine call on its thread, texts as instants, memory lines as "
                "counters.\nExample: jovtrace chrome logs/ -o batch.json");
  AddCommon(*chrome, chromeOptions);

  Common foldedOptions;
  bool totalWeight = false;
  CLI::App* folded = app.add_subcommand(
      "folded", "Folded stacks (A;B;C microseconds of self time) for flame-graph tools.\n"
                "Example: jovtrace folded logs/ > batch.folded");
  AddCommon(*folded, foldedOptions);
  folded->add_flag("--total", totalWeight, "weigh stacks by total instead of self time");

  Common reportOptions;
  CLI::App* report = app.add_subcommand(
      "report", "One self-contained HTML page (nothing to install, nothing fetched): the "
                "trace's facts, the summary table, a flame graph of the call tree and a "
                "timeline per thread with the memory counters.\n"
                "Example: jovtrace report logs/ -o batch.html");
  AddCommon(*report, reportOptions);
  std::vector<std::string> reportBase;
  report->add_option("--base", reportBase,
                     "compare with this base run (repeatable): a page of the routines' changes "
                     "and a differential flame graph; the traces named are the new run.\n"
                     "Example: jovtrace report --base baseline/ run/ -o diff.html")
      ->allow_extra_args(false);

  jov::analyzer::diff::DiffCommandLine diffLine;
  CLI::App* diff = jov::analyzer::diff::AddDiffCommand(app, diffLine);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  if (diff->parsed()) return jov::analyzer::diff::RunDiff(diffLine);

  jovtrace::NameTable names;
  jovtrace::RunResult result;
  if (summary->parsed()) {
    std::FILE* out = OpenOutput(summaryOptions.output);
    if (out == nullptr) return 2;
    jovtrace::SummarySink sink(names);
    result = Read(summaryOptions, names, sink);
    jovtrace::SummarySort sort = jovtrace::SummarySort::kTotal;
    jovtrace::ParseSummarySort(sortKey, sort);
    sink.Sort(sort);
    if (csv) {
      jovtrace::WriteSummaryCsv(out, sink, names);
    } else {
      jovtrace::WriteSummaryTable(out, sink, names);
    }
    if (out != stdout) std::fclose(out);
  } else if (tree->parsed() || folded->parsed()) {
    const Common& common = tree->parsed() ? treeOptions : foldedOptions;
    std::FILE* out = OpenOutput(common.output);
    if (out == nullptr) return 2;
    jovtrace::TreeSink sink;
    result = Read(common, names, sink);
    if (tree->parsed()) {
      jovtrace::WriteTreeText(out, sink, names, minPercent);
    } else {
      jovtrace::WriteFolded(out, sink, names,
                            totalWeight ? jovtrace::FoldedWeight::kTotal : jovtrace::FoldedWeight::kSelf);
    }
    if (out != stdout) std::fclose(out);
  } else if (chrome->parsed()) {
    std::FILE* out = OpenOutput(chromeOptions.output);
    if (out == nullptr) return 2;
    {
      jovtrace::ChromeWriter sink(out, names);
      result = Read(chromeOptions, names, sink);
    }
    if (out != stdout) std::fclose(out);
  } else if (report->parsed() && !reportBase.empty()) {
    diffLine.base = reportBase;
    diffLine.traces = reportOptions.inputs;
    diffLine.output = reportOptions.output;
    diffLine.strict = reportOptions.strict;
    diffLine.quiet = reportOptions.quiet;
    return jov::analyzer::diff::RunDiffPage(diffLine);
  } else if (report->parsed()) {
    std::FILE* out = OpenOutput(reportOptions.output);
    if (out == nullptr) return 2;
    jovtrace::ReportWriter sink(out, names);
    result = Read(reportOptions, names, sink);
    const bool written = sink.Finish() && (out == stdout || std::fclose(out) == 0);
    if (!written) {
      std::fprintf(stderr, "%s: the report could not be written in full\n",
                   reportOptions.output.empty() ? "standard output" : reportOptions.output.c_str());
      return 2;
    }
  }
  return result.exitCode;
}
