// diff_command.h - the `jovtrace diff` subcommand: its options on the command line, the two
// sides read, compared and written out, and the exit code a CI job acts on.
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

struct DiffCommandLine {
  std::vector<std::string> traces;  // positional: BASE NEW, or the side not given by option
  std::vector<std::string> base;
  std::vector<std::string> next;
  std::vector<std::string> renames;  // "OLD=NEW"
  std::string output;
  std::string correction = "holm";
  std::string metric = "self";
  std::string failOn = "routine";
  double thresholdPercent = 5;
  DiffSettings settings;
  bool markdown = false, csv = false, json = false;
  bool strict = false, quiet = false;
};

// Reads one side's traces into `sink`. The command's reading shows the progress bar
// (cli/command_run.h); without one, the traces are read quietly.
using SideReader = std::function<RunResult(const std::vector<std::string>& inputs, NameTable& names,
                                           TraceSink& sink)>;

// Exit codes: 0 nothing slower; 1 a routine slower (with --fail-on total: the whole run's
// self time grew beyond the threshold); 2 an input error; 3 the output could not be written.
// The output goes through the checked OutputFile once both sides are read.
int RunDiff(const DiffCommandLine& line, const SideReader& read = {});

// `jovtrace report --base BASE NEW`: the comparison as a page (diff_page.h), written to
// `line.output` or standard output. Exit codes: 0 written; 2 an input error; 3 not written.
int RunDiffPage(const DiffCommandLine& line, const SideReader& read = {});

// Adds the subcommand with its options to `app`; their values land in `line`.
CLI::App* AddDiffOptions(CLI::App& app, DiffCommandLine& line);

}  // namespace jov::analyzer::diff
