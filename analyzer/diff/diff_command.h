// diff_command.h - the `jovtrace diff` subcommand: its own options on the command line, the
// two sides read, compared and written out, and the exit code a CI job acts on.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "analyzer/diff/diff_table.h"
#include "analyzer/model/name_table.h"
#include "analyzer/model/run.h"
#include "analyzer/model/trace_model.h"

namespace CLI {
class App;
}

namespace jov::analyzer::diff {

// The comparison's own options. What it shares with every subcommand (the positional names,
// -o, --strict, --quiet) stays with the command's common options (cli/command_run.h), which
// the command hands in as the names, the output and the reader of the sides.
struct DiffCommandLine {
  std::vector<std::string> base;
  std::vector<std::string> next;
  std::vector<std::string> renames;  // "OLD=NEW"
  std::string correction = "holm";
  std::string metric = "self";
  std::string failOn = "routine";
  double thresholdPercent = 5;
  DiffSettings settings;
  bool markdown = false, csv = false, json = false;
};

// Reads one side's traces into `sink`, as the command reads the inputs of every subcommand.
using SideReader = std::function<RunResult(const std::vector<std::string>& inputs, NameTable& names,
                                           TraceSink& sink)>;

// `traces` are the positional names: BASE NEW, or the side --base or --new leaves open.
// Exit codes: 0 nothing slower; 1 a routine slower (with --fail-on total: the whole run's
// self time grew beyond the threshold); 2 an input error; 3 the output could not be written.
// The output (`output`, empty: standard output) is written through the checked OutputFile
// once both sides are read.
int RunDiff(const DiffCommandLine& line, const std::vector<std::string>& traces,
            const std::string& output, const SideReader& read);

// `jovtrace report --base BASE NEW`: the comparison as a page (diff_page.h), written to
// `output` or standard output. Exit codes: 0 written; 2 an input error; 3 not written.
int RunDiffPage(const DiffCommandLine& line, const std::vector<std::string>& traces,
                const std::string& output, const SideReader& read);

// Adds the subcommand with its own options to `app`; their values land in `line`. The
// command adds the common ones.
CLI::App* AddDiffOptions(CLI::App& app, DiffCommandLine& line);

// What the positional names of `diff` are, for the command's help.
inline constexpr char kDiffTracesHelp[] =
    "BASE NEW (files, directories or wildcards), or the side that --base or --new leaves open";

}  // namespace jov::analyzer::diff
