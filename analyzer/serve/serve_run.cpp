// serve_run.cpp - the reading loop of `jovtrace serve`: new traces looked for every second,
// every followed trace read a piece at a time (the lock let go between pieces, so a scrape
// waits for one piece at most), and a short sleep once all are at their end.
#include "analyzer/serve/serve_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <mutex>

#include "analyzer/serve/exposition.h"
#include "analyzer/serve/http_endpoint.h"
#include "analyzer/serve/status_page.h"

namespace jov::analyzer::serve {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kDiscoverEvery{1000};
// The sleep once every trace is at its end: short after lines came, doubling while all stay
// quiet up to two seconds (the open calls age at each scrape all the same), so that a quiet
// machine costs next to nothing however many traces it follows.
constexpr milliseconds kFirstWait{100};
constexpr milliseconds kLongestWait{2000};

double UnixNow() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

}  // namespace

int RunServe(const ServeOptions& options, StopSignal& stop,
             const std::function<void()>& listening) {
  std::string host, error;
  int port = 0;
  StoreLimits limits;
  limits.maxRoutines = options.maxRoutines;
  limits.retain = std::chrono::seconds(static_cast<long long>(options.retainSeconds));
  if (!ParseListen(options.listen, host, port, error) ||
      !ParseBuckets(options.buckets, limits.buckets, error) ||
      !CheckInputs(options.inputs, error)) {
    std::fprintf(stderr, "jovtrace serve: %s\n", error.c_str());
    return 2;
  }

  std::mutex lock;
  NameTable names;
  MetricStore store(limits, names);
  TraceWatch watch(options.inputs, options.fromStart ? StartAt::kStart : StartAt::kEnd,
                   options.decoder, store, names, lock);
  ExporterFigures exporter;
  exporter.startTime = UnixNow();

  Pages pages;
  pages.metrics = [&](std::string_view accept, std::string& type) {
    const ExpositionFormat format = NegotiateFormat(accept);
    type = ContentType(format);
    std::string body;
    std::lock_guard<std::mutex> guard(lock);
    ++exporter.scrapes;
    exporter.tracesEnded = watch.TracesEnded();
    exporter.tailErrors = watch.TailErrors();
    exporter.filesNotTraces = watch.NotTraces();
    WriteExposition(store, exporter, format, SteadyClock::now(), body);
    return body;
  };
  pages.status = [&] {
    std::lock_guard<std::mutex> guard(lock);
    return StatusPage(watch.Inputs(), watch.Followed(), watch.NotTraces());
  };
  HttpEndpoint endpoint(pages);
  if (!endpoint.Bind(host, port, error)) {
    std::fprintf(stderr, "jovtrace serve: %s\n", error.c_str());
    return 2;
  }
  endpoint.Start();
  std::fprintf(stderr, "jovtrace serve: serving http://%s:%d/metrics\n", host.c_str(), port);
  if (listening) listening();

  auto nextDiscovery = SteadyClock::now();
  milliseconds wait = kFirstWait;
  while (!stop.Requested()) {
    if (SteadyClock::now() >= nextDiscovery) {
      watch.Discover();
      nextDiscovery = SteadyClock::now() + kDiscoverEvery;
    }
    switch (watch.Poll()) {
      case TraceWatch::Progress::kBehind:
        continue;  // read on at once
      case TraceWatch::Progress::kRead:
        wait = kFirstWait;
        break;
      case TraceWatch::Progress::kQuiet:
        break;
    }
    stop.WaitFor(wait);
    wait = std::min(wait * 2, kLongestWait);
  }
  endpoint.Stop();
  return 0;
}

}  // namespace jov::analyzer::serve
