// call_bins.h - a trace's calls per thread and stack depth (a timeline row), summed in bins of
// time whose width doubles as the trace grows, so that their number stays bounded whatever
// the number of calls. Each bin also keeps the longest call that started in it, exactly.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

// A call as the timeline keeps it. Times are relative to the trace's base.
struct TimelineCall {
  Micros start = 0;
  Micros duration = 0;
  std::uint32_t thread = 0;
  std::uint32_t depth = 0;  // 0 for an outermost routine
  NameId name = kUnknownName;
  std::int64_t returnCode = 0;
  // Bit 0: has a return code; bit 1: its Push line is missing; bits 2-3: how it closed.
  std::uint8_t flags = 0;
  std::string detail;  // the Push line's detail, cut to kDetailBytes

  static constexpr std::size_t kDetailBytes = 64;
  // `call` relative to `base`.
  static TimelineCall From(const Call& call, Micros base);
  bool Failed() const { return (flags & 1) != 0 && returnCode != 0; }
};

// The longest start of `text` of at most `maxBytes` that cuts no UTF-8 character in two.
std::string_view Utf8Prefix(std::string_view text, std::size_t maxBytes);

class CallBins {
 public:
  // Bins kept over all rows at most: the width doubles (and neighbours merge) beyond it.
  // With the longest call of each, about 3 MB of the page; a browser opens it in a second.
  static constexpr std::size_t kMaxBins = std::size_t{1} << 16;
  // Bins a row spans at most, from the base to the latest call's end.
  static constexpr std::int64_t kMaxSpan = std::int64_t{1} << 16;

  struct Bin {
    std::int64_t index = 0;      // covers [index * width, (index + 1) * width)
    Micros cover = 0;            // time the row's calls ran inside the bin
    std::uint64_t count = 0;     // calls that started in it
    std::uint64_t errors = 0;    // of those, calls with a non-zero return code
    NameId name = kUnknownName;  // the routine of the call that covered most of it
    Micros nameCover = -1;
    TimelineCall longest;  // the longest call that started in it (duration -1: none)
  };
  struct RowKey {
    std::uint32_t thread;
    std::uint32_t depth;
    bool operator<(const RowKey& o) const {
      return thread != o.thread ? thread < o.thread : depth < o.depth;
    }
  };

  // Counts the call in the bins it runs through. A call that started before the base
  // counts from the base.
  void Add(const TimelineCall& call);

  Micros Width() const { return width_; }
  std::size_t BinCount() const { return bins_; }
  // Bins sorted by index, per row.
  const std::map<RowKey, std::vector<Bin>>& Rows() const { return rows_; }

 private:
  Bin& At(std::vector<Bin>& row, std::int64_t index);
  // Doubles the width: neighbouring bins merge.
  void Widen();

  Micros width_ = 1;
  std::size_t bins_ = 0;
  std::map<RowKey, std::vector<Bin>> rows_;
};

}  // namespace jov::analyzer
