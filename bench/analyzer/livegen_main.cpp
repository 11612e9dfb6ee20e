// livegen_main.cpp - appends a trace to a file at a given rate, as a running program's trace
// grows, for `jovtrace follow`'s tests and measurement: nested routines with return codes,
// texts, memory lines, a second thread, optionally a routine held open the whole run, and a
// size limit that goes on in a new file (the size notice, then a new header).
//
// Usage: jovtrace_livegen DIR NAME [--rate LINES_PER_S] [--seconds S] [--size-limit BYTES]
//                         [--hold ROUTINE] [--pid N] [--no-close] [--seed N]
// Prints the files it wrote, one a line, then "lines N" and the rate it reached.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "analyzer/generator/trace_lines.h"

namespace {

using Clock = std::chrono::steady_clock;

const char* const kClasses[] = {"Parser", "Buffer", "Index", "Store", "Net", "Report", "Cache"};
const char* const kRoutines[] = {"Open",  "ReadBlock", "Fill",    "Lookup",  "Write",
                                 "Flush", "Send",      "Receive", "Compute", "Close"};

struct Options {
  std::string dir;
  std::string name;
  double rate = 20000;
  double seconds = 5;
  std::uint64_t sizeLimit = 0;  // 0: none
  std::string hold;
  std::uint32_t pid = 4242;
  bool close = true;
  std::uint32_t seed = 19;
};

bool Parse(int argc, char** argv, Options& o) {
  if (argc < 3) return false;
  o.dir = argv[1];
  o.name = argv[2];
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (arg == "--no-close") {
      o.close = false;
      continue;
    }
    if (value == nullptr) return false;
    ++i;
    if (arg == "--rate")
      o.rate = std::atof(value);
    else if (arg == "--seconds")
      o.seconds = std::atof(value);
    else if (arg == "--size-limit")
      o.sizeLimit = std::strtoull(value, nullptr, 10);
    else if (arg == "--hold")
      o.hold = value;
    else if (arg == "--pid")
      o.pid = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
    else if (arg == "--seed")
      o.seed = static_cast<std::uint32_t>(std::strtoul(value, nullptr, 10));
    else
      return false;
  }
  return o.rate > 0 && o.seconds >= 0;
}

class Writer {
 public:
  explicit Writer(const Options& o) : o_(o), random_(o.seed) {
    const std::time_t t = std::time(nullptr);
    std::tm local = *std::localtime(&t);
    start_ = Clock::now();
    const std::int64_t ofDay =
        (local.tm_hour * 3600LL + local.tm_min * 60 + local.tm_sec) * 1000000LL;
    script_ = std::make_unique<jov::generator::Script>(local.tm_year + 1900, local.tm_mon + 1,
                                                       local.tm_mday, ofDay);
    stamp_ = local;
  }

  bool Run() {
    if (!OpenFile()) return false;
    if (!o_.hold.empty()) {
      script_->Thread(7);
      script_->Push(o_.hold, "Request=1");
      script_->Thread(100);
    }
    base_ = script_->Depth();
    const std::uint64_t total = static_cast<std::uint64_t>(o_.rate * o_.seconds);
    const auto step = std::chrono::milliseconds(10);
    Clock::time_point next = start_;
    while (lines_ < total) {
      // The lines due by now, written together: a program's trace grows in bursts too.
      // At most a step's worth at once: a writer slower than the rate asked for still
      // writes steadily instead of in ever larger bursts.
      const double due = o_.rate * std::chrono::duration<double>(Clock::now() - start_).count();
      const double batch = std::max(1.0, o_.rate / 100);
      std::size_t made = 0;
      while (lines_ + script_->Lines().size() < std::min<double>(due, total) && made++ < batch)
        Step();
      if (!Flush()) return false;
      next += step;
      std::this_thread::sleep_until(next);
    }
    while (script_->Depth() > 0) {
      Tick();
      script_->Thread(script_->Depth() == 1 && !o_.hold.empty() ? 7 : 100);
      script_->Pop(-1, 0);
    }
    if (o_.close) script_->Text("Trace Closed.");
    if (!Flush()) return false;
    std::fclose(file_);
    const double elapsed = std::chrono::duration<double>(Clock::now() - start_).count();
    std::printf("lines %llu\nrate %.0f lines/s\n", static_cast<unsigned long long>(lines_),
                elapsed > 0 ? lines_ / elapsed : 0.0);
    return true;
  }

