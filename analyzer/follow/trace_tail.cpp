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

constexpr std::size_t kBlock = std::size_t{4} << 20;

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

TraceTail::TraceTail(std::string target) : target_(std::move(target)) {
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
    known = examined_.insert_or_assign(path, ExamineFile(path, opener)).first;
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
    const FileFacts facts = ExamineFile(target_, opener);
    if (!facts.readable) {
      Fail(target_ + ": cannot read the file: " + facts.error);
      return false;
    }
    if (!facts.isTrace) {
      // Examined again once a whole line is seen: the line may have come in after the first
      // look, and only a file whose whole lines hold no trace line is no trace.
      if (HasWholeLine(target_) && !ExamineFile(target_, opener).isTrace) {
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
  lineNumber_ = 0;
  partial_.clear();
  skipping_ = false;
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
  return OpenCurrent(listener, ExamineFile(path_, opener), false);
}

bool TraceTail::FindNext(TailListener& listener) {
  const FileFacts* best = nullptr;
  std::vector<FileFacts> candidates;
  for (const std::string& path : TraceFilesIn(dir_)) {
    if (used_.count(path) != 0) continue;
    candidates.push_back(Examine(path));
  }
  for (const FileFacts& f : candidates) {
    if (!f.hasHeader || f.wrapDump || f.program != facts_.program ||
        f.processId != facts_.processId || f.headerClock < facts_.headerClock) {
      continue;
    }
    if (best == nullptr ||
        std::tie(f.headerClock, f.path) < std::tie(best->headerClock, best->path))
      best = &f;
  }
  if (best == nullptr) return false;
  if (!partial_.empty()) {
    // The old file ended inside a line: it is read as it stands, as a finished file is.
    PhysicalLine line;
    line.number = ++lineNumber_;
    line.unterminated = true;
    line.text = partial_;
    listener.Line(line);
    partial_.clear();
  }
  listener.EndFile(offset_);
  listener.Note("the size limit replaced the file; reading on in " + FileName(best->path));
  file_.Close();
  const FileFacts next = *best;
  return OpenCurrent(listener, next, true);
}

void TraceTail::Split(TailListener& listener, const char* data, std::size_t size) {
  const char* p = data;
  const char* const end = data + size;
  while (p < end) {
    const auto* feed =
        static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (skipping_) {
      if (feed == nullptr) return;
      skipping_ = false;
      p = feed + 1;
      continue;
    }
    PhysicalLine line;
    if (feed == nullptr) {
      partial_.append(p, static_cast<std::size_t>(end - p));
      if (partial_.size() <= LineReader::kMaxLine) return;
      // A line past the reader's limit: its start is read, the rest dropped, as a file's is.
      line.number = ++lineNumber_;
      line.cut = true;
      line.text = std::string_view(partial_).substr(0, LineReader::kMaxLine);
      listener.Line(line);
      partial_.clear();
      skipping_ = true;
      return;
    }
    std::string_view text(p, static_cast<std::size_t>(feed - p));
    if (!partial_.empty()) {
      partial_.append(text.data(), text.size());
      text = partial_;
    }
    line.number = ++lineNumber_;
    if (text.size() > LineReader::kMaxLine) {
      text = text.substr(0, LineReader::kMaxLine);
      line.cut = true;
    } else if (!text.empty() && text.back() == '\r') {
      text.remove_suffix(1);
      line.crlf = true;
    }
    line.text = text;
    if (!text.empty() && text.front() == '-') {
      ParsedLine parsed;
      ParseLine(text, parsed);
      if (parsed.kind == LineKind::kSizeNotice) sizeNotice_ = true;
    }
    listener.Line(line);
    partial_.clear();
    p = feed + 1;
  }
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
  if (buffer_.empty()) buffer_.resize(kBlock);
  for (;;) {
    if (got >= budget) return state_;
    const std::size_t want = std::min<std::size_t>(buffer_.size(), budget - got);
    const long long n = file_.ReadAt(offset_, buffer_.data(), want);
    if (n < 0) {
      Fail(path_ + ": read error");
      return state_;
    }
    if (n == 0) break;
    offset_ += static_cast<std::uint64_t>(n);
    got += static_cast<std::uint64_t>(n);
    Split(listener, buffer_.data(), static_cast<std::size_t>(n));
  }
  atEnd_ = true;
  if (sizeNotice_ && FindNext(listener)) atEnd_ = false;
  return state_;
}

}  // namespace jov::analyzer
