// main.cpp - the jovtrace command: reads trace files back and writes a summary per routine,
// the merged call tree, folded stacks, a timeline for Perfetto, a report page or the
// comparison of two runs. The subcommands are in commands.cpp; everything else is the
// reader's core.
#include <csignal>

#include <CLI/CLI.hpp>

#include "analyzer/cli/commands.h"
#include "analyzer/cli/serve_command.h"

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
    "  jovtrace follow logs/                   (live: open calls per thread, routines)\n"
    "  jovtrace diff baseline/ run/            (which routines got slower; exit 1 if any)\n"
    "  jovtrace serve logs/                    (Prometheus metrics of every trace, live)\n\n"
    "Exit codes: 0 done; 2 an input is missing, or --strict and a line could not be read;\n"
    "3 the output could not be written (the reason is printed; a file named by -o is then\n"
    "left as it was); diff also: 1 a routine got slower.";

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGPIPE
  // A reader that closes the pipe early shows up as a failed write (EPIPE), which the
  // output's check takes as the end of the output rather than as an error.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  CLI::App app(kDescription, "jovtrace");
  app.require_subcommand(1);
  namespace analyzer = jov::analyzer;
  const analyzer::Command commands[] = {
      analyzer::AddSummaryCommand(app), analyzer::AddTreeCommand(app),
      analyzer::AddChromeCommand(app),  analyzer::AddFoldedCommand(app),
      analyzer::AddReportCommand(app),  analyzer::AddFollowCommand(app),
      analyzer::AddDiffCommand(app),    analyzer::AddServeCommand(app),
  };
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }
  for (const analyzer::Command& command : commands) {
    if (command.app->parsed()) return command.run();
  }
  return 2;
}
