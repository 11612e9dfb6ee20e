// output_file.h - where a subcommand's output goes, checked: standard output, flushed and
// checked at its close, or a file written under a temporary name beside it and renamed only
// when complete, so that a failed write leaves neither a half file nor the temporary one. A
// device or a pipe named by -o is written directly.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace jov::analyzer {

// Exit code of a run whose output could not be written (beside 2 of the inputs).
inline constexpr int kExitWriteFailed = 3;

class OutputFile {
 public:
  enum class Status {
    kWritten,     // everything reached its place
    kFailed,      // the file could not be made, or a write, the close or the rename failed
    kPipeClosed,  // standard output is a pipe whose reader has gone (`| head`)
  };

  // Standard output when `path` is empty, a device or pipe at `path` itself, else a new
  // temporary file beside `path`.
  explicit OutputFile(std::string path);
  // Removes the temporary file if Close did not put it in place.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Null when the file could not be made (Close then says why).
  std::FILE* Stream() const { return stream_; }
  // Records a failure the writer saw itself (a write that threw), with the system's error
  // number; the output then counts as failed.
  void Fail(int error);
  // Flushes and closes; a complete file takes its name. What became of the output.
  Status Close();
  // "cannot write <where>: <reason>", after a failure.
  std::string Error() const;

 private:
  std::string path_;  // empty: standard output
  std::string temporary_;
  std::FILE* stream_ = nullptr;
  std::string reason_;  // the first failure's reason; empty while none
  int error_ = 0;       // its error number, when it has one
  bool closed_ = false;
};

// Opens the output at `path` (empty: standard output), lets `write` fill its stream, and
// closes it checked: 0 when written, or when a pipe's reader left early (it took what it
// wanted); else 3, with "jovtrace: cannot write <where>: <reason>" on standard error.
int WriteOutput(const std::string& path, const std::function<void(std::FILE*)>& write);

}  // namespace jov::analyzer
