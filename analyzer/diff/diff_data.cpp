// diff_data.cpp - the comparison for programs: CSV (one row per routine, every figure of both
// sides with its change) and JSON (the same, with the settings and the whole run's figures,
// written with the outputs' JSON writer).
#include <cmath>
#include <cstdint>
#include <string>

#include <fmt/format.h>

#include "analyzer/diff/diff_format.h"
#include "analyzer/diff/sample_reservoir.h"
#include "analyzer/outputs/json_out.h"
#include "analyzer/outputs/summary_format.h"

namespace jov::analyzer::diff::format {
namespace {

constexpr Figure kFigures[] = {Figure::kCalls,  Figure::kTotal, Figure::kSelf, Figure::kMean,
                               Figure::kMedian, Figure::kP95,   Figure::kMax,  Figure::kErrors};

}  // namespace

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

void WriteJson(JsonOut& json, const DiffTable& table) {
  const DiffSettings& s = table.settings;
  json.Raw(fmt::format(
      "{{\"settings\":{{\"alpha\":{},\"threshold_pct\":{},\"min_us\":{},\"correction\":\"{}\","
      "\"metric\":\"{}\",\"min_calls\":{},\"sampled_per_routine\":{}}},\n",
      s.alpha, 100 * s.threshold, s.minMicros, CorrectionName(s.correction),
      s.metric == Metric::kSelf ? "self" : "total", kMinCalls, SampleReservoir::kCapacity));
  json.Raw(
      fmt::format("\"self_ms\":{{\"base\":{},\"new\":{},\"change_pct\":{}}},\n",
                  Plain(table.baseSelf, true), Plain(table.nextSelf, true),
                  Number(table.baseSelf == 0 ? NAN : 100 * (table.nextSelf / table.baseSelf - 1),
                         "{:.2f}", "null")));
  json.Raw("\"verdicts\":{");
  for (int v = 0; v <= static_cast<int>(Verdict::kRemoved); ++v) {
    if (v != 0) json.Raw(",");
    json.Key(VerdictName(Verdict(v)));
    json.Int(static_cast<std::int64_t>(table.Count(Verdict(v))));
  }
  json.Raw("},\n\"routines\":[");
  bool first = true;
  for (const DiffRow& row : table.rows) {
    json.Raw(first ? "\n{" : ",\n{");
    first = false;
    json.Key("routine");
    json.String(row.name);
    json.Raw(",");
    json.Key("base_routine");
    if (row.baseName.empty()) {
      json.Raw("null");
    } else {
      json.String(row.baseName);
    }
    json.Raw(",");
    json.Key("verdict");
    json.String(VerdictName(row.verdict));
    json.Raw(",");
    if (row.tested) {
      json.Raw(fmt::format(
          "\"p\":{},\"p_corrected\":{},\"median_ratio\":{{\"estimate\":{},\"low\":{},\"high\":{}}}"
          ",",
          PValue(row.p), PValue(row.pCorrected), Ratio(row.ratio.estimate), Ratio(row.ratio.low),
          Ratio(row.ratio.high)));
    } else {
      json.Raw("\"p\":null,\"p_corrected\":null,\"median_ratio\":null,");
    }
    json.Raw("\"figures\":{");
    for (const Figure f : kFigures) {
      const std::size_t i = static_cast<std::size_t>(f);
      json.Raw(fmt::format("{}\"{}{}\":{{\"base\":{},\"new\":{},\"change\":{},\"change_pct\":{}}}",
                           f == Figure::kCalls ? "" : ",", FigureName(f), IsTime(f) ? "_ms" : "",
                           Plain(row.base[i], IsTime(f)), Plain(row.next[i], IsTime(f)),
                           Plain(row.Change(f), IsTime(f)),
                           Number(row.ChangePercent(f), "{:.2f}", "null")));
    }
    json.Raw("}}");
  }
  json.Raw("\n]}\n");
}

}  // namespace jov::analyzer::diff::format
