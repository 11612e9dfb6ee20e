// diff_data.cpp - the comparison for programs: CSV (one row per routine, every figure of both
// sides with its change) and JSON (the same, with the settings and the whole run's figures).
#include <cmath>
#include <string>

#include <fmt/format.h>

#include "analyzer/diff/diff_format.h"
#include "analyzer/diff/sample_reservoir.h"

namespace jov::analyzer::diff::format {
namespace {

constexpr Figure kFigures[] = {Figure::kCalls,  Figure::kTotal, Figure::kSelf, Figure::kMean,
                               Figure::kMedian, Figure::kP95,   Figure::kMax,  Figure::kErrors};

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string JsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '<') {  // no text can end the script element of a page the document sits in
      quoted += "\\u003c";
      continue;
    }
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      quoted += fmt::format("\\u{:04x}", static_cast<unsigned char>(c));
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

namespace {

std::string Number(double value, const char* form, const char* missing) {
  return std::isnan(value) ? missing : fmt::format(fmt::runtime(form), value);
}

// A figure's value as a plain number: milliseconds for times.
std::string Plain(double value, bool time) { return Value(value, time); }

std::string Ratio(double value) { return fmt::format("{:.6f}", value); }

}  // namespace

std::string CsvText(const DiffTable& table) {
  std::string text = "routine,base_routine,verdict,p,p_corrected,median_ratio,ratio_low,ratio_high";
  for (const Figure f : kFigures) {
    const std::string name = std::string(FigureName(f)) + (IsTime(f) ? "_ms" : "");
    text += fmt::format(",{0}_base,{0}_new,{0}_change,{0}_change_pct", name);
  }
  text += "\n";
  for (const DiffRow& row : table.rows) {
    text += fmt::format("{},{},{}", CsvField(row.name), CsvField(row.baseName),
                        VerdictName(row.verdict));
    if (row.tested) {
      text += fmt::format(",{},{},{},{},{}", PValue(row.p), PValue(row.pCorrected),
                          Ratio(row.ratio.estimate), Ratio(row.ratio.low), Ratio(row.ratio.high));
    } else {
      text += ",,,,,";
    }
    for (const Figure f : kFigures) {
      const std::size_t i = static_cast<std::size_t>(f);
      text +=
          fmt::format(",{},{},{},{}", Plain(row.base[i], IsTime(f)), Plain(row.next[i], IsTime(f)),
                      Plain(row.Change(f), IsTime(f)), Number(row.ChangePercent(f), "{:.2f}", ""));
    }
    text += "\n";
  }
  return text;
}

std::string JsonText(const DiffTable& table) {
  const DiffSettings& s = table.settings;
  std::string text = fmt::format(
      "{{\"settings\":{{\"alpha\":{},\"threshold_pct\":{},\"min_us\":{},\"correction\":\"{}\","
      "\"metric\":\"{}\",\"min_calls\":{},\"sampled_per_routine\":{}}},\n",
      s.alpha, 100 * s.threshold, s.minMicros, CorrectionName(s.correction),
      s.metric == Metric::kSelf ? "self" : "total", kMinCalls, SampleReservoir::kCapacity);
  text +=
      fmt::format("\"self_ms\":{{\"base\":{},\"new\":{},\"change_pct\":{}}},\n",
                  Plain(table.baseSelf, true), Plain(table.nextSelf, true),
                  Number(table.baseSelf == 0 ? NAN : 100 * (table.nextSelf / table.baseSelf - 1),
                         "{:.2f}", "null"));
  text += "\"verdicts\":{";
  for (int v = 0; v <= static_cast<int>(Verdict::kRemoved); ++v) {
    text += fmt::format("{}{}:{}", v == 0 ? "" : ",", JsonString(VerdictName(Verdict(v))),
                        table.Count(Verdict(v)));
  }
  text += "},\n\"routines\":[";
  bool first = true;
  for (const DiffRow& row : table.rows) {
    text += first ? "\n" : ",\n";
    first = false;
    text +=
        fmt::format("{{\"routine\":{},\"base_routine\":{},\"verdict\":{},", JsonString(row.name),
                    row.baseName.empty() ? "null" : JsonString(row.baseName),
                    JsonString(VerdictName(row.verdict)));
    if (row.tested) {
      text += fmt::format(
          "\"p\":{},\"p_corrected\":{},\"median_ratio\":{{\"estimate\":{},\"low\":{},\"high\":{}}}"
          ",",
          PValue(row.p), PValue(row.pCorrected), Ratio(row.ratio.estimate), Ratio(row.ratio.low),
          Ratio(row.ratio.high));
    } else {
      text += "\"p\":null,\"p_corrected\":null,\"median_ratio\":null,";
    }
    text += "\"figures\":{";
    for (const Figure f : kFigures) {
      const std::size_t i = static_cast<std::size_t>(f);
      text += fmt::format("{}\"{}{}\":{{\"base\":{},\"new\":{},\"change\":{},\"change_pct\":{}}}",
                          f == Figure::kCalls ? "" : ",", FigureName(f), IsTime(f) ? "_ms" : "",
                          Plain(row.base[i], IsTime(f)), Plain(row.next[i], IsTime(f)),
                          Plain(row.Change(f), IsTime(f)),
                          Number(row.ChangePercent(f), "{:.2f}", "null"));
    }
    text += "}}";
  }
  text += "\n]}\n";
  return text;
}

}  // namespace jov::analyzer::diff::format
