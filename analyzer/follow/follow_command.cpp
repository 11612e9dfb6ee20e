// follow_command.cpp - `jovtrace follow`: the loop that reads what the trace's writer
// appends, redraws the screen every interval, answers the keys, and prints the trace's
// summary when its closing line comes.
#include "analyzer/follow/follow_command.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "analyzer/follow/follow_session.h"
#include "analyzer/follow/terminal.h"
#include "analyzer/outputs/summary_format.h"

namespace jov::analyzer {
namespace {

using Clock = std::chrono::steady_clock;

// Bytes read before the loop looks at the clock and the keys again.
constexpr std::size_t kBudget = std::size_t{8} << 20;
// A snapshot without a terminal: wide enough for the routine table, and bounded.
constexpr int kPlainWidth = 132;
constexpr int kPlainHeight = 45;

class FollowLoop {
 public:
  FollowLoop(const FollowOptions& options, std::FILE* out)
      : options_(options),
        out_(out),
        session_(options.trace, static_cast<Micros>(options.window * 1e6), options.decoder),
        terminal_(out) {}

  int Run();

 private:
  void Read();
  void Refresh(Clock::time_point now);
  void Draw();
  void Snapshot();
  bool Key(int key);  // false: quit
  int Wait(Clock::time_point until);

  const FollowOptions& options_;
  std::FILE* out_;
  FollowSession session_;
  Terminal terminal_;
  bool interactive_ = false;
  ViewOptions view_;
  double rate_ = 0;
  std::uint64_t rateLines_ = 0;
  Clock::time_point rateTime_ = Clock::now();
  std::chrono::milliseconds step_{100};
  TailState state_ = TailState::kWaiting;
};

// Reads in budgets until the end of what is written, or for one polling step at most, so
// that the screen and the keys are served while a large backlog is read.
void FollowLoop::Read() {
  const Clock::time_point until = Clock::now() + step_;
  do {
    state_ = session_.Poll(kBudget);
  } while (state_ == TailState::kReading && !session_.AtEnd() && !session_.Closed() &&
           Clock::now() < until && !Terminal::Interrupted());
}

void FollowLoop::Refresh(Clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - rateTime_).count();
  const std::uint64_t lines = session_.Lines();
  if (seconds > 0.001) rate_ = lines >= rateLines_ ? (lines - rateLines_) / seconds : 0;
  rateLines_ = lines;
  rateTime_ = now;
  session_.Model().SampleCounters();
  if (interactive_) {
    if (!view_.paused) Draw();
  } else {
    Snapshot();
  }
}

void FollowLoop::Draw() {
  int width = 0, height = 0;
  terminal_.Size(width, height);
  std::vector<OpenLevel> open;
  session_.OpenLevels(open);
  terminal_.Draw(BuildScreen(session_.Model(), session_.Names(), open, session_.Status(rate_),
                             view_, width, height));
}

void FollowLoop::Snapshot() {
  std::vector<OpenLevel> open;
  session_.OpenLevels(open);
  ViewOptions plain = view_;
  plain.keys = false;
  std::string text;
  for (const ScreenLine& line :
       BuildScreen(session_.Model(), session_.Names(), open, session_.Status(rate_), plain,
                   kPlainWidth, kPlainHeight)) {
    text += line.text;
    text += '\n';
  }
  text += '\n';
  std::fwrite(text.data(), 1, text.size(), out_);
  std::fflush(out_);
}

bool FollowLoop::Key(int key) {
  if (view_.editingFilter) {
    if (key == Terminal::kEnter) {
      view_.editingFilter = false;
    } else if (key == Terminal::kEscape) {
      view_.editingFilter = false;
      view_.filter.clear();
    } else if (key == Terminal::kBackspace) {
      if (!view_.filter.empty()) view_.filter.pop_back();
    } else if (key >= 0x20 && key < 0x7F) {
      view_.filter += static_cast<char>(key);
    }
  } else {
    switch (key) {
      case 'q':
      case 'Q':
        return false;
      case 'p':
      case 'P':
        view_.paused = !view_.paused;
        break;
      case 's':
      case 'S':
        view_.sort = NextSort(view_.sort);
        break;
      case '/':
        view_.editingFilter = true;
        view_.filter.clear();
        break;
      case 'r':
      case 'R':
        session_.Model().ResetWindow(session_.Now());
        break;
      default:
        return true;
    }
  }
  // Paused, the screen stays as it was but for the key line (the pause mark is drawn once).
  if (!view_.paused || key == 'p' || key == 'P') {
    Draw();
  } else {
    int width = 0, height = 0;
    terminal_.Size(width, height);
    terminal_.DrawLast(
        BuildScreen(session_.Model(), session_.Names(), {}, LiveStatus(), view_, width, 2).back(),
        height);
  }
  return true;
}

// Waits for keys until `until`; -1 to go on, or the exit code when the user quit.
int FollowLoop::Wait(Clock::time_point until) {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    const int ms = static_cast<int>(std::max<long long>(0, left.count()));
    if (!interactive_) {
      SleepFor(ms);
      return -1;
    }
    const int key = terminal_.ReadKey(ms);
    if (key < 0) {
      if (Clock::now() >= until || Terminal::Interrupted()) return -1;
      continue;
    }
    if (!Key(key)) return 0;
  }
}

