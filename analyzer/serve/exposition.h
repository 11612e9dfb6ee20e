// exposition.h - the metric store written as Prometheus reads it: the text format 0.0.4 or
// OpenMetrics 1.0.0 text, chosen by the scraper's Accept header. Every family has its HELP
// and TYPE lines; names carry base units and `_total` on counters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "analyzer/serve/metric_store.h"

namespace jov::analyzer::serve {

enum class ExpositionFormat { kText004, kOpenMetrics };

// OpenMetrics when the Accept header prefers it (as Prometheus asks), else text 0.0.4.
ExpositionFormat NegotiateFormat(std::string_view accept);
// The Content-Type of a format.
const char* ContentType(ExpositionFormat format);

// The exporter's own figures, beside what the store holds.
struct ExporterFigures {
  std::uint64_t tracesEnded = 0;
  std::uint64_t tailErrors = 0;
  std::uint64_t filesNotTraces = 0;
  std::uint64_t scrapes = 0;
  double startTime = 0;  // Unix seconds
};

// Writes every series into `out` (replaced). Its cost grows with the series, not with the
// lines read. `now` ages the open calls.
void WriteExposition(const MetricStore& store, const ExporterFigures& exporter,
                     ExpositionFormat format, SteadyClock::time_point now, std::string& out);

// Unix seconds of a trace clock (the writer's local time, read on the same machine).
double UnixSecondsOfTraceClock(Micros clock);

}  // namespace jov::analyzer::serve