 private:
  // The script's clock follows the real one, so the trace's times are the times written.
  void Tick() {
    const auto real = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start_);
    const std::int64_t behind = real.count() - scriptElapsed_;
    if (behind > 0) {
      script_->Advance(behind);
      scriptElapsed_ += behind;
    }
  }

  void Step() {
    Tick();
    const unsigned pick = random_() % 100;
    if (pick < 40 && script_->Depth() < base_ + 6) {
      const std::string name =
          std::string(kClasses[random_() % 7]) + "." + kRoutines[random_() % 10];
      script_->Push(name);
    } else if (pick < 80 && script_->Depth() > base_) {
      const unsigned code = random_() % 20;
      script_->Pop(-1, code == 0 ? 5 : (code < 10 ? 0 : jov::generator::kNoValue));
    } else if (pick < 82) {
      script_->Thread(101);
      script_->Text("worker: progress check");
      script_->Thread(100);
    } else if (pick < 84) {
      pool_ += static_cast<std::int64_t>(random_() % 8192) - 3000;
      if (pool_ < 0) pool_ = 0;
      script_->Memory(pool_, (1 << 20) + static_cast<int>(pool_ / 2));
      script_->Text("allocated a buffer");
    } else {
      script_->Text("processing record " + std::to_string(random_() % 1000000));
    }
  }

  bool OpenFile() {
    char stamp[32];
    std::tm at = stamp_;
    at.tm_sec += static_cast<int>(files_.size());  // each new file a second later in its name
    std::mktime(&at);
    std::strftime(stamp, sizeof stamp, "%y%m%d %H%M%S", &at);
    const std::string path = o_.dir + "/" + stamp + " " + o_.name + ".JOV_Log";
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
      std::fprintf(stderr, "%s: cannot write the file\n", path.c_str());
      return false;
    }
    files_.push_back(path);
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    fileBytes_ = 0;
    script_->Open(o_.pid, 100, "C:\\live\\" + std::string(stamp) + " " + o_.name + ".JOV_Log");
    return true;
  }

  bool Flush() {
    const std::string text = script_->Content();
    lines_ += script_->Lines().size();
    script_->Clear();
    if (std::fwrite(text.data(), 1, text.size(), file_) != text.size() || std::fflush(file_) != 0)
      return false;
    fileBytes_ += text.size();
    if (o_.sizeLimit != 0 && fileBytes_ > o_.sizeLimit) {
      // As the library does: the notice ends the full file and a new one goes on.
      const std::string notice = std::string(jov::generator::kSizeNotice) + "\r\n";
      std::fwrite(notice.data(), 1, notice.size(), file_);
      ++lines_;
      std::fclose(file_);
      if (!OpenFile()) return false;
    }
    return true;
  }

  const Options& o_;
  std::mt19937 random_;
  std::unique_ptr<jov::generator::Script> script_;
  std::tm stamp_;
  Clock::time_point start_;
  std::int64_t scriptElapsed_ = 0;
  std::FILE* file_ = nullptr;
  std::vector<std::string> files_;
  std::uint64_t fileBytes_ = 0;
  std::uint64_t lines_ = 0;
  std::int64_t pool_ = 0;
  int base_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: jovtrace_livegen DIR NAME [--rate LINES_PER_S] [--seconds S] "
                 "[--size-limit BYTES] [--hold ROUTINE] [--pid N] [--no-close] [--seed N]\n");
    return 2;
  }
  Writer writer(options);
  return writer.Run() ? 0 : 1;
}
