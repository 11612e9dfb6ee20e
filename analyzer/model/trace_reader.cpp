// trace_reader.cpp - the line loop of one trace: every physical line classified and put to
// use (clock, thread, counters, routine stack, texts), and what cannot be used reported.
#include "analyzer/model/trace_reader.h"

#include <deque>
#include <memory>
#include <string>

#include "analyzer/model/call_stack.h"
#include "analyzer/parse/line_parse.h"
#include "analyzer/parse/line_reader.h"
#include "analyzer/parse/line_text.h"
#include "analyzer/input/text_encoding.h"
#include "analyzer/model/timeline.h"
#include "trace/trace_format.h"

namespace jov::analyzer {
namespace {

// Deeper lines are taken for garbage: the library's own stacks grow 8 levels at a time and
// real programs stay far below this, while a path of this depth per call is still cheap.
constexpr std::size_t kMaxDepth = 1024;

// Reports progress after this many bytes of a file.
constexpr std::uint64_t kProgressStep = std::uint64_t{16} << 20;

class TraceRun {
 public:
  TraceRun(const TraceInfo& info, NameTable& names, TraceSink& sink)
      : info_(info),
        sink_(sink),
        stack_(info.index, names, sink, stats_),
        wantTexts_(sink.WantsTexts()) {}

  void ReadFile(const std::string& path, ByteSource& source, bool continues,
                const ProgressFn& progress);
  void Unreadable(const std::string& path, const std::string& why);
  TraceStats Finish();

  // The pieces of ReadFile, for lines pushed in one at a time (TraceFeed).
  void BeginFile(const std::string& path, bool continues);
  void Line(const PhysicalLine& line);
  void EndFile(std::uint64_t bytes);
  void FlushText();
  const TraceStats& Stats() const { return stats_; }
  const CallStack& Stack() const { return stack_; }
  Micros Last() const { return timeline_.Last(); }

 private:
  void Timed(const ParsedLine& parsed);
  void TimedText(std::string_view text, std::size_t depth, Micros time);
  void Notify(NoticeKind kind, std::uint64_t line, std::string message);
  void FlushCounters(Micros time);
  void Counter(CounterKind kind, std::int64_t value, Micros time);
  void EmitText(TextKind kind, std::string_view narrow, std::size_t depth, Micros time);
  void SeeThread(std::uint32_t thread);

  const TraceInfo& info_;
  TraceSink& sink_;
  TraceStats stats_;
  CallStack stack_;
  Timeline timeline_;
  const std::string* file_ = nullptr;
  std::uint64_t lineNumber_ = 0;
  std::uint32_t thread_ = 0;
  bool afterBanner_ = false;
  bool inHeapReport_ = false;
  bool anyTimed_ = false;
  const bool wantTexts_;

  // A plain text waits for its continuation lines.
  bool textPending_ = false;
  std::string pendingText_;
  std::size_t pendingColumn_ = 0;
  std::size_t pendingDepth_ = 0;
  Micros pendingTime_ = 0;
  std::uint32_t pendingThread_ = 0;

  // Memory and handle-count lines precede the line they were written with, and take its time.
  std::int64_t counterValues_[3] = {0, 0, 0};
  bool counterPending_[3] = {false, false, false};

