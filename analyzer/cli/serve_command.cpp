// serve_command.cpp - `jovtrace serve`: its options and help, and the run in a console or,
// when the service control manager started the program, as a Windows service.
#include "analyzer/cli/serve_command.h"

#include <memory>
#include <string>

#include "analyzer/cli/command_run.h"
#include "analyzer/serve/serve_run.h"
#include "analyzer/serve/windows_service.h"

namespace jov::analyzer {
namespace {

constexpr char kDescription[] =
    "Serves every trace under the paths named as Prometheus metrics: the traces there at\n"
    "start (counted from their end; --from-start reads them whole) and each new one as it\n"
    "appears; a size limit's next file goes on in its process's series.\n"
    "GET /metrics (text format 0.0.4, or OpenMetrics when the scraper asks for it), GET / (what\n"
    "is followed), GET /healthz. Nothing else is served; nothing read or changed through HTTP.\n"
    "Per program and routine: jovtrace_routine_calls_total, _errors_total (non-zero return\n"
    "codes), _self_seconds_total and the histogram jovtrace_routine_duration_seconds; per\n"
    "thread its innermost open call's age, jovtrace_open_call_seconds; per process the lines\n"
    "read, unreadable lines, the latest line's time and the memory counters.\n"
    "--listen 0.0.0.0:PORT exposes routine, user and program names to the network, without\n"
    "authentication. On Windows it also runs as a service (sc.exe create ... binPath= \"...\\\n"
    "jovtrace.exe serve C:\\logs\"). Ctrl-C stops it.\n"
    "Exit codes: 0 stopped; 2 a bad option, a missing path, or an address in use.\n"
    "Example: jovtrace serve C:\\logs --listen 127.0.0.1:9471";

}  // namespace

Command AddServeCommand(CLI::App& app) {
  auto options = std::make_shared<serve::ServeOptions>();
  CLI::App* command = app.add_subcommand("serve", kDescription);
  command->add_option("paths", options->inputs, "trace files, folders or wildcards")->required();
  command->add_option("--listen", options->listen,
                      std::string("HOST:PORT to serve on (default ") + serve::kDefaultListen + ")");
  command->add_flag("--from-start", options->fromStart,
                    "read the traces there at start whole, not from their end");
  command->add_option("--buckets", options->buckets,
                      "the duration histogram's upper bounds in seconds, comma-separated "
                      "(default 100 us to 60 s)");
  command
      ->add_option("--max-routines", options->maxRoutines,
                   "routines per program with series of their own; the rest count as "
                   "routine=\"(other)\" (default 1000)")
      ->check(CLI::Range(1, 1000000));
  command
      ->add_option("--retain", options->retainSeconds,
                   "seconds the series of a process stay after its trace ended (default 300)")
      ->check(CLI::Range(0.0, 31536000.0));
  auto codePage = std::make_shared<unsigned>(kDefaultCodePage);
  AddCodePageOption(*command, *codePage);
  return {command, [options, codePage] {
            options->decoder = DecoderFor(*codePage);
            const serve::ServiceBody body = [options](serve::StopSignal& stop,
                                                      const std::function<void()>& listening) {
              return serve::RunServe(*options, stop, listening);
            };
            int code = 0;
            if (serve::RunAsWindowsService(body, code)) return code;
            serve::StopSignal stop;
            serve::StopSignal::CatchInterrupts();
            return body(stop, nullptr);
          }};
}

}  // namespace jov::analyzer
