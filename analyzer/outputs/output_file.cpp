// output_file.cpp - the checked output of every subcommand (output_file.h).
#include "analyzer/outputs/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include <fmt/format.h>

namespace jov::analyzer {
namespace {

// A name beside `path` that no other run picks: the name, a random number, ".tmp".
std::string TemporaryBeside(const std::string& path) {
  std::random_device random;
  return fmt::format("{}.{:08x}.tmp", path, random());
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
  if (path_.empty()) {
    stream_ = stdout;
    return;
  }
  // A device or a pipe (/dev/full, a named pipe) is written where it is: a file put in its
  // place would replace it.
  std::error_code unknown;
  const std::filesystem::file_status status = std::filesystem::status(path_, unknown);
  const bool special = std::filesystem::exists(status) &&
                       !std::filesystem::is_regular_file(status) &&
                       !std::filesystem::is_directory(status);
  if (!special) temporary_ = TemporaryBeside(path_);
  errno = 0;
  stream_ = std::fopen(special ? path_.c_str() : temporary_.c_str(), "wb");
  if (stream_ == nullptr) Fail(errno != 0 ? errno : EIO);
}

OutputFile::~OutputFile() {
  if (closed_) return;
  if (stream_ != nullptr && stream_ != stdout) std::fclose(stream_);
  if (!temporary_.empty()) std::remove(temporary_.c_str());
}

void OutputFile::Fail(int error) {
  if (!reason_.empty()) return;
  error_ = error;
  reason_ = std::strerror(error);
}

OutputFile::Status OutputFile::Close() {
  if (!closed_ && stream_ != nullptr) {
    closed_ = true;
    // A write that failed earlier is marked on the stream, and its reason is still in errno
    // when nothing wrote after it (a writer's last flush fails as the first one did).
    const int earlier = errno;
    errno = 0;
    bool failed = std::fflush(stream_) != 0 || std::ferror(stream_) != 0;
    if (stream_ != stdout) failed = std::fclose(stream_) != 0 || failed;
    if (failed) Fail(errno != 0 ? errno : earlier != 0 ? earlier : EIO);
    if (!temporary_.empty()) {
      std::error_code renamed;
      if (reason_.empty()) std::filesystem::rename(temporary_, path_, renamed);
      if (renamed) reason_ = renamed.message();
      if (!reason_.empty()) std::remove(temporary_.c_str());
    }
  }
  if (reason_.empty()) return Status::kWritten;
  return path_.empty() && error_ == EPIPE ? Status::kPipeClosed : Status::kFailed;
}

std::string OutputFile::Error() const {
  return fmt::format("cannot write {}: {}", path_.empty() ? "standard output" : path_, reason_);
}

int WriteOutput(const std::string& path, const std::function<void(std::FILE*)>& write) {
  OutputFile output(path);
  if (output.Stream() != nullptr) {
    try {
      write(output.Stream());
    } catch (const std::system_error& e) {
      // The formatting library throws when a write of its own fails.
      output.Fail(e.code().value());
    }
  }
  switch (output.Close()) {
    case OutputFile::Status::kWritten:
    case OutputFile::Status::kPipeClosed:
      return 0;
    case OutputFile::Status::kFailed:
      break;
  }
  std::fprintf(stderr, "jovtrace: %s\n", output.Error().c_str());
  return kExitWriteFailed;
}

}  // namespace jov::analyzer
