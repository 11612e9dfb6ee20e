// text_marks.h - the texts of the threads that made no calls, as marks on their timeline lanes:
// every text while they are few, else the first text and the count of each bin of time, in
// bins whose width doubles as the trace grows (so a long trace keeps a bounded number).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

class JsonOut;

class TextMarks {
 public:
  // Marks kept over all lanes at most; past it neighbouring texts merge into bins.
  static constexpr std::size_t kMaxMarks = 10000;
  // A mark's text is cut to this (a text joins its continuation lines).
  static constexpr std::size_t kTextBytes = 160;

  struct Mark {
    Micros time = 0;          // of its first text, relative to the trace's base
    std::uint64_t count = 0;  // texts it stands for
    std::string text;         // the first of them
  };

  // A text of `thread` at `time` (relative to the base; a thread's texts come in time order).
  void Add(std::uint32_t thread, Micros time, std::string_view text);
  // The thread made a call: its lane shows calls, so its texts are dropped and no more kept.
  void Drop(std::uint32_t thread);
  // The thread's marks in time order (none after Drop).
  const std::vector<Mark>& Of(std::uint32_t thread) const;
  // 0 while every text is its own mark, else the width of the bins.
  Micros Width() const { return binned_ ? width_ : 0; }

  // Writes {"width":..,"t":[..],"count":[..],"text":[..]} of the thread's marks.
  void Write(JsonOut& json, std::uint32_t thread) const;

 private:
  struct Lane {
    bool dropped = false;
    std::vector<Mark> marks;
  };
  // Merges the marks of each bin, the bins twice as wide as before (as wide as `width_` the
  // first time).
  void Widen();
  std::int64_t BinOf(Micros time) const;

  std::map<std::uint32_t, Lane> lanes_;
  std::size_t marks_ = 0;
  bool binned_ = false;
  Micros width_ = 1;
};

}  // namespace jov::analyzer
