// trace_watch.cpp - finding the traces of the paths named, and each one's tail (the one
// `follow` reads with) feeding the reader's push entry, whose calls, counters and figures go
// into the metric store. This file is where serve meets the reader: the rest of serve knows
// only the store.
#include "analyzer/serve/trace_watch.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "analyzer/follow/trace_tail.h"
#include "analyzer/input/file_source.h"
#include "analyzer/input/input_expand.h"
#include "analyzer/model/input_set.h"
#include "analyzer/model/trace_reader.h"

namespace jov::analyzer::serve {
namespace {

// Bytes one trace reads before the lock is let go: a scrape waits for one piece at most.
constexpr std::size_t kBudget = std::size_t{1} << 20;
// Bytes a trace's tail reads at a time: small, since a hundred traces each keep a buffer.
constexpr std::size_t kBlock = std::size_t{64} << 10;

}  // namespace

// One trace: its tail, the reader fed from it, and the sink that puts what the reader makes
// of the lines into the store. While it catches up with what was written before serve
// started (StartAt::kEnd) it keeps the process's state (open calls, memory) but counts nothing.
class TraceWatch::Watched : private TailListener, private TraceSink {
 public:
  Watched(const TraceInfo& info, bool catchingUp, MetricStore& store, NameTable& names,
          const TextDecoder& decoder, std::set<std::string>& known)
      : tail_(info.files.front(), decoder, kBlock),
        decoder_(decoder),
        info_(info),
        program_(info.program),
        pid_(info.processId),
        catchingUp_(catchingUp),
        store_(store),
        names_(names),
        known_(known) {
    store_.Process(program_, pid_);
  }

  // Reads a piece; false once the trace ended (closed, deleted, unreadable).
  bool Poll(bool& atEnd, bool& read) {
    std::uint64_t got = 0;
    const TailState state = tail_.Poll(*this, kBudget, got);
    atEnd = tail_.AtEnd();
    read = read || got != 0;
    Account(got != 0);
    if (state == TailState::kFailed) {
      std::fprintf(stderr, "jovtrace serve: %s\n", tail_.Error().c_str());
      failed_ = true;
      End();
      return false;
    }
    if (closed_) {
      End();
      return false;
    }
    if (atEnd) catchingUp_ = false;  // from here on it counts
    return true;
  }

  bool Failed() const { return failed_; }
  bool CatchingUp() const { return catchingUp_; }

  FollowedTrace Describe() const {
    return {program_, pid_, tail_.Path().empty() ? tail_.Target() : tail_.Path(), catchingUp_};
  }
  const std::string& Program() const { return program_; }
  std::uint32_t Pid() const { return pid_; }

 private:
  // The reading's figures since the last piece, the latest line and the open calls.
  void Account(bool arrived) {
    ProcessSeries& process = store_.Process(program_, pid_);
    if (arrived) process.lastArrival = SteadyClock::now();
    if (feed_ == nullptr) return;
    const TraceStats& stats = feed_->Stats();
    if (!catchingUp_) {
      process.lines += stats.lines - linesSeen_;
      process.unreadableLines += stats.skippedLines - skippedSeen_;
    }
    linesSeen_ = stats.lines;
    skippedSeen_ = stats.skippedLines;
    process.lastLine = feed_->LastTime();
    // A thread's innermost open call: its last level in the stack (outermost first).
    feed_->OpenLevels(levels_);
    process.open.clear();
    for (const OpenLevel& level : levels_) {
      OpenCall* call = nullptr;
      for (OpenCall& known : process.open)
        if (known.thread == level.thread) call = &known;
      if (call == nullptr) call = &process.open.emplace_back();
      *call = {level.thread, level.name, level.start};
    }
  }

  // What is still open closes at the last line (as summary closes it); the series are
  // retired after the retention, or at once for a trace that was over before serve came.
  void End() {
    if (feed_ != nullptr) {
      feed_->Finish(info_);
      feed_.reset();
    }
    if (catchingUp_) {
      store_.Drop(program_, pid_);
    } else {
      store_.Ended(store_.Process(program_, pid_), SteadyClock::now());
    }
  }

  void BeginFile(const FileFacts& facts, bool continues) override {
    if (continues && feed_ != nullptr) {
      info_.files.push_back(facts.path);
    } else {
      info_ = TraceOfFile(facts);
      feed_ = std::make_unique<TraceFeed>(names_, static_cast<TraceSink&>(*this), info_, decoder_);
      linesSeen_ = skippedSeen_ = 0;
    }
    ++store_.Process(program_, pid_).files;
    // A file the tail went on into before discovery saw it is this trace's, not a new one.
    known_.insert(facts.path);
    feed_->BeginFile(facts.path, continues);
  }
  void Lines(LineChunk& chunk) override { feed_->Lines(chunk); }
  void EndFile(std::uint64_t bytes) override { feed_->EndFile(bytes); }
  void Restart(const std::string& why) override {
    std::fprintf(stderr, "jovtrace serve: %s\n", why.c_str());
    feed_.reset();  // the calls it had open are gone with the old content
    ++store_.Process(program_, pid_).restarts;
  }
  void Note(const std::string&) override {}

