// call_stack.cpp - the reader's routine stack: frames per level, the calls they complete,
// and the queue of calls that wait for an unknown outer level to be named.
#include "analyzer/model/call_stack.h"

#include <algorithm>
#include <cstdint>

namespace jov::analyzer {
namespace {

// Calls held for an unknown outer level before the oldest are let go with "(unknown)".
constexpr std::size_t kMaxPending = 1 << 16;

}  // namespace

CallStack::CallStack(int trace, NameTable& names, TraceSink& sink, TraceStats& stats)
    : trace_(trace), names_(names), sink_(sink), stats_(stats) {}

bool CallStack::Matches(const Frame& frame, NameId popId, std::string_view popName) const {
  if (frame.name == popId) return true;
  const std::string& name = names_.Text(frame.name);
  const std::string_view detail = DetailOf(frame);
  if (detail.empty() || popName.size() <= name.size()) return false;
  // A name that holds two blanks: its Push line was split at them.
  std::string whole = name;
  whole += "  ";
  whole += detail;
  return PushMatchesPop(whole, popName);
}

void CallStack::AddUnknownLevels(std::size_t upTo, Micros time, std::uint32_t thread) {
  while (frames_.size() < upTo) {
    Frame frame;
    frame.start = time;
    frame.thread = thread;
    frame.serial = nextSerial_++;
    frame.detailAt = static_cast<std::uint32_t>(details_.size());
    frames_.push_back(std::move(frame));
  }
}

void CallStack::Push(std::size_t level, NameId name, std::string_view detail, Micros time,
                     std::uint32_t thread) {
  if (level < frames_.size()) {
    // They ended without Pop lines, when the lines first dropped below them.
    const Micros end = lowWater_ <= level ? lowWaterTime_ : time;
    CloseFrom(level, CloseKind::kPopMissing, end);
  }
  AddUnknownLevels(level, time, thread);
  Frame frame;
  frame.name = name;
  frame.pushSeen = true;
  frame.start = time;
  frame.thread = thread;
  frame.serial = nextSerial_++;
  frame.detailAt = static_cast<std::uint32_t>(details_.size());
  frame.detailSize = static_cast<std::uint32_t>(detail.size());
  details_.append(detail);
  frames_.push_back(std::move(frame));
  lowWater_ = SIZE_MAX;
}

void CallStack::Pop(std::size_t level, NameId name, const PopText& pop, Micros time,
                    std::uint32_t thread) {
  if (level + 1 < frames_.size()) CloseFrom(level + 1, CloseKind::kOuterPop, time);
  if (level < frames_.size()) {
    Frame& frame = frames_[level];
    if (frame.name == kUnknownName) {
      // An unknown level learns its name; its Push line was never seen.
      frame.name = name;
      NamePending(frame.serial, frame.name);
    } else if (!Matches(frame, name, pop.name)) {
      CloseFrom(level, CloseKind::kPopMissing, lowWater_ <= level ? lowWaterTime_ : time);
    }
  }
  if (level >= frames_.size()) {
    AddUnknownLevels(level, time, thread);
    Frame frame;
    frame.name = name;
    frame.start = time;
    frame.thread = thread;
    frame.serial = nextSerial_++;
    frame.detailAt = static_cast<std::uint32_t>(details_.size());
    frames_.push_back(std::move(frame));
  }
  CloseTop(CloseKind::kNormal, time, pop.duration, &pop);
  lowWater_ = SIZE_MAX;
}

void CallStack::SeeLine(std::size_t depth, Micros previous) {
  if (depth >= frames_.size()) {
    lowWater_ = SIZE_MAX;
  } else if (depth < lowWater_) {
    if (lowWater_ == SIZE_MAX) lowWaterTime_ = previous;
    lowWater_ = depth;
  }
}

void CallStack::LostLine(std::size_t depth, Micros time, std::uint32_t thread) {
  if (depth < frames_.size()) {
    if (frames_[depth].thread != thread) return;
    CloseFrom(depth, CloseKind::kPopMissing, time);
  }
  lowWater_ = SIZE_MAX;
}

void CallStack::OpenLevels(std::vector<OpenLevel>& out) const {
  out.clear();
  for (const Frame& frame : frames_)
    out.push_back({frame.name, frame.start, frame.thread, frame.pushSeen});
}

void CallStack::Finish(Micros time) {
  CloseFrom(0, CloseKind::kOpenAtEnd, time);
  FlushPending(0);
}

void CallStack::CloseFrom(std::size_t level, CloseKind kind, Micros end) {
  while (frames_.size() > level) CloseTop(kind, end, 0, nullptr);
}

void CallStack::CloseTop(CloseKind kind, Micros end, Micros popDuration, const PopText* pop) {
  const Frame frame = frames_.back();
  frames_.pop_back();
  Frame* parent = frames_.empty() ? nullptr : &frames_.back();

  Micros start = frame.start;
  if (kind == CloseKind::kNormal) {
    const Micros fromPop = std::max(end - std::max<Micros>(popDuration, 0), floor_);
    start = frame.pushSeen ? std::min(start, fromPop) : fromPop;
  }
  if (frame.hasChild) start = std::min(start, frame.minChildStart);
  start = std::min(start, end);

  if (frame.name == kUnknownName) {
    // A level the trace never named is no call of its own; what ran inside it still counts
    // for the level that holds it.
    if (parent != nullptr) {
      parent->childTotal += frame.childTotal;
      if (frame.hasChild) {
        parent->minChildStart = parent->hasChild ? std::min(parent->minChildStart, start) : start;
        parent->hasChild = true;
      }
    }
    if (!UnknownOpen()) FlushPending(0);
    details_.resize(frame.detailAt);
    return;
  }

  Call call;
  call.trace = trace_;
  call.name = frame.name;
  call.start = start;
  call.end = end;
  call.duration = kind == CloseKind::kNormal ? std::max<Micros>(popDuration, 0) : end - start;
  call.self = std::max<Micros>(call.duration - frame.childTotal, 0);
  call.pushSeen = frame.pushSeen;
  call.close = kind;
  call.thread = frame.thread;
  call.detail = DetailOf(frame);
  if (pop != nullptr) {
    call.hasReturnCode = pop->hasReturnCode;
    call.returnCode = pop->returnCode;
  }
  ++stats_.calls;
  if (!frame.pushSeen) ++stats_.pushesMissing;
  if (kind == CloseKind::kOuterPop) ++stats_.closedByOuterPop;
  if (kind == CloseKind::kPopMissing) ++stats_.popsMissing;
  if (kind == CloseKind::kOpenAtEnd) ++stats_.leftOpen;

  if (parent != nullptr) {
    parent->childTotal += call.duration;
    parent->minChildStart = parent->hasChild ? std::min(parent->minChildStart, start) : start;
    parent->hasChild = true;
  }
  Emit(call, frame);
  details_.resize(frame.detailAt);
}

bool CallStack::UnknownOpen() const {
  for (const Frame& frame : frames_)
    if (frame.name == kUnknownName) return true;
  return false;
}

void CallStack::Emit(const Call& call, const Frame& frame) {
  path_.clear();
  bool unknown = false;
  for (const Frame& outer : frames_) {
    path_.push_back(outer.name);
    unknown = unknown || outer.name == kUnknownName;
  }
  path_.push_back(call.name);
  if (!unknown) {
    if (!pending_.empty()) FlushPending(0);
    Call out = call;
    out.path = path_.data();
    out.pathLength = path_.size();
    sink_.OnCall(out);
    return;
  }
  // An outer level has no name yet: the call waits until it has one or is closed.
  PendingCall held;
  held.call = call;
  held.path = path_;
  for (const Frame& outer : frames_) held.serials.push_back(outer.serial);
  held.serials.push_back(frame.serial);
  held.detail = DetailOf(frame);
  pending_.push_back(std::move(held));
  if (pending_.size() > kMaxPending) FlushPending(kMaxPending / 2);
}

void CallStack::NamePending(std::uint64_t serial, NameId name) {
  for (PendingCall& held : pending_) {
    for (std::size_t i = 0; i < held.serials.size(); ++i) {
      if (held.serials[i] == serial) held.path[i] = name;
    }
  }
}

void CallStack::FlushPending(std::size_t keep) {
  while (pending_.size() > keep) {
    PendingCall& held = pending_.front();
    held.call.path = held.path.data();
    held.call.pathLength = held.path.size();
    held.call.detail = held.detail;
    sink_.OnCall(held.call);
    pending_.pop_front();
  }
}

}  // namespace jov::analyzer
