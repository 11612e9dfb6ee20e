// trace_tail.cpp - following a trace's files: finding the one to read, splitting what grows
// into whole lines, and noticing the size limit's next file, a truncation or a replacement.
#include "analyzer/follow/trace_tail.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <tuple>

#include "analyzer/input/file_source.h"
#include "analyzer/input/input_expand.h"
#include "analyzer/parse/line_parse.h"

namespace jov::analyzer {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> TraceFilesIn(const std::string& dir) {
  std::vector<std::string> missing;
  return ExpandInputs({dir}, missing);
}

// Whether the start of the file holds a whole line: a file without one may still be
// getting its first line, one with them that holds no trace line is no trace.
bool HasWholeLine(const std::string& path) {
  FollowedFile file;
  std::string error;
  if (!file.Open(path, error)) return false;
  std::vector<char> head(64 * 1024);
  const long long got = file.ReadAt(0, head.data(), head.size());
  return got > 0 && std::memchr(head.data(), '\n', static_cast<std::size_t>(got)) != nullptr;
}

std::string FileName(const std::string& path) { return fs::path(path).filename().string(); }

}  // namespace

TraceTail::TraceTail(std::string target, const TextDecoder& decoder, std::size_t block)
    : target_(std::move(target)), decoder_(decoder), block_(block) {
  std::error_code error;
  targetIsDir_ = fs::is_directory(target_, error);
  if (targetIsDir_) {
    dir_ = target_;
  } else {
    dir_ = fs::path(target_).parent_path().string();
    if (dir_.empty()) dir_ = ".";
  }
}

void TraceTail::Fail(std::string why) {
  state_ = TailState::kFailed;
  error_ = std::move(why);
  file_.Close();
}

const FileFacts& TraceTail::Examine(const std::string& path) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(path, error);
  auto known = examined_.find(path);
  if (known == examined_.end() || error || known->second.size != size) {
    FileOpener opener;
    known = examined_.insert_or_assign(path, ExamineFile(path, opener, decoder_)).first;
  }
  return known->second;
}

bool TraceTail::Start(TailListener& listener) {
  FileOpener opener;
  if (!targetIsDir_) {
    std::error_code error;
    if (!fs::exists(target_, error)) {
      Fail(target_ + ": no such file or directory");
      return false;
    }
    const FileFacts facts = ExamineFile(target_, opener, decoder_);
    if (!facts.readable) {
      Fail(target_ + ": cannot read the file: " + facts.error);
      return false;
    }
    if (!facts.isTrace) {
      // Examined again once a whole line is seen: the line may have come in after the first
      // look, and only a file whose whole lines hold no trace line is no trace.
      if (HasWholeLine(target_) && !ExamineFile(target_, opener, decoder_).isTrace) {
        Fail(target_ +
             ": not a trace file (no date, thread or time-stamped line in its first 64 KiB)");
      }
      return false;  // nothing but the start of a first line yet: wait for it
    }
    return OpenCurrent(listener, facts, false);
  }
  // The newest trace of the directory: the one whose latest file was opened last. Its chain
  // is read from its first file on, as the size limit's successors are found in turn.
  std::vector<FileFacts> facts;
  for (const std::string& path : TraceFilesIn(dir_)) facts.push_back(Examine(path));
  const std::vector<TraceInfo> traces = GroupTraces(facts);
  const FileFacts* first = nullptr;
  const FileFacts* newest = nullptr;
  for (const TraceInfo& trace : traces) {
    const FileFacts* head = nullptr;
    const FileFacts* last = nullptr;
    for (const FileFacts& f : facts) {
      if (f.path == trace.files.front()) head = &f;
      if (f.path == trace.files.back()) last = &f;
    }
    if (newest == nullptr ||
        std::tie(last->headerClock, last->path) > std::tie(newest->headerClock, newest->path)) {
      newest = last;
      first = head;
    }
  }
  if (first == nullptr) return false;  // no trace in it yet
  return OpenCurrent(listener, *first, false);
}

