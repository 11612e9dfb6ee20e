// summary_format.h - the summary as an aligned table per trace or as CSV with a trace
// column, and the few lines that name a trace and its facts.
#pragma once

#include <cstdio>
#include <string>

#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"
#include "analyzer/outputs/summary_sink.h"

namespace jov::analyzer {

void WriteSummaryTable(std::FILE* out, const SummarySink& summary, const NameTable& names);
void WriteSummaryCsv(std::FILE* out, const SummarySink& summary, const NameTable& names);
// Microseconds as milliseconds with three decimals ("2.515"): every time the summary and the
// comparison print.
std::string Millis(double micros);
// The time of day of a trace time: "22:15:30.004".
std::string ClockText(Micros time);
// The facts of a trace in a few lines (header of the table and of the tree).
std::string TraceHeading(const TraceInfo& info, const TraceStats& stats);
// `text` as one CSV field: quoted, with its quotes doubled, when it holds a comma, a quote or
// a line break.
std::string CsvField(const std::string& text);

}  // namespace jov::analyzer
