// follow_session.cpp - the tail's files and lines handed to the reader's push entry
// (TraceFeed), with the live model and the summary as its sinks.
#include "analyzer/follow/follow_session.h"

#include <filesystem>

namespace jov::analyzer {

FollowSession::FollowSession(std::string target, Micros window, const TextDecoder& decoder)
    : window_(window),
      decoder_(decoder),
      tail_(std::move(target), decoder),
      lastArrival_(Clock::now()) {
  Fresh();
}

FollowSession::~FollowSession() = default;

void FollowSession::Fresh() {
  feed_.reset();
  model_ = std::make_unique<LiveModel>(window_);
  summary_ = std::make_unique<SummarySink>(names_);
  fanout_ = std::make_unique<SinkFanout>();
  fanout_->Add(*model_);
  fanout_->Add(*summary_);
}

void FollowSession::BeginFile(const FileFacts& facts, bool continues) {
  if (continues && feed_ != nullptr) {
    info_.files.push_back(facts.path);
  } else {
    info_ = TraceOfFile(facts);
    feed_ = std::make_unique<TraceFeed>(names_, *fanout_, info_, decoder_);
  }
  feed_->BeginFile(facts.path, continues);
}

void FollowSession::Lines(LineChunk& chunk) { feed_->Lines(chunk); }

void FollowSession::EndFile(std::uint64_t bytes) { feed_->EndFile(bytes); }

void FollowSession::Restart(const std::string& why) {
  Fresh();
  note_ = why;
}

void FollowSession::Note(const std::string& what) { note_ = what; }

TailState FollowSession::Poll(std::size_t budget) {
  std::uint64_t got = 0;
  const TailState state = tail_.Poll(*this, budget, got);
  if (got != 0) {
    lastArrival_ = Clock::now();
  } else if (feed_ != nullptr && tail_.AtEnd()) {
    // The writer has gone quiet: a text that waited for continuation lines is shown.
    feed_->FlushText();
  }
  return state;
}

std::uint64_t FollowSession::Lines() const { return feed_ == nullptr ? 0 : feed_->Stats().lines; }

Micros FollowSession::Now() const {
  if (feed_ == nullptr) return 0;
  const auto quiet =
      std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - lastArrival_);
  return feed_->LastTime() + quiet.count();
}

LiveStatus FollowSession::Status(double linesPerSecond) const {
  LiveStatus status;
  status.file = tail_.Path().empty() ? tail_.Target()
                                     : std::filesystem::path(tail_.Path()).filename().string();
  status.waiting = feed_ == nullptr;
  status.note = note_;
  status.linesPerSecond = linesPerSecond;
  if (feed_ == nullptr) return status;
  const TraceStats& stats = feed_->Stats();
  status.lines = stats.lines;
  status.calls = stats.calls;
  status.threads = stats.threads.size();
  status.files = info_.files.size();
  status.first = stats.first;
  status.now = Now();
  return status;
}

void FollowSession::OpenLevels(std::vector<OpenLevel>& out) const {
  out.clear();
  if (feed_ != nullptr) feed_->OpenLevels(out);
}

SummarySink* FollowSession::Finish() {
  if (feed_ == nullptr) return nullptr;
  feed_->Finish(info_);
  feed_.reset();
  return summary_.get();
}

}  // namespace jov::analyzer
