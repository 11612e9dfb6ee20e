// trace_tail.h - the files of one trace as they are written: the newest trace of a
// directory or the file named, read to its end and then as it grows, line by whole line,
// on into the next file when the size limit replaces it, and from the start again when the
// file is truncated or replaced under its name.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "analyzer/follow/followed_file.h"
#include "analyzer/input/line_chunker.h"
#include "analyzer/input/text_encoding.h"
#include "analyzer/model/input_set.h"

namespace jov::analyzer {

// Receives what the tail reads, in order.
class TailListener {
 public:
  virtual ~TailListener() = default;
  // A file of the trace begins; `continues`: it carries on the one before (a size limit's
  // chain). The first file of a reading comes with `continues` false.
  virtual void BeginFile(const FileFacts& facts, bool continues) = 0;
  // The next whole lines of the file; the chunk's storage may be borrowed meanwhile.
  virtual void Lines(LineChunk& chunk) = 0;
  // The file is done (the trace went on in the next one), after `bytes` bytes.
  virtual void EndFile(std::uint64_t bytes) = 0;
  // What was read no longer holds (the file was truncated or replaced): a fresh reading
  // follows, from BeginFile on. `why` says what happened.
  virtual void Restart(const std::string& why) = 0;
  // Something worth a line on the screen (the trace went on in a new file).
  virtual void Note(const std::string& what) = 0;
};

enum class TailState {
  kWaiting,  // no trace to read yet (an empty file or directory)
  kReading,
  kFailed,  // Error() says why: not a trace, deleted, unreadable
};

class TraceTail {
 public:
  // Bytes read at a time by default: a chunk of lines parsed at once, its records a few
  // megabytes at most.
  static constexpr std::size_t kDefaultBlock = std::size_t{256} << 10;

  // `target`: a trace file, or a directory whose newest trace is followed; `decoder` reads the
  // facts of its files; `block`: bytes read at a time (a tail of many keeps it small).
  explicit TraceTail(std::string target, const TextDecoder& decoder = TextDecoder(),
                     std::size_t block = kDefaultBlock);

  // Reads what was written since the last call, about `budget` bytes at most, and hands it
  // to `listener`. `got` receives the bytes read. A line without its line feed yet waits.
  TailState Poll(TailListener& listener, std::size_t budget, std::uint64_t& got);
  // Whether the last Poll reached the end of what is written so far.
  bool AtEnd() const { return atEnd_; }
  const std::string& Error() const { return error_; }
  const std::string& Target() const { return target_; }
  // The file being read ("" before one is found), and what it is.
  const std::string& Path() const { return path_; }
  const FileFacts& Facts() const { return facts_; }

 private:
  bool Start(TailListener& listener);
  bool OpenCurrent(TailListener& listener, const FileFacts& facts, bool continues);
  bool CheckName(TailListener& listener);
  bool FindNext(TailListener& listener);
  // ExamineFile, kept while the file's size stays the same: a directory of old traces is
  // looked at again and again while the tail waits for a trace or the next file.
  const FileFacts& Examine(const std::string& path);
  void Fail(std::string why);

  std::string target_;
  TextDecoder decoder_;
  std::size_t block_;
  std::string dir_;  // where the size limit's next file appears
  bool targetIsDir_ = false;
  TailState state_ = TailState::kWaiting;
  std::string error_;
  bool atEnd_ = false;

  FollowedFile file_;
  std::string path_;
  FileFacts facts_;
  std::uint64_t offset_ = 0;  // bytes of the file read
  LineChunker chunker_;
  LineChunk chunk_;
  bool sizeNotice_ = false;     // the file ended with the size limit's notice: a next file comes
  std::set<std::string> used_;  // files of this trace read already
  std::map<std::string, FileFacts> examined_;
};

}  // namespace jov::analyzer
