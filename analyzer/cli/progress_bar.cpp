// progress_bar.cpp - "[#####     ]  45%  123 MB/s" redrawn in place on a terminal.
#include "analyzer/cli/progress_bar.h"

#ifdef _WIN32
#include <io.h>
#define JOVTRACE_ISATTY _isatty
#define JOVTRACE_FILENO _fileno
#else
#include <unistd.h>
#define JOVTRACE_ISATTY isatty
#define JOVTRACE_FILENO fileno
#endif

namespace jov::analyzer {

ProgressBar::ProgressBar(std::FILE* err)
    : err_(err),
      terminal_(JOVTRACE_ISATTY(JOVTRACE_FILENO(err)) != 0),
      start_(std::chrono::steady_clock::now()) {}

void ProgressBar::Show(std::uint64_t done, std::uint64_t total) {
  if (!terminal_ || total < kMinBytes) return;
  constexpr int kWidth = 30;
  const double share = total == 0 ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
  const int filled = static_cast<int>(share * kWidth);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / 1e6 / seconds : 0;
  char bar[kWidth + 1];
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : ' ';
  bar[kWidth] = '\0';
  std::fprintf(err_, "\r[%s] %3d%%  %.0f MB/s ", bar, static_cast<int>(share * 100), rate);
  std::fflush(err_);
  drawn_ = true;
}

void ProgressBar::Done() {
  if (!drawn_) return;
  std::fprintf(err_, "\r%*s\r", 60, "");
  std::fflush(err_);
  drawn_ = false;
}

}  // namespace jov::analyzer
