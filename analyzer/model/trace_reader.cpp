// trace_reader.cpp - the record loop of one trace: every parsed line put to use in order
// (clock, thread, counters, routine stack, texts), and what cannot be used reported.
#include "analyzer/model/trace_reader.h"

#include <deque>
#include <memory>
#include <string>

#include "analyzer/model/call_stack.h"
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
        names_(names),
        sink_(sink),
        stack_(info.index, names, sink, stats_),
        wantTexts_(sink.WantsTexts()) {}

  void ReadFile(const std::string& path, ByteSource& source, bool continues,
                const ParseOptions& parse, const ProgressFn& progress);
  void Unreadable(const std::string& path, const std::string& why);
  TraceStats Finish();

  // The pieces of ReadFile, for chunks pushed in one at a time (TraceFeed).
  void BeginFile(const std::string& path, bool continues);
  void Block(const ParsedBlock& block);
  void EndFile(std::uint64_t bytes);
  void FlushText();
  bool WantsTexts() const { return wantTexts_; }
  const TraceStats& Stats() const { return stats_; }
  const CallStack& Stack() const { return stack_; }
  Micros Last() const { return timeline_.Last(); }

 private:
  void Record(const ParsedBlock& block, const LineRecord& r);
  void Timed(const ParsedBlock& block, const LineRecord& r);
  void TimedText(const ParsedBlock& block, const LineRecord& r, Micros time);
  void Notify(NoticeKind kind, std::uint64_t line, std::string message);
  void FlushCounters(Micros time);
  void Counter(CounterKind kind, std::int64_t value, Micros time);
  void EmitText(TextKind kind, std::string_view text, std::size_t depth, Micros time);
  void SeeThread(std::uint32_t thread);

  const TraceInfo& info_;
  NameTable& names_;
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

void TraceRun::EmitText(TextKind kind, std::string_view text, std::size_t depth, Micros time) {
  ++stats_.texts;
  // The closing line ends the trace's process, which a live reader must learn of.
  if (!wantTexts_ && kind != TextKind::kClosed) return;
  Text out;
  out.trace = info_.index;
  out.time = time;
  out.thread = thread_;
  out.depth = static_cast<int>(depth);
  out.kind = kind;
  out.text = text;
  sink_.OnText(out);
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
  lineNumber_ = 0;
  if (!continues) timeline_.Break();
}

void TraceRun::EndFile(std::uint64_t bytes) {
  FlushText();
  stats_.bytes += bytes;
}

void TraceRun::ReadFile(const std::string& path, ByteSource& source, bool continues,
                        const ParseOptions& parse, const ProgressFn& progress) {
  BeginFile(path, continues);
  std::uint64_t read = 0;
  std::uint64_t nextProgress = kProgressStep;
  const ParseResult result = ParseInOrder(source, parse, [&](const ParsedBlock& block) {
    Block(block);
    read += block.bytes;
    if (progress && read >= nextProgress) {
      progress(stats_.bytes + read);
      nextProgress = read + kProgressStep;
    }
  });
  EndFile(result.bytes);
  if (progress) progress(stats_.bytes);
  if (result.failed)
    Notify(NoticeKind::kUnreadable, lineNumber_ + 1, "read error; the rest of the file is lost");
}

void TraceRun::Block(const ParsedBlock& block) {
  for (const LineRecord& r : block.records) Record(block, r);
}

