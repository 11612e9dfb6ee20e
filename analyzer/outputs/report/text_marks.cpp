// text_marks.cpp - texts kept as lane marks, merged into doubling bins past their bound.
#include "analyzer/outputs/report/text_marks.h"

#include "analyzer/outputs/json_out.h"
#include "analyzer/outputs/report/call_bins.h"

namespace jov::analyzer {

std::int64_t TextMarks::BinOf(Micros time) const {
  // Floor division: a time before the base belongs to a bin of its own.
  return time >= 0 ? time / width_ : -((-time + width_ - 1) / width_);
}

void TextMarks::Add(std::uint32_t thread, Micros time, std::string_view text) {
  Lane& lane = lanes_[thread];
  if (lane.dropped) return;
  if (binned_ && !lane.marks.empty() && BinOf(lane.marks.back().time) == BinOf(time)) {
    ++lane.marks.back().count;
    return;
  }
  lane.marks.push_back(Mark{time, 1, std::string(Utf8Prefix(text, kTextBytes))});
  ++marks_;
  // Merging stops helping once every lane is down to one mark.
  while (marks_ > kMaxMarks && marks_ > lanes_.size()) Widen();
}

void TextMarks::Drop(std::uint32_t thread) {
  Lane& lane = lanes_[thread];
  if (lane.dropped) return;
  lane.dropped = true;
  marks_ -= lane.marks.size();
  lane.marks.clear();
  lane.marks.shrink_to_fit();
}

const std::vector<TextMarks::Mark>& TextMarks::Of(std::uint32_t thread) const {
  static const std::vector<Mark> kNone;
  const auto lane = lanes_.find(thread);
  return lane == lanes_.end() ? kNone : lane->second.marks;
}

void TextMarks::Widen() {
  if (binned_) width_ *= 2;
  binned_ = true;
  marks_ = 0;
  for (auto& entry : lanes_) {
    std::vector<Mark>& marks = entry.second.marks;
    std::size_t out = 0;
    for (std::size_t i = 0; i < marks.size(); ++i) {
      if (out > 0 && BinOf(marks[out - 1].time) == BinOf(marks[i].time)) {
        marks[out - 1].count += marks[i].count;
      } else {
        marks[out++] = std::move(marks[i]);
      }
    }
    marks.resize(out);
    marks_ += out;
  }
}

void TextMarks::Write(JsonOut& json, std::uint32_t thread) const {
  const std::vector<Mark>& marks = Of(thread);
  json.Raw("{\"width\":");
  json.Int(Width());
  std::vector<std::int64_t> column(marks.size());
  for (std::size_t i = 0; i < marks.size(); ++i) column[i] = marks[i].time;
  json.Raw(",\"t\":");
  json.IntArray(column, true);
  for (std::size_t i = 0; i < marks.size(); ++i)
    column[i] = static_cast<std::int64_t>(marks[i].count);
  json.Raw(",\"count\":");
  json.IntArray(column);
  json.Raw(",\"text\":[");
  for (std::size_t i = 0; i < marks.size(); ++i) {
    if (i != 0) json.Raw(",");
    json.String(marks[i].text);
  }
  json.Raw("]}");
}

}  // namespace jov::analyzer
