// diff_format.h - the comparison written out: an aligned table, Markdown for a pull-request
// comment, CSV and JSON. The text depends only on the table, so a run gives the same bytes
// every time.
#pragma once

#include <cstdio>
#include <string>

#include "analyzer/diff/diff_table.h"

namespace jov::analyzer {
class JsonOut;
}

namespace jov::analyzer::diff {

enum class DiffFormat { kTable, kMarkdown, kCsv, kJson };

// Writes the comparison to `out`; a failed write shows on the stream (the output checks it).
void WriteDiff(std::FILE* out, const DiffTable& table, DiffFormat format);

// Pieces the writers share (diff_format.cpp).
namespace format {
std::string Value(double value, bool time);      // "12.345" (ms) or "12" (a count)
std::string Change(double value, bool time);     // "+0.123" or "-3"
std::string Percent(double percent);             // "+5.1 %"; "-" for NaN
std::string Interval(const MedianRatio& ratio);  // "+4.1 % .. +6.0 %"
std::string PValue(double p);                    // "0.000123", "1"
std::string RoutineLabel(const DiffRow& row);    // "Name" or "Name (was Old)"
// The heading lines: counts of verdicts, the self time of all routines, the rule.
std::string Heading(const DiffTable& table);
std::string TableText(const DiffTable& table);
std::string MarkdownText(const DiffTable& table);
std::string CsvText(const DiffTable& table);
// The JSON document of the comparison (also the page's "table").
void WriteJson(JsonOut& json, const DiffTable& table);
}  // namespace format

}  // namespace jov::analyzer::diff