  std::string scratch_;
};

void TraceRun::Notify(NoticeKind kind, std::uint64_t line, std::string message) {
  if (kind != NoticeKind::kNoHeader) ++stats_.skippedLines;
  Notice notice;
  notice.trace = info_.index;
  notice.kind = kind;
  notice.file = *file_;
  notice.line = line;
  notice.message = message;
  sink_.OnNotice(notice);
}

void TraceRun::Unreadable(const std::string& path, const std::string& why) {
  file_ = &path;
  Notify(NoticeKind::kUnreadable, 0, "cannot read the file: " + why);
}

void TraceRun::SeeThread(std::uint32_t thread) {
  thread_ = thread;
  for (const std::uint32_t seen : stats_.threads)
    if (seen == thread) return;
  stats_.threads.push_back(thread);
}

void TraceRun::EmitText(TextKind kind, std::string_view narrow, std::size_t depth, Micros time) {
  ++stats_.texts;
  if (!wantTexts_) return;
  scratch_.clear();
  AppendUtf8(scratch_, narrow);
  Text text;
  text.trace = info_.index;
  text.time = time;
  text.thread = thread_;
  text.depth = static_cast<int>(depth);
  text.kind = kind;
  text.text = scratch_;
  sink_.OnText(text);
}

void TraceRun::FlushText() {
  if (!textPending_) return;
  textPending_ = false;
  const std::uint32_t thread = thread_;
  thread_ = pendingThread_;
  EmitText(TextKind::kPlain, pendingText_, pendingDepth_, pendingTime_);
  thread_ = thread;
}

void TraceRun::Counter(CounterKind kind, std::int64_t value, Micros time) {
  CounterSample sample;
  sample.trace = info_.index;
  sample.time = time;
  sample.kind = kind;
  sample.value = value;
  sink_.OnCounter(sample);
}

void TraceRun::FlushCounters(Micros time) {
  static constexpr CounterKind kKinds[3] = {CounterKind::kInternalPool, CounterKind::kProcessBytes,
                                            CounterKind::kHandleCount};
  for (int i = 0; i < 3; ++i) {
    if (!counterPending_[i]) continue;
    counterPending_[i] = false;
    Counter(kKinds[i], counterValues_[i], time);
  }
}

void TraceRun::BeginFile(const std::string& path, bool continues) {
  file_ = &path;
  if (!continues) timeline_.Break();
}

void TraceRun::EndFile(std::uint64_t bytes) {
  FlushText();
  stats_.bytes += bytes;
}

void TraceRun::ReadFile(const std::string& path, ByteSource& source, bool continues,
                        const ProgressFn& progress) {
  BeginFile(path, continues);
  LineReader reader(source);
  PhysicalLine line;
  std::uint64_t nextProgress = kProgressStep;
  while (reader.Next(line)) {
    Line(line);
    if (progress && reader.BytesRead() >= nextProgress) {
      progress(stats_.bytes + reader.BytesRead());
      nextProgress = reader.BytesRead() + kProgressStep;
    }
  }
  EndFile(reader.BytesRead());
  if (progress) progress(stats_.bytes);
  if (reader.Failed())
    Notify(NoticeKind::kUnreadable, lineNumber_ + 1, "read error; the rest of the file is lost");
}

void TraceRun::Line(const PhysicalLine& line) {
  ++stats_.lines;
  lineNumber_ = line.number;
  if (line.cut) Notify(NoticeKind::kLongLine, line.number, "line longer than 1 MiB; cut");
  if (line.unterminated) {
    Notify(NoticeKind::kTruncatedLine, line.number, "last line has no line end (truncated)");
  }
  ParsedLine parsed;
  ParseLine(line.text, parsed);
  if (parsed.kind == LineKind::kContinuation) {
    if (textPending_) {
      // Aligned 4 blanks in from where the text began; blanks beyond that are the text's.
      std::string_view more = line.text;
      std::size_t blanks = 0;
      while (blanks < more.size() && blanks < pendingColumn_ + 4 && more[blanks] == ' ') ++blanks;
      more.remove_prefix(blanks);
      pendingText_ += '\n';
      pendingText_.append(more.data(), more.size());
    }
    // Continuations of a Push line's detail or of a library line add nothing to use.
    return;
  }
  FlushText();
  const bool afterBanner = afterBanner_;
  afterBanner_ = false;
  switch (parsed.kind) {
    case LineKind::kEmpty:
      return;
    case LineKind::kDate:
      timeline_.SetDate(parsed.day);
      return;
    case LineKind::kThread:
      SeeThread(parsed.thread);
      return;
    case LineKind::kMemory:
      counterValues_[0] = parsed.values[0];
      counterValues_[1] = parsed.values[2];
      counterPending_[0] = counterPending_[1] = true;
      return;
    case LineKind::kHandleCount:
      counterValues_[2] = parsed.values[0];
      counterPending_[2] = true;
      return;
    case LineKind::kSizeNotice:
      EmitText(TextKind::kSizeNotice, line.text, 0, timeline_.Last());
      return;
    case LineKind::kWrapBanner:
      // The saved lines follow: older than the header, their first writer unknown.
      timeline_.Break();
      thread_ = 0;
      afterBanner_ = true;
      return;
    case LineKind::kWrapEnd:
      return;
    case LineKind::kTimed:
      Timed(parsed);
      return;
    case LineKind::kContinuation:
    case LineKind::kOther:
      if (afterBanner) {
        stats_.wrapReasons.emplace_back();
        AppendUtf8(stats_.wrapReasons.back(), line.text);
        EmitText(TextKind::kWrapReason, line.text, 0, timeline_.Last());
        return;
      }
      Notify(NoticeKind::kBadLine, line.number,
             line.text.size() >= 12 && line.text[2] == ':' ? "mangled time prefix; line skipped"
                                                           : "not a trace line; skipped");
      return;
  }
}

void TraceRun::Timed(const ParsedLine& parsed) {
  const Micros previous = timeline_.Last();
  const Micros time = timeline_.Advance(parsed.timeOfDayMs, parsed.intervalUs);
  if (!anyTimed_) {
    anyTimed_ = true;
    stats_.first = stats_.last = time;
    stack_.SetFloor(time);
  }
  if (time < stats_.first) {
    stats_.first = time;
    stack_.SetFloor(time);
  }
  if (time > stats_.last) stats_.last = time;
  FlushCounters(time);
  const std::size_t depth = parsed.indent / jov::trace::format::kIndentWidth;
  if (depth > kMaxDepth) {
    Notify(NoticeKind::kBadLine, lineNumber_, "indented more than 1024 levels; skipped");
    return;
  }
  const std::string_view text =
      parsed.afterSeparator.substr(depth * jov::trace::format::kIndentWidth);
  // Lines before any thread marker (the oldest lines of a wrap dump) have an unknown writer;
  // the header names its own.
  const std::string_view header = jov::trace::format::kHeader;
  if (thread_ == 0 && text.substr(0, header.size()) != header) SeeThread(0);
  if (!text.empty() && text.front() == 'P') {
    PushText push;
    if (ParsePush(text, push)) {
      stack_.Push(depth, push, time, thread_);
      return;
    }
    PopText pop;
    switch (ParsePop(text, pop)) {
      case PopParse::kOk:
        stack_.Pop(depth, pop, time, thread_);
        return;
      case PopParse::kBroken:
        Notify(NoticeKind::kBadPop, lineNumber_, "Pop line without its duration; skipped");
        return;
      case PopParse::kBare:  // a pop of a level that was not on the stack: shown as it is
      case PopParse::kNotPop:
        break;
    }
  }
  stack_.SeeLine(depth, previous);
  TimedText(text, depth, time);
  pendingColumn_ = parsed.textColumn + depth * jov::trace::format::kIndentWidth;
}

void TraceRun::TimedText(std::string_view text, std::size_t depth, Micros time) {
  if (inHeapReport_) {
    inHeapReport_ = !IsHeapReportEnd(text);
    EmitText(TextKind::kHeapRow, text, depth, time);
    return;
  }
  HeaderText header;
  std::int64_t committed = 0;
  if (IsHeapReportTitle(text)) {
    inHeapReport_ = true;
    EmitText(TextKind::kHeapRow, text, depth, time);
  } else if (IsDumpLine(text)) {
    EmitText(TextKind::kDumpLine, text, depth, time);
  } else if (ParseHeader(text, header)) {
    // The header is written by the thread that started the trace.
    SeeThread(header.threadId);
    EmitText(TextKind::kHeader, text, depth, time);
  } else if (text == jov::trace::format::kTraceClosed) {
    EmitText(TextKind::kClosed, text, depth, time);
  } else if (text == jov::trace::format::kTerminated) {
    stack_.LostLine(depth, time, thread_);
    EmitText(TextKind::kTerminated, text, depth, time);
  } else if (ParseVirtualMemory(text, committed)) {
    Counter(CounterKind::kVirtualCommitted, committed, time);
    EmitText(TextKind::kVirtualMemory, text, depth, time);
  } else if (!wantTexts_) {
    ++stats_.texts;
  } else {
    textPending_ = true;
    pendingText_.assign(text.data(), text.size());
    pendingDepth_ = depth;
    pendingTime_ = time;
    pendingThread_ = thread_;
  }
}

TraceStats TraceRun::Finish() {
  FlushText();
  FlushCounters(timeline_.Last());
  stack_.Finish(timeline_.Last());
  stats_.clockResyncs = timeline_.Resyncs();
  return stats_;
}

}  // namespace

TraceStats TraceReader::Read(const TraceInfo& info, SourceOpener& opener,
                             const ProgressFn& progress) {
  sink_.BeginTrace(info);
  TraceRun run(info, names_, sink_);
  bool continues = false;
  for (const std::string& path : info.files) {
    std::string error;
    std::unique_ptr<ByteSource> source = opener.Open(path, error);
    if (source == nullptr) {
      run.Unreadable(path, error);
      continues = false;
      continue;
    }
    // A file of a chain continues the one before: its header's interval runs from the
    // previous file's last line. A wrap dump breaks the clock at its banner anyway.
    run.ReadFile(path, *source, continues, progress);
    continues = true;
  }
  TraceStats stats = run.Finish();
  sink_.EndTrace(info, stats);
  return stats;
}

struct TraceFeed::State {
  State(const TraceInfo& traceInfo, NameTable& names, TraceSink& sink)
      : info(traceInfo), run(info, names, sink) {}
  TraceInfo info;  // the run keeps a reference to it
  TraceRun run;
  std::deque<std::string> paths;  // notices refer to the file's path
};

TraceFeed::TraceFeed(NameTable& names, TraceSink& sink, const TraceInfo& info) : sink_(sink) {
  sink_.BeginTrace(info);
  state_ = std::make_unique<State>(info, names, sink);
}

TraceFeed::~TraceFeed() = default;

void TraceFeed::BeginFile(const std::string& path, bool continues) {
  state_->paths.push_back(path);
  state_->run.BeginFile(state_->paths.back(), continues);
}

void TraceFeed::Line(const PhysicalLine& line) { state_->run.Line(line); }

void TraceFeed::EndFile(std::uint64_t bytes) { state_->run.EndFile(bytes); }

void TraceFeed::FlushText() { state_->run.FlushText(); }

const TraceStats& TraceFeed::Stats() const { return state_->run.Stats(); }

Micros TraceFeed::LastTime() const { return state_->run.Last(); }

void TraceFeed::OpenLevels(std::vector<OpenLevel>& out) const {
  state_->run.Stack().OpenLevels(out);
}

TraceStats TraceFeed::Finish(const TraceInfo& info) {
  const TraceStats stats = state_->run.Finish();
  sink_.EndTrace(info, stats);
  return stats;
}

}  // namespace jov::analyzer