void TraceRun::Record(const ParsedBlock& block, const LineRecord& r) {
  ++stats_.lines;
  const std::uint64_t line = ++lineNumber_;
  if (r.Has(kCut)) Notify(NoticeKind::kLongLine, line, "line longer than 1 MiB; cut");
  if (r.Has(kUnterminated)) {
    Notify(NoticeKind::kTruncatedLine, line, "last line has no line end (truncated)");
  }
  if (r.kind == RecordKind::kContinuation) {
    if (textPending_) {
      // Aligned a few blanks in from where the text began; blanks beyond that are the text's.
      std::string_view more = block.View(r.text);
      const std::size_t aligned = pendingColumn_ + jov::trace::format::kContinuationIndent;
      std::size_t blanks = 0;
      while (blanks < more.size() && blanks < aligned && more[blanks] == ' ') ++blanks;
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
  switch (r.kind) {
    case RecordKind::kEmpty:
      return;
    case RecordKind::kDate:
      timeline_.SetDate(r.values[0]);
      return;
    case RecordKind::kThread:
      SeeThread(static_cast<std::uint32_t>(r.values[0]));
      return;
    case RecordKind::kMemory:
      counterValues_[0] = r.values[0];
      counterValues_[1] = r.values[1];
      counterPending_[0] = counterPending_[1] = true;
      return;
    case RecordKind::kHandleCount:
      counterValues_[2] = r.values[0];
      counterPending_[2] = true;
      return;
    case RecordKind::kSizeNotice:
      EmitText(TextKind::kSizeNotice, block.View(r.text), 0, timeline_.Last());
      return;
    case RecordKind::kWrapBanner:
      // The saved lines follow: older than the header, their first writer unknown.
      timeline_.Break();
      thread_ = 0;
      afterBanner_ = true;
      return;
    case RecordKind::kWrapEnd:
      return;
    case RecordKind::kPush:
    case RecordKind::kPop:
    case RecordKind::kBrokenPop:
    case RecordKind::kText:
      Timed(block, r);
      return;
    case RecordKind::kContinuation:
    case RecordKind::kOther:
      if (afterBanner) {
        stats_.wrapReasons.emplace_back(block.View(r.text));
        EmitText(TextKind::kWrapReason, block.View(r.text), 0, timeline_.Last());
        return;
      }
      Notify(NoticeKind::kBadLine, line,
             r.Has(kTimePrefixLike) ? "mangled time prefix; line skipped"
                                    : "not a trace line; skipped");
      return;
  }
}

void TraceRun::Timed(const ParsedBlock& block, const LineRecord& r) {
  const Micros previous = timeline_.Last();
  const Micros time = timeline_.Advance(r.timeOfDayMs, r.interval);
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
  const std::size_t depth = r.depth;
  if (depth > kMaxDepth) {
    Notify(NoticeKind::kBadLine, lineNumber_, "indented more than 1024 levels; skipped");
    return;
  }
  // Lines before any thread marker (the oldest lines of a wrap dump) have an unknown writer;
  // the header names its own.
  if (thread_ == 0 && !r.Has(kHeaderWords)) SeeThread(0);
  switch (r.kind) {
    case RecordKind::kPush:
      stack_.Push(depth, names_.Intern(block.View(r.text), static_cast<std::uint64_t>(r.values[0])),
                  block.View(r.detail), time, thread_);
      return;
    case RecordKind::kPop: {
      PopText pop;
      pop.name = block.View(r.text);
      pop.hasReturnCode = r.Has(kReturnCode);
      pop.returnCode = r.values[1];
      pop.duration = r.values[2];
      stack_.Pop(depth, names_.Intern(pop.name, static_cast<std::uint64_t>(r.values[0])), pop, time,
                 thread_);
      return;
    }
    case RecordKind::kBrokenPop:
      Notify(NoticeKind::kBadPop, lineNumber_, "Pop line without its duration; skipped");
      return;
    default:
      break;
  }
  stack_.SeeLine(depth, previous);
  TimedText(block, r, time);
  pendingColumn_ = r.column;
}

void TraceRun::TimedText(const ParsedBlock& block, const LineRecord& r, Micros time) {
  const std::string_view text = block.View(r.text);
  const std::size_t depth = r.depth;
  if (inHeapReport_) {
    inHeapReport_ = !r.Has(kHeapEnd);
    EmitText(TextKind::kHeapRow, text, depth, time);
    return;
  }
  switch (r.textKind) {
    case TextRecordKind::kHeapTitle:
      inHeapReport_ = true;
      EmitText(TextKind::kHeapRow, text, depth, time);
      return;
    case TextRecordKind::kDumpLine:
      EmitText(TextKind::kDumpLine, text, depth, time);
      return;
    case TextRecordKind::kHeader:
      // The header is written by the thread that started the trace.
      SeeThread(static_cast<std::uint32_t>(r.values[0]));
      EmitText(TextKind::kHeader, text, depth, time);
      return;
    case TextRecordKind::kClosed:
      EmitText(TextKind::kClosed, text, depth, time);
      return;
    case TextRecordKind::kTerminated:
      stack_.LostLine(depth, time, thread_);
      EmitText(TextKind::kTerminated, text, depth, time);
      return;
    case TextRecordKind::kVirtualMemory:
      Counter(CounterKind::kVirtualCommitted, r.values[0], time);
      EmitText(TextKind::kVirtualMemory, text, depth, time);
      return;
    case TextRecordKind::kPlain:
      break;
  }
  if (!wantTexts_) {
    ++stats_.texts;
    return;
  }
  textPending_ = true;
  pendingText_.assign(text.data(), text.size());
  pendingDepth_ = depth;
  pendingTime_ = time;
  pendingThread_ = thread_;
}

TraceStats TraceRun::Finish() {
  FlushText();
  FlushCounters(timeline_.Last());
  stack_.Finish(timeline_.Last());
  stats_.clockResyncs = timeline_.Resyncs();
  return stats_;
}

}  // namespace

TraceReader::TraceReader(NameTable& names, TraceSink& sink, const ParseOptions& parse)
    : names_(names), sink_(sink), parse_(parse) {
  parse_.wantTexts = sink.WantsTexts();
}

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
    run.ReadFile(path, *source, continues, parse_, progress);
    continues = true;
  }
  TraceStats stats = run.Finish();
  sink_.EndTrace(info, stats);
  return stats;
}

struct TraceFeed::State {
  State(const TraceInfo& traceInfo, NameTable& names, TraceSink& sink, const TextDecoder& decoder)
      : info(traceInfo), run(info, names, sink), decoder(decoder) {}
  TraceInfo info;  // the run keeps a reference to it
  TraceRun run;
  TextDecoder decoder;
  ParsedBlock block;
  std::deque<std::string> paths;  // notices refer to the file's path
};

TraceFeed::TraceFeed(NameTable& names, TraceSink& sink, const TraceInfo& info,
                     const TextDecoder& decoder)
    : sink_(sink) {
  sink_.BeginTrace(info);
  state_ = std::make_unique<State>(info, names, sink, decoder);
}

TraceFeed::~TraceFeed() = default;

void TraceFeed::BeginFile(const std::string& path, bool continues) {
  state_->paths.push_back(path);
  state_->run.BeginFile(state_->paths.back(), continues);
}

void TraceFeed::Lines(LineChunk& chunk) {
  // The block borrows the chunk's storage (a swap), so the bytes are not copied.
  ParsedBlock& block = state_->block;
  std::swap(block.chunk, chunk);
  for (std::size_t from = 0; from < block.chunk.size;) {
    from = ParseChunk(block, kMaxLine, state_->decoder, state_->run.WantsTexts(), from);
    state_->run.Block(block);
  }
  std::swap(block.chunk, chunk);
}

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