  void OnCall(const Call& call) override {
    if (!catchingUp_) store_.AddCall(program_, call);
  }
  void OnCounter(const CounterSample& sample) override {
    ProcessSeries& process = store_.Process(program_, pid_);
    switch (sample.kind) {
      case CounterKind::kInternalPool:
        process.poolBytes = sample.value;
        break;
      case CounterKind::kProcessBytes:
        process.privateBytes = sample.value;
        break;
      case CounterKind::kHandleCount:
        process.handles = sample.value;
        break;
      case CounterKind::kVirtualCommitted:
        break;
    }
  }
  void OnText(const Text& text) override {
    if (text.kind == TextKind::kClosed) closed_ = true;
  }
  // The closing line comes without asking for every text.
  bool WantsTexts() const override { return false; }

  TraceTail tail_;
  const TextDecoder& decoder_;
  TraceInfo info_;
  std::string program_;
  std::uint32_t pid_;
  bool catchingUp_;
  MetricStore& store_;
  NameTable& names_;
  std::set<std::string>& known_;
  std::unique_ptr<TraceFeed> feed_;
  std::vector<OpenLevel> levels_;
  std::uint64_t linesSeen_ = 0;
  std::uint64_t skippedSeen_ = 0;
  bool closed_ = false;
  bool failed_ = false;
};

TraceWatch::TraceWatch(std::vector<std::string> inputs, StartAt startAt, const TextDecoder& decoder,
                       MetricStore& store, NameTable& names, std::mutex& lock)
    : inputs_(std::move(inputs)),
      startAt_(startAt),
      decoder_(decoder),
      store_(store),
      names_(names),
      lock_(lock) {}

TraceWatch::~TraceWatch() = default;

bool TraceWatch::Owned(const std::string& program, std::uint32_t pid) const {
  for (const auto& watched : watched_)
    if (watched->Program() == program && watched->Pid() == pid) return true;
  return false;
}

void TraceWatch::Discover() {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<std::string> missing;
  const std::vector<std::string> files = ExpandInputs(inputs_, missing);
  const std::set<std::string> present(files.begin(), files.end());
  // Files gone are forgotten: what is remembered stays bounded by what is there.
  const auto forget = [&present](auto& set) {
    for (auto it = set.begin(); it != set.end();)
      it = present.count(*it) != 0 ? std::next(it) : set.erase(it);
  };
  forget(known_);
  forget(notTraces_);
  for (auto it = pendingSize_.begin(); it != pendingSize_.end();)
    it = present.count(it->first) != 0 ? std::next(it) : pendingSize_.erase(it);

  std::vector<FileFacts> fresh;
  for (const std::string& path : files) {
    if (known_.count(path) != 0 || notTraces_.count(path) != 0) continue;
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(path, error);
    if (error) continue;
    const auto pending = pendingSize_.find(path);
    FileOpener opener;
    FileFacts facts = ExamineFile(path, opener, decoder_);
    // Perhaps its first lines are still being written: a file not recognisable yet, or one
    // whose header (the program's process) has not come, is looked at again next time; one
    // unchanged since is taken as it is.
    const bool settled = pending != pendingSize_.end() && pending->second == size;
    if (settled && size != 0 && (!facts.readable || !facts.isTrace)) {
      notTraces_.insert(path);  // not recognisable, and unchanged since: no trace
      pendingSize_.erase(path);
      continue;
    }
    if (!facts.readable || !facts.isTrace || (!facts.hasHeader && !settled)) {
      pendingSize_[path] = size;
      continue;
    }
    pendingSize_.erase(path);
    if (facts.wrapDump) {
      known_.insert(path);  // a dump is read after the fact (summary, report), not followed
      continue;
    }
    fresh.push_back(std::move(facts));
  }
  for (const TraceInfo& trace : GroupTraces(fresh)) {
    known_.insert(trace.files.begin(), trace.files.end());
    // A followed trace's next file: its tail goes on into it.
    if (discovered_ && Owned(trace.program, trace.processId)) continue;
    watched_.push_back(std::make_unique<Watched>(trace, !discovered_ && startAt_ == StartAt::kEnd,
                                                 store_, names_, decoder_, known_));
  }
  discovered_ = true;
}

TraceWatch::Progress TraceWatch::Poll() {
  bool allAtEnd = true;
  bool read = false;
  bool catchingUp = false;
  for (auto it = watched_.begin(); it != watched_.end();) {
    Watched& watched = **it;
    // Traces there at start catch up one at a time: a folder of old traces holds one
    // reading's buffers at once.
    const bool waits = watched.CatchingUp() && catchingUp;
    bool atEnd = !waits;
    bool goesOn = true;
    if (!waits) {
      catchingUp = catchingUp || watched.CatchingUp();
      std::lock_guard<std::mutex> guard(lock_);
      goesOn = watched.Poll(atEnd, read);
      if (!goesOn) {
        ++tracesEnded_;
        if (watched.Failed()) ++tailErrors_;
        it = watched_.erase(it);
      }
    }
    if (!atEnd) allAtEnd = false;
    if (goesOn) ++it;
  }
  std::lock_guard<std::mutex> guard(lock_);
  store_.Expire(SteadyClock::now());
  return !allAtEnd ? Progress::kBehind : read ? Progress::kRead : Progress::kQuiet;
}

std::vector<FollowedTrace> TraceWatch::Followed() const {
  std::vector<FollowedTrace> out;
  for (const auto& watched : watched_) out.push_back(watched->Describe());
  return out;
}

}  // namespace jov::analyzer::serve
