// report_timeline.cpp - calls kept for the timeline, and the lanes written from them.
#include "analyzer/outputs/report/report_timeline.h"

#include <algorithm>

#include "analyzer/outputs/json_out.h"

namespace jov::analyzer {

void ReportTimeline::Add(const Call& call, Micros base) {
  TimelineCall c = TimelineCall::From(call, base);
  std::uint32_t& rows = rows_[c.thread];
  if (rows == 0) texts_.Drop(c.thread);
  rows = std::max(rows, c.depth + 1);
  if (complete_) {
    if (exact_.size() < kMaxExactCalls) {
      exact_.push_back(c);
    } else {
      complete_ = false;
      exact_.clear();
      exact_.shrink_to_fit();
    }
  }
  bins_.Add(c);
}

void ReportTimeline::AddText(const Text& text, Micros base) {
  // A thread that made calls was dropped from the marks: its texts are not kept.
  texts_.Add(text.thread, text.time - base, text.text);
}

void ReportTimeline::Write(JsonOut& json, const std::vector<std::uint32_t>& threads,
                           const std::function<std::int64_t(NameId)>& localName) const {
  json.Raw("{\"binWidth\":");
  json.Int(bins_.Width());
  json.Raw(",\"complete\":");
  json.Bool(complete_);
  json.Raw(",\"lanes\":[");
  std::vector<std::uint32_t> order = threads;
  for (const auto& entry : rows_) {
    if (std::find(order.begin(), order.end(), entry.first) == order.end())
      order.push_back(entry.first);
  }
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (i != 0) json.Raw(",");
    WriteLane(json, order[i], localName);
  }
  json.Raw("]}");
}

void ReportTimeline::WriteLane(JsonOut& json, std::uint32_t thread,
                               const std::function<std::int64_t(NameId)>& localName) const {
  const auto rows = rows_.find(thread);
  json.Raw("{\"thread\":");
  json.Int(thread);
  json.Raw(",\"rows\":");
  json.Int(rows == rows_.end() ? 0 : rows->second);

  const auto& binRows = bins_.Rows();
  auto first = binRows.lower_bound(CallBins::RowKey{thread, 0});
  std::vector<const TimelineCall*> calls;
  if (complete_) {
    for (const TimelineCall& c : exact_) {
      if (c.thread == thread) calls.push_back(&c);
    }
  } else {
    for (auto it = first; it != binRows.end() && it->first.thread == thread; ++it) {
      for (const CallBins::Bin& bin : it->second) {
        if (bin.longest.duration >= 0) calls.push_back(&bin.longest);
      }
    }
  }
  std::stable_sort(calls.begin(), calls.end(), [](const TimelineCall* a, const TimelineCall* b) {
    return a->start < b->start;
  });

  std::vector<std::int64_t> column(calls.size());
  const char* separator = "";
  const auto write = [&](const char* key, auto value, bool delta) {
    for (std::size_t i = 0; i < calls.size(); ++i) column[i] = value(*calls[i]);
    json.Raw(separator);
    separator = ",";
    json.Key(key);
    json.IntArray(column, delta);
  };
  json.Raw(",\"calls\":{");
  write(
      "start", [](const TimelineCall& c) { return c.start; }, true);
  write(
      "dur", [](const TimelineCall& c) { return c.duration; }, false);
  write(
      "depth", [](const TimelineCall& c) { return std::int64_t{c.depth}; }, false);
  write(
      "name", [&](const TimelineCall& c) { return localName(c.name); }, false);
  write(
      "rc", [](const TimelineCall& c) { return c.returnCode; }, false);
  write(
      "flags", [](const TimelineCall& c) { return std::int64_t{c.flags}; }, false);
  json.Raw(",\"detail\":[");
  bool firstDetail = true;
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i]->detail.empty()) continue;
    json.Raw(firstDetail ? "[" : ",[");
    firstDetail = false;
    json.Int(static_cast<std::int64_t>(i));
    json.Raw(",");
    json.String(calls[i]->detail);
    json.Raw("]");
  }
  json.Raw("]}");

  // With every call in the lane the page sums its own bins from them.
  json.Raw(",\"bins\":[");
  bool firstRow = true;
  if (complete_) first = binRows.end();
  for (auto it = first; it != binRows.end() && it->first.thread == thread; ++it) {
    const std::vector<CallBins::Bin>& bins = it->second;
    if (bins.empty()) continue;
    json.Raw(firstRow ? "{\"depth\":" : ",{\"depth\":");
    firstRow = false;
    json.Int(it->first.depth);
    std::vector<std::int64_t> values(bins.size());
    const auto binColumn = [&](const char* key, auto value, bool delta) {
      for (std::size_t i = 0; i < bins.size(); ++i) values[i] = value(bins[i]);
      json.Raw(",");
      json.Key(key);
      json.IntArray(values, delta);
    };
    using Bin = CallBins::Bin;
    binColumn(
        "index", [](const Bin& b) { return b.index; }, true);
    binColumn(
        "cover", [](const Bin& b) { return b.cover; }, false);
    binColumn(
        "count", [](const Bin& b) { return static_cast<std::int64_t>(b.count); }, false);
    binColumn(
        "errors", [](const Bin& b) { return static_cast<std::int64_t>(b.errors); }, false);
    binColumn(
        "name", [&](const Bin& b) { return localName(b.name); }, false);
    json.Raw("}");
  }
  json.Raw("]");
  if (!texts_.Of(thread).empty()) {
    json.Raw(",\"texts\":");
    texts_.Write(json, thread);
  }
  json.Raw("}");
}

}  // namespace jov::analyzer
