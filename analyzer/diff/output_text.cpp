// output_text.cpp - a failed write is noticed at the write, the flush or the close; the file is
// only replaced by a rename once the temporary one is complete.
#include "analyzer/diff/output_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace jov::analyzer::diff {
namespace {

bool WriteAll(std::FILE* out, const std::string& text) {
  return std::fwrite(text.data(), 1, text.size(), out) == text.size() && std::fflush(out) == 0;
}

}  // namespace

bool WriteOutputText(const std::string& path, const std::string& text, std::string& error) {
  errno = 0;
  if (path.empty()) {
    if (WriteAll(stdout, text)) return true;
    error = errno != 0 ? std::strerror(errno) : "write failed";
    return false;
  }
  const std::string partial = path + ".partial";
  std::FILE* out = std::fopen(partial.c_str(), "wb");
  if (out == nullptr) {
    error = std::strerror(errno);
    return false;
  }
  const bool written = WriteAll(out, text);
  const int savedErrno = errno;
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) {
    error = std::strerror(savedErrno != 0 ? savedErrno : errno);
    std::remove(partial.c_str());
    return false;
  }
  std::error_code code;
  std::filesystem::rename(partial, path, code);
  if (code) {
    // Some systems do not rename over an existing file.
    std::filesystem::remove(path, code);
    std::filesystem::rename(partial, path, code);
  }
  if (code) {
    error = code.message();
    std::remove(partial.c_str());
    return false;
  }
  return true;
}

}  // namespace jov::analyzer::diff
