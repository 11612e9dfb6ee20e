// counter_series.cpp - counter samples, exact and in bins.
#include "analyzer/outputs/report/counter_series.h"

#include <algorithm>

#include "analyzer/outputs/json_out.h"

namespace jov::analyzer {

void CounterSeries::Add(Micros time, std::int64_t value) {
  time = std::max<Micros>(time, 0);
  ++samples_;
  if (samples_ <= kMaxExact) {
    exact_.emplace_back(time, value);
  } else if (!exact_.empty()) {
    exact_.clear();
    exact_.shrink_to_fit();
  }
  while (time / width_ >= kMaxSpan) Widen();
  const std::int64_t index = time / width_;
  if (bins_.empty() || bins_.back().index < index) {
    bins_.push_back(Bin{index, value, value, value});
    return;
  }
  // Samples come in time order: a sample belongs to the last bin.
  Bin& bin = bins_.back();
  bin.min = std::min(bin.min, value);
  bin.max = std::max(bin.max, value);
  bin.last = value;
}

void CounterSeries::Widen() {
  width_ *= 2;
  std::size_t out = 0;
  for (std::size_t i = 0; i < bins_.size(); ++i) {
    Bin bin = bins_[i];
    bin.index /= 2;
    if (out > 0 && bins_[out - 1].index == bin.index) {
      Bin& into = bins_[out - 1];
      into.min = std::min(into.min, bin.min);
      into.max = std::max(into.max, bin.max);
      into.last = bin.last;
    } else {
      bins_[out++] = bin;
    }
  }
  bins_.resize(out);
}

void CounterSeries::Write(JsonOut& json) const {
  json.Raw(",\"exact\":");
  json.Bool(Exact());
  std::vector<std::int64_t> a;
  std::vector<std::int64_t> b;
  if (Exact()) {
    for (const auto& [time, value] : exact_) {
      a.push_back(time);
      b.push_back(value);
    }
    json.Raw(",\"t\":");
    json.IntArray(a, true);
    json.Raw(",\"v\":");
    json.IntArray(b);
    return;
  }
  json.Raw(",\"binWidth\":");
  json.Int(width_);
  const auto column = [&](const char* key, auto member, bool delta) {
    a.clear();
    for (const Bin& bin : bins_) a.push_back(bin.*member);
    json.Raw(",");
    json.Key(key);
    json.IntArray(a, delta);
  };
  column("index", &Bin::index, true);
  column("min", &Bin::min, false);
  column("max", &Bin::max, false);
  column("last", &Bin::last, false);
}

}  // namespace jov::analyzer