bool TraceTail::OpenCurrent(TailListener& listener, const FileFacts& facts, bool continues) {
  std::string error;
  if (!file_.Open(facts.path, error)) {
    Fail(facts.path + ": cannot read the file: " + error);
    return false;
  }
  path_ = facts.path;
  facts_ = facts;
  offset_ = 0;
  chunker_ = LineChunker();
  sizeNotice_ = false;
  if (!continues) used_.clear();
  used_.insert(path_);
  state_ = TailState::kReading;
  listener.BeginFile(facts, continues);
  return true;
}

// The name still stands for the file read, and the file has not shrunk.
bool TraceTail::CheckName(TailListener& listener) {
  FileIdentity identity;
  const bool named = IdentifyPath(path_, identity);
  // After the size notice the writer is done with this file: what becomes of its name
  // does not matter any more.
  if (sizeNotice_) return true;
  if (!named) {
    Fail(path_ + " was deleted while it was followed");
    return false;
  }
  std::uint64_t size = 0;
  std::string why;
  if (identity != file_.Identity()) {
    why = path_ + " was replaced by a new file; reading it from the start";
  } else if (file_.Size(size) && size < offset_) {
    why = path_ + " was truncated; reading it again from the start";
  } else {
    return true;
  }
  listener.Restart(why);
  FileOpener opener;
  return OpenCurrent(listener, ExamineFile(path_, opener, decoder_), false);
}

bool TraceTail::FindNext(TailListener& listener) {
  const FileFacts* best = nullptr;
  std::vector<FileFacts> candidates;
  for (const std::string& path : TraceFilesIn(dir_)) {
    if (used_.count(path) != 0) continue;
    candidates.push_back(Examine(path));
  }
  FileFacts ended = facts_;
  ended.endsWithSizeNotice = true;
  for (const FileFacts& f : candidates) {
    if (!ContinuesChain(ended, f) || f.headerClock < facts_.headerClock) continue;
    if (best == nullptr ||
        std::tie(f.headerClock, f.path) < std::tie(best->headerClock, best->path))
      best = &f;
  }
  if (best == nullptr) return false;
  // The old file ended inside a line: it is read as it stands, as a finished file is.
  if (chunker_.Next(
          chunk_, block_, [](char*, std::size_t) { return std::size_t{0}; }, true))
    listener.Lines(chunk_);
  listener.EndFile(offset_);
  listener.Note("the size limit replaced the file; reading on in " + FileName(best->path));
  file_.Close();
  const FileFacts next = *best;
  return OpenCurrent(listener, next, true);
}

TailState TraceTail::Poll(TailListener& listener, std::size_t budget, std::uint64_t& got) {
  got = 0;
  atEnd_ = false;
  if (state_ == TailState::kFailed) return state_;
  if (state_ == TailState::kWaiting && !Start(listener)) {
    atEnd_ = true;
    return state_;
  }
  if (!CheckName(listener)) return state_;
  bool failed = false;
  bool endOfFile = false;
  const ReadFn read = [&](char* buffer, std::size_t size) -> std::size_t {
    if (got >= budget) return 0;
    const long long n = file_.ReadAt(offset_, buffer, std::min<std::size_t>(size, budget - got));
    failed = n < 0;
    endOfFile = n == 0;
    if (n <= 0) return 0;
    offset_ += static_cast<std::uint64_t>(n);
    got += static_cast<std::uint64_t>(n);
    return static_cast<std::size_t>(n);
  };
  while (chunker_.Next(chunk_, block_, read, false)) {
    // The size limit's notice is the last line the writer puts in a file.
    ParsedLine last;
    ParseLine(LastLineOf(chunk_), last);
    sizeNotice_ = last.kind == LineKind::kSizeNotice;
    listener.Lines(chunk_);
  }
  if (failed) {
    Fail(path_ + ": read error");
    return state_;
  }
  if (!endOfFile) return state_;  // the budget is spent; more is there
  atEnd_ = true;
  if (sizeNotice_ && FindNext(listener)) atEnd_ = false;
  return state_;
}

}  // namespace jov::analyzer
