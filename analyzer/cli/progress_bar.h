// progress_bar.h - a progress bar on a terminal's standard error for large inputs.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace jov::analyzer {

class ProgressBar {
 public:
  // Inputs smaller than this finish before a bar would help.
  static constexpr std::uint64_t kMinBytes = std::uint64_t{64} << 20;

  explicit ProgressBar(std::FILE* err);
  // Whether the stream is a terminal (a bar in a redirected file would be noise).
  bool Wanted() const { return terminal_; }
  void Show(std::uint64_t done, std::uint64_t total);
  // Clears the bar's line if one was drawn.
  void Done();

 private:
  std::FILE* err_;
  bool terminal_;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace jov::analyzer
