// diff_command.h - the `jovtrace diff` subcommand: its options on the command line, the two
// sides read, compared and written out, and the exit code a CI job acts on.
#pragma once

#include <string>
#include <vector>

#include "analyzer/diff/diff_table.h"

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

// Exit codes: 0 nothing slower; 1 a routine slower (with --fail-on total: the whole run's
// self time grew beyond the threshold); 2 an input error; 3 the output could not be written.
int RunDiff(const DiffCommandLine& line);

// `jovtrace report --base BASE NEW`: the comparison as a page (diff_page.h), written to
// `line.output` or standard output. Exit codes: 0 written; 2 an input error; 3 not written.
int RunDiffPage(const DiffCommandLine& line);

// Adds the subcommand to `app`; its values land in `line`.
CLI::App* AddDiffCommand(CLI::App& app, DiffCommandLine& line);

}  // namespace jov::analyzer::diff
