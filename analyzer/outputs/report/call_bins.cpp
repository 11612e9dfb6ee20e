// call_bins.cpp - adding calls to the bins, and merging bins when the width doubles.
#include "analyzer/outputs/report/call_bins.h"

#include <algorithm>

namespace jov::analyzer {

TimelineCall TimelineCall::From(const Call& call, Micros base) {
  TimelineCall c;
  c.start = call.start - base;
  c.duration = call.duration;
  c.thread = call.thread;
  c.depth = call.pathLength > 0 ? static_cast<std::uint32_t>(call.pathLength - 1) : 0;
  c.name = call.name;
  c.returnCode = call.hasReturnCode ? call.returnCode : 0;
  c.flags = static_cast<std::uint8_t>((call.hasReturnCode ? 1 : 0) | (call.pushSeen ? 0 : 2) |
                                      (static_cast<unsigned>(call.close) << 2));
  c.detail.assign(Utf8Prefix(call.detail, kDetailBytes));
  return c;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t size = maxBytes;
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  return text.substr(0, size);
}

CallBins::Bin& CallBins::At(std::vector<Bin>& row, std::int64_t index) {
  // A row's calls come in the order they started (one call at a time per thread and
  // depth), so new bins nearly always go at the end.
  if (row.empty() || row.back().index < index) {
    row.emplace_back();
    row.back().index = index;
    row.back().longest.duration = -1;
    ++bins_;
    return row.back();
  }
  auto it = std::lower_bound(row.begin(), row.end(), index,
                             [](const Bin& b, std::int64_t i) { return b.index < i; });
  if (it == row.end() || it->index != index) {
    it = row.emplace(it);
    it->index = index;
    it->longest.duration = -1;
    ++bins_;
  }
  return *it;
}

void CallBins::Add(const TimelineCall& call) {
  const Micros start = std::max<Micros>(call.start, 0);
  const Micros end = std::max(start, call.start + call.duration);
  while ((end > start ? end - 1 : start) / width_ >= kMaxSpan) Widen();

  std::vector<Bin>& row = rows_[RowKey{call.thread, call.depth}];
  const std::int64_t first = start / width_;
  Bin& home = At(row, first);
  ++home.count;
  if (call.Failed()) ++home.errors;
  if (call.duration > home.longest.duration) home.longest = call;
  if (end == start && home.nameCover < 0) {
    home.name = call.name;
    home.nameCover = 0;
  }
  for (std::int64_t k = first; k * width_ < end; ++k) {
    Bin& bin = At(row, k);
    const Micros part = std::min(end, (k + 1) * width_) - std::max(start, k * width_);
    bin.cover += part;
    if (part > bin.nameCover) {
      bin.name = call.name;
      bin.nameCover = part;
    }
  }
  // Merging stops helping once every row is down to a bin or two.
  while (bins_ > kMaxBins && bins_ > 2 * rows_.size()) Widen();
}

void CallBins::Widen() {
  width_ *= 2;
  bins_ = 0;
  for (auto& entry : rows_) {
    std::vector<Bin>& row = entry.second;
    std::size_t out = 0;
    for (std::size_t i = 0; i < row.size(); ++i) {
      Bin bin = std::move(row[i]);
      bin.index /= 2;
      if (out > 0 && row[out - 1].index == bin.index) {
        Bin& into = row[out - 1];
        into.cover += bin.cover;
        into.count += bin.count;
        into.errors += bin.errors;
        if (bin.nameCover > into.nameCover) {
          into.name = bin.name;
          into.nameCover = bin.nameCover;
        }
        if (bin.longest.duration > into.longest.duration) into.longest = std::move(bin.longest);
      } else {
        row[out++] = std::move(bin);
      }
    }
    row.resize(out);
    bins_ += out;
  }
}

}  // namespace jov::analyzer
