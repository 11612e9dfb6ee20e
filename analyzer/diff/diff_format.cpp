// diff_format.cpp - the number texts every format of the diff shares, the heading lines, and
// the choice of format.
#include "analyzer/diff/diff_format.h"

#include <cmath>

#include <fmt/format.h>

#include "analyzer/diff/sample_reservoir.h"
#include "analyzer/outputs/json_out.h"
#include "analyzer/outputs/summary_format.h"

namespace jov::analyzer::diff {
namespace format {

std::string Value(double value, bool time) {
  return time ? Millis(value) : fmt::format("{:.0f}", value);
}

std::string Change(double value, bool time) {
  // No "-0.000": a change that rounds to nothing is written without a sign's doubt.
  const std::string text =
      time ? fmt::format("{:+.3f}", value / 1000) : fmt::format("{:+.0f}", value);
  return text == "-0.000" ? "+0.000" : text == "-0" ? "+0" : text;
}

std::string Percent(double percent) {
  if (std::isnan(percent)) return "-";
  const std::string text = fmt::format("{:+.1f} %", percent);
  return text == "-0.0 %" ? "+0.0 %" : text;
}

std::string Interval(const MedianRatio& ratio) {
  return Percent(100 * (ratio.low - 1)) + " .. " + Percent(100 * (ratio.high - 1));
}

std::string PValue(double p) { return p >= 1 ? "1" : fmt::format("{:.3g}", p); }

std::string RoutineLabel(const DiffRow& row) {
  return row.baseName.empty() ? row.name : row.name + " (was " + row.baseName + ")";
}

std::string Heading(const DiffTable& table) {
  const DiffSettings& s = table.settings;
  std::string text = fmt::format(
      "{} slower, {} faster, {} unchanged, {} with too few calls, {} added, {} removed\n",
      table.Count(Verdict::kSlower), table.Count(Verdict::kFaster),
      table.Count(Verdict::kUnchanged), table.Count(Verdict::kTooFewCalls),
      table.Count(Verdict::kAdded), table.Count(Verdict::kRemoved));
  text +=
      fmt::format("self time of all routines: {} ms -> {} ms ({})\n", Value(table.baseSelf, true),
                  Value(table.nextSelf, true),
                  Percent(table.baseSelf == 0 ? NAN : 100 * (table.nextSelf / table.baseSelf - 1)));
  text += fmt::format(
      "slower/faster by the {} time per call: p ({} corrected) < {}, the {:.4g} % interval of "
      "the median ratio beyond +/-{:.4g} %, the median changed by more than {:.4g} us; at least "
      "{} calls a side, at most {} sampled per routine\n",
      s.metric == Metric::kSelf ? "self" : "total", CorrectionName(s.correction), s.alpha,
      100 * (1 - s.alpha), 100 * s.threshold, s.minMicros, kMinCalls, SampleReservoir::kCapacity);
  return text;
}

}  // namespace format

void WriteDiff(std::FILE* out, const DiffTable& table, DiffFormat kind) {
  std::string text;
  switch (kind) {
    case DiffFormat::kTable:
      text = format::TableText(table);
      break;
    case DiffFormat::kMarkdown:
      text = format::MarkdownText(table);
      break;
    case DiffFormat::kCsv:
      text = format::CsvText(table);
      break;
    case DiffFormat::kJson: {
      JsonOut json(out, JsonOut::Embedding::kStandalone);
      format::WriteJson(json, table);
      return;
    }
  }
  std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace jov::analyzer::diff
