// call_stack.h - the routine stack of one trace object as the reader rebuilds it from the
// Push and Pop lines and the indentation of the other lines, and the calls it completes.
//
// The stack is the trace object's, not a thread's: a level is the indentation / 4 of its
// Push and Pop lines. The rules, in the library's own terms:
// - A Pop at level k closes k; levels above k still open are closed with it, at the same
//   time, as closed by an outer Pop (the library pops them together).
// - A Pop whose Push line is missing (dropped from a wrap ring, replaced by the size notice,
//   pushed before the trace started) starts at Pop time - duration, never before the trace.
// - Levels below a Push or Pop that the trace never showed (pushed untraced, or before the
//   trace) are kept as unknown levels; a later Pop line that names one gives it its name.
// - A Push at level k shows that every level from k up had ended without a Pop line (a
//   routine whose innermost level was untraced pops silently). They are closed when the
//   lines first dropped below them. A lower text line alone proves nothing: another thread
//   may write between a Pop's depth change and its line.
// - A line replaced by the size limit's notice that stands shallower than the stack, written
//   by the thread that pushed the level it stands at, was a Pop: its levels end there,
//   without their Pop line. Another thread's notice proves nothing, as its text line would.
// - What is open at the end of the trace is closed at its last line, marked open.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/parse/line_text.h"
#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

// A routine level still open, as a live view shows it.
struct OpenLevel {
  NameId name = kUnknownName;
  Micros start = 0;
  std::uint32_t thread = 0;
  bool pushSeen = false;
};

class CallStack {
 public:
  CallStack(int trace, NameTable& names, TraceSink& sink, TraceStats& stats);

  // A Push line of routine `name` (interned) with its detail text.
  void Push(std::size_t level, NameId name, std::string_view detail, Micros time,
            std::uint32_t thread);
  // A Pop line; `name` is `pop.name` interned.
  void Pop(std::size_t level, NameId name, const PopText& pop, Micros time, std::uint32_t thread);
  // Any other time-prefixed line, `depth` levels deep, at `time`; `previous` is the time of
  // the line before it.
  void SeeLine(std::size_t depth, Micros previous);
  // A line whose text the size limit's notice replaced, `depth` levels deep, written by
  // `thread`. Shallower than the stack and from the thread that pushed level `depth`, it can
  // only have been that level's Pop: it and the levels above it end here, their Pop line
  // lost. From another thread it may have been any line written between a Pop's depth
  // change and its Pop line, so it ends nothing.
  void LostLine(std::size_t depth, Micros time, std::uint32_t thread);
  // The end of the trace: everything still open closes at `time`.
  void Finish(Micros time);
  // The earliest time a call may start (the trace's first line).
  void SetFloor(Micros floor) { floor_ = floor; }
  std::size_t Depth() const { return frames_.size(); }
  // The levels open now, outermost first (replaces `out`).
  void OpenLevels(std::vector<OpenLevel>& out) const;

 private:
  struct Frame {
    NameId name = kUnknownName;
    bool pushSeen = false;
    Micros start = 0;
    Micros minChildStart = 0;
    bool hasChild = false;
    Micros childTotal = 0;
    std::uint32_t thread = 0;
    std::uint64_t serial = 0;
    // Its Push line's detail, in details_: frames close last in, first out, so their details
    // are kept as a stack of texts, without a string per frame.
    std::uint32_t detailAt = 0;
    std::uint32_t detailSize = 0;
  };
  struct PendingCall {
    Call call;
    std::vector<NameId> path;
    std::vector<std::uint64_t> serials;
    std::string detail;
  };

  void AddUnknownLevels(std::size_t upTo, Micros time, std::uint32_t thread);
  // Closes the levels from `level` up, innermost first.
  void CloseFrom(std::size_t level, CloseKind kind, Micros end);
  // Closes the innermost level; `popDuration` is used for kNormal.
  void CloseTop(CloseKind kind, Micros end, Micros popDuration, const PopText* pop);
  void Emit(const Call& call, const Frame& frame);
  void NamePending(std::uint64_t serial, NameId name);
  void FlushPending(std::size_t keep);
  bool UnknownOpen() const;
  bool Matches(const Frame& frame, NameId popId, std::string_view popName) const;
  std::string_view DetailOf(const Frame& frame) const {
    return std::string_view(details_).substr(frame.detailAt, frame.detailSize);
  }

  int trace_;
  NameTable& names_;
  TraceSink& sink_;
  TraceStats& stats_;
  std::vector<Frame> frames_;
  std::string details_;
  std::vector<NameId> path_;
  std::deque<PendingCall> pending_;
  std::uint64_t nextSerial_ = 1;
  Micros floor_ = 0;
  // The lowest depth a line showed since the last Push or Pop, and when the lines were last
  // deeper than that.
  std::size_t lowWater_ = SIZE_MAX;
  Micros lowWaterTime_ = 0;
};

}  // namespace jov::analyzer
