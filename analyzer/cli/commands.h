// commands.h - jovtrace's subcommands: each adds its options to the command line and
// returns what runs it once the line is parsed.
#pragma once

#include <functional>

#include <CLI/CLI.hpp>

namespace jov::analyzer {

// A subcommand on the command line, and what runs it once parsed (returns the exit code).
struct Command {
  CLI::App* app;
  std::function<int()> run;
};

Command AddSummaryCommand(CLI::App& app);
// `tree` and `folded`: two views of the merged call tree.
Command AddTreeCommand(CLI::App& app);
Command AddFoldedCommand(CLI::App& app);
Command AddChromeCommand(CLI::App& app);
// `report`, and with --base the comparison's page.
Command AddReportCommand(CLI::App& app);
// `diff`: two runs compared routine by routine (analyzer/diff/).
Command AddDiffCommand(CLI::App& app);
// `follow`: a trace watched while it is written (analyzer/follow/).
Command AddFollowCommand(CLI::App& app);

}  // namespace jov::analyzer
