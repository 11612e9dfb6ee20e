// commands.cpp - each subcommand: its options, its sink and what it writes once the inputs
// are read. The output goes through RunWithOutput, which checks it (the comparison's through
// the same OutputFile, once both sides are read).
#include "analyzer/cli/commands.h"

#include <memory>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "analyzer/cli/command_run.h"
#include "analyzer/diff/diff_command.h"
#include "analyzer/follow/follow_command.h"
#include "analyzer/model/duration_histogram.h"
#include "analyzer/outputs/chrome_writer.h"
#include "analyzer/outputs/report/report_writer.h"
#include "analyzer/outputs/summary_format.h"
#include "analyzer/outputs/summary_sink.h"
#include "analyzer/outputs/tree_sink.h"

namespace jov::analyzer {
namespace {

// A subcommand's options live as long as the command line; the run refers to them.
template <typename Options>
std::shared_ptr<Options> Add(CLI::App& app, const char* name, const char* description,
                             CLI::App*& command) {
  auto options = std::make_shared<Options>();
  command = app.add_subcommand(name, description);
  AddCommonOptions(*command, options->common);
  return options;
}

// A subcommand with the common options alone whose sink writes while it reads
// (`Writer(out, names)`), its document ended by `end`.
template <typename Writer, typename End>
Command AddWriterCommand(CLI::App& app, const char* name, const char* description, End end) {
  struct Options {
    CommonOptions common;
  };
  CLI::App* command = nullptr;
  auto options = Add<Options>(app, name, description, command);
  return {command, [options, end] {
            return RunWithOutput(options->common, [&](std::FILE* out, NameTable& names) {
              Writer sink(out, names);
              const RunResult result = ReadInputs(options->common, names, sink);
              end(sink);
              return result;
            });
          }};
}

// The sides of a comparison read as every subcommand reads its inputs (--strict, --quiet,
// the progress bar): the command's common options with each side's names.
diff::SideReader SideReader(const CommonOptions& common) {
  return [&common](const std::vector<std::string>& inputs, NameTable& names, TraceSink& sink) {
    CommonOptions side = common;
    side.inputs = inputs;
    return ReadInputs(side, names, sink);
  };
}

}  // namespace

Command AddSummaryCommand(CLI::App& app) {
  struct Options {
    CommonOptions common;
    std::string sort = "total";
    bool csv = false;
  };
  CLI::App* command = nullptr;
  const std::string description = fmt::format(
      "One row per routine: calls, total, self time, mean, median, 95th percentile and max "
      "duration, non-zero return codes and the most frequent one.\nThe median and the 95th "
      "percentile are nearest-rank, from a histogram of the durations in bounded memory: exact "
      "below {} us, else within {:.3g} % of the true value (clamped to the smallest and largest "
      "duration). report, diff and follow print the same figures.\n"
      "Example: jovtrace summary --sort self logs/",
      DurationHistogram::kExactBelow, 100 * DurationHistogram::kRelativeError);
  auto options = Add<Options>(app, "summary", description.c_str(), command);
  command
      ->add_option("--sort", options->sort,
                   "total, self, calls, mean, median, p95, max, errors or name")
      ->check(CLI::IsMember(
          {"total", "self", "calls", "mean", "median", "p95", "max", "errors", "name"}));
  command->add_flag("--csv", options->csv, "comma-separated values with a trace column");
  return {command, [options] {
            return RunWithOutput(options->common, [&](std::FILE* out, NameTable& names) {
              SummarySink sink(names);
              const RunResult result = ReadInputs(options->common, names, sink);
              SummarySort sort = SummarySort::kTotal;
              ParseSummarySort(options->sort, sort);
              sink.Sort(sort);
              if (options->csv) {
                WriteSummaryCsv(out, sink, names);
              } else {
                WriteSummaryTable(out, sink, names);
              }
              return result;
            });
          }};
}

Command AddTreeCommand(CLI::App& app) {
  struct Options {
    CommonOptions common;
    double minPercent = 0;
  };
  CLI::App* command = nullptr;
  auto options = Add<Options>(app, "tree",
                              "The call tree merged by path, with calls, total and self time.\n"
                              "Example: jovtrace tree --min-percent 1 logs/",
                              command);
  command
      ->add_option("--min-percent", options->minPercent,
                   "leave out routines below this share of the time")
      ->check(CLI::Range(0.0, 100.0));
  return {command, [options] {
            return RunWithOutput(options->common, [&](std::FILE* out, NameTable& names) {
              TreeSink sink;
              const RunResult result = ReadInputs(options->common, names, sink);
              WriteTreeText(out, sink, names, options->minPercent);
              return result;
            });
          }};
}

Command AddFoldedCommand(CLI::App& app) {
  struct Options {
    CommonOptions common;
    bool total = false;
  };
  CLI::App* command = nullptr;
  auto options =
      Add<Options>(app, "folded",
                   "Folded stacks (A;B;C microseconds of self time) for flame-graph tools.\n"
                   "Example: jovtrace folded logs/ > batch.folded",
                   command);
  command->add_flag("--total", options->total, "weigh stacks by total instead of self time");
  return {command, [options] {
            return RunWithOutput(options->common, [&](std::FILE* out, NameTable& names) {
              TreeSink sink;
              const RunResult result = ReadInputs(options->common, names, sink);
              WriteFolded(out, sink, names,
                          options->total ? FoldedWeight::kTotal : FoldedWeight::kSelf);
              return result;
            });
          }};
}

Command AddChromeCommand(CLI::App& app) {
  return AddWriterCommand<ChromeWriter>(
      app, "chrome",
      "Trace Event Format JSON for Perfetto's UI or Chromium's tracing page: one slice per "
      "routine call on its thread, texts as instants, memory lines as counters.\n"
      "Example: jovtrace chrome logs/ -o batch.json",
      [](ChromeWriter& writer) { writer.Close(); });
}

Command AddReportCommand(CLI::App& app) {
  struct Options {
    CommonOptions common;
    std::vector<std::string> base;
  };
  CLI::App* command = nullptr;
  auto options = Add<Options>(
      app, "report",
      "One self-contained HTML page (nothing to install, nothing fetched): the trace's facts, "
      "the summary table, a flame graph of the call tree and a timeline per thread with the "
      "memory counters.\nExample: jovtrace report logs/ -o batch.html",
      command);
  command
      ->add_option("--base", options->base,
                   "compare with this base run (repeatable): a page of the routines' changes "
                   "and a differential flame graph; the traces named are the new run.\n"
                   "Example: jovtrace report --base baseline/ run/ -o diff.html")
      ->allow_extra_args(false);
  return {command, [options] {
            const CommonOptions& common = options->common;
            if (!options->base.empty()) {
              diff::DiffCommandLine line;
              line.base = options->base;
              return diff::RunDiffPage(line, common.inputs, common.output, SideReader(common));
            }
            return RunWithOutput(common, [&](std::FILE* out, NameTable& names) {
              ReportWriter sink(out, names);
              const RunResult result = ReadInputs(common, names, sink);
              sink.Finish();
              return result;
            });
          }};
}

Command AddDiffCommand(CLI::App& app) {
  struct Options {
    CommonOptions common;
    diff::DiffCommandLine line;
  };
  auto options = std::make_shared<Options>();
  CLI::App* command = diff::AddDiffOptions(app, options->line);
  AddCommonOptions(*command, options->common);
  // The sides may come from --base and --new alone.
  command->get_option("traces")->required(false)->description(diff::kDiffTracesHelp);
  return {command, [options] {
            const CommonOptions& common = options->common;
            return diff::RunDiff(options->line, common.inputs, common.output, SideReader(common));
          }};
}

Command AddFollowCommand(CLI::App& app) {
  auto options = std::make_shared<FollowOptions>();
  CLI::App* command = app.add_subcommand("follow", kFollowDescription);
  command->add_option("trace", options->trace, "a trace file, or a directory: its newest trace")
      ->required();
  command->add_option("--interval", options->interval, "seconds between screens (default 1)")
      ->check(CLI::Range(0.1, 10.0));
  command
      ->add_option("--window", options->window,
                   "seconds of the routines' window: calls, errors, mean, p95 (default 10)")
      ->check(CLI::Range(1.0, 86400.0));
  command->add_flag("--once", options->once, "print one snapshot of what is there and exit");
  auto codePage = std::make_shared<unsigned>(kDefaultCodePage);
  AddCodePageOption(*command, *codePage);
  return {command, [options, codePage] {
            options->decoder = DecoderFor(*codePage);
            // The screen goes to standard output, checked as every subcommand's output is.
            int code = 0;
            const int written =
                WriteOutput("", [&](std::FILE* out) { code = RunFollow(*options, out); });
            return written != 0 ? written : code;
          }};
}

}  // namespace jov::analyzer