int FollowLoop::Run() {
  Terminal::CatchInterrupts();
  interactive_ = !options_.once && Terminal::Interactive() && terminal_.Enter();
  view_.keys = interactive_;
  const auto interval =
      std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options_.interval));
  step_ = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(interval),
                   std::chrono::milliseconds(100));
  Clock::time_point nextDraw = Clock::now();
  for (;;) {
    Read();
    if (state_ == TailState::kFailed) {
      terminal_.Leave();
      std::fprintf(stderr, "jovtrace: %s\n", session_.Error().c_str());
      return 2;
    }
    if (options_.once) {
      // One snapshot of all that is there.
      if (!session_.AtEnd() && !session_.Closed()) continue;
      Refresh(Clock::now());
      return 0;
    }
    if (session_.Closed()) break;
    const Clock::time_point now = Clock::now();
    if (now >= nextDraw) {
      Refresh(now);
      nextDraw += interval;
      if (nextDraw <= now) nextDraw = now + interval;
      if (std::ferror(out_)) return 0;  // the output's close reports it
    }
    // Behind the writer: read on at once. Else sleep until the next poll or draw.
    const Clock::time_point until =
        session_.AtEnd() ? std::min(nextDraw, Clock::now() + step_) : Clock::now();
    const int quit = Wait(until);
    if (quit >= 0) {
      terminal_.Leave();
      return quit;
    }
    if (Terminal::Interrupted()) {
      terminal_.Leave();
      return 130;
    }
  }
  terminal_.Leave();
  const std::uint64_t lines = session_.Lines();
  SummarySink* summary = session_.Finish();
  std::fprintf(out_, "jovtrace follow: the trace closed after %llu lines.\n\n",
               static_cast<unsigned long long>(lines));
  if (summary != nullptr) {
    summary->Sort(SummarySort::kTotal);
    WriteSummaryTable(out_, *summary, session_.Names());
  }
  return 0;
}

}  // namespace

const char kFollowDescription[] =
    "Watches a trace while its program writes it: reads what is there, then follows the\n"
    "lines appended (into the next file when the size limit replaces it). A directory\n"
    "follows its newest trace. Every interval the screen shows the program and process,\n"
    "lines read and per second, the memory counters with their trend; the open calls per\n"
    "thread with how long each level has been open, the longest first (a hang is at the\n"
    "top); the routines' calls, errors, mean and 95th percentile in the last window beside\n"
    "their total calls; and the last texts. When the trace closes it prints the summary\n"
    "that `jovtrace summary` gives for the same files.\n"
    "Keys:\n"
    "  q  quit\n"
    "  p  pause the screen (reading goes on); p again resumes\n"
    "  s  sort the routines by the next of: calls in window, p95, mean, errors, total\n"
    "     calls, name\n"
    "  /  filter the routines by a text (Enter keeps it, Esc clears it)\n"
    "  r  reset the window\n"
    "Without a terminal (output redirected) a plain-text snapshot is printed every\n"
    "interval.\n"
    "Exit codes: 0 closed, quit or --once; 2 not a trace, or the file was deleted while\n"
    "followed; 3 the output could not be written; 130 interrupted (Ctrl-C).\n"
    "Example: jovtrace follow --interval 0.5 logs/";

int RunFollow(const FollowOptions& options, std::FILE* out) {
  FollowLoop loop(options, out);
  return loop.Run();
}

}  // namespace jov::analyzer
