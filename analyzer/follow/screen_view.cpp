// screen_view.cpp - the follow screen's sections: header with memory trend, open calls per
// thread (the thread open longest first), the routines sorted and filtered, the last texts.
#include "analyzer/follow/screen_view.h"

#include <algorithm>
#include <cctype>
#include <map>

#include <fmt/format.h>

#include "analyzer/outputs/summary_format.h"

namespace jov::analyzer {
namespace {

constexpr std::size_t kTextRows = 5;

// At most `width` characters of UTF-8 text (a character: a byte that starts a sequence).
std::string Fit(std::string text, int width) {
  int chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (++chars > width) {
      text.resize(i);
      break;
    }
  }
  return text;
}

std::string Grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(at, ",");
  return digits;
}

std::string Bytes(double bytes) {
  const double size = bytes < 0 ? -bytes : bytes;
  if (size >= 1024.0 * 1024 * 1024) return fmt::format("{:.2f} GB", bytes / (1024.0 * 1024 * 1024));
  if (size >= 1024.0 * 1024) return fmt::format("{:.2f} MB", bytes / (1024.0 * 1024));
  if (size >= 1024.0) return fmt::format("{:.1f} KB", bytes / 1024.0);
  return fmt::format("{:.0f} B", bytes);
}

// The recent values as a row of marks from low "_" to high "^", and the change across them.
std::string Trend(const LiveCounter& counter, bool bytes) {
  static constexpr char kMarks[] = "_.-=^";
  std::string text = bytes ? Bytes(static_cast<double>(counter.value)) : Grouped(counter.value);
  if (counter.history.size() < 2) return text;
  const auto [low, high] = std::minmax_element(counter.history.begin(), counter.history.end());
  text += " [";
  for (const std::int64_t v : counter.history) {
    const double share =
        *high == *low ? 0.0 : static_cast<double>(v - *low) / static_cast<double>(*high - *low);
    text += kMarks[static_cast<int>(share * 4 + 0.5)];
  }
  const auto change = static_cast<double>(counter.history.back() - counter.history.front());
  text += "] ";
  text += change >= 0 ? "+" : "-";
  text += bytes ? Bytes(change < 0 ? -change : change)
                : Grouped(static_cast<std::uint64_t>(change < 0 ? -change : change));
  return text;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

class Builder {
 public:
  Builder(int width, int height) : width_(width), height_(height) {}
  void Add(std::string text, bool title = false) {
    if (static_cast<int>(lines_.size()) < height_)
      lines_.push_back({Fit(std::move(text), width_), title});
  }
  int Left() const { return height_ - static_cast<int>(lines_.size()); }
  std::vector<ScreenLine> Take() { return std::move(lines_); }

 private:
  int width_;
  int height_;
  std::vector<ScreenLine> lines_;
};

void Header(Builder& out, const LiveModel& model, const LiveStatus& status,
            const ViewOptions& view) {
  const TraceInfo& info = model.Info();
  std::string head = "jovtrace follow  " + (info.label.empty() ? std::string("-") : info.label);
  if (!info.userId.empty()) head += "  user " + info.userId;
  head += "  " + status.file;
  if (view.paused) head = "[PAUSED]  " + head;
  out.Add(head);
  if (status.waiting) {
    out.Add("waiting for a trace to appear in " + status.file);
    return;
  }
  out.Add(fmt::format("lines {} ({:.0f}/s)  calls {}  threads {}  files {}  elapsed {}  at {}",
                      Grouped(status.lines), status.linesPerSecond, Grouped(status.calls),
                      status.threads, status.files, SpanText(status.now - status.first),
                      ClockText(status.now)));
  const LiveCounter& pool = model.Counter(CounterKind::kInternalPool);
  const LiveCounter& process = model.Counter(CounterKind::kProcessBytes);
  const LiveCounter& handles = model.Counter(CounterKind::kHandleCount);
  const LiveCounter& committed = model.Counter(CounterKind::kVirtualCommitted);
  std::string memory = "memory:";
  if (pool.seen) memory += "  pool " + Trend(pool, true);
  if (process.seen) memory += "  process " + Trend(process, true);
  if (handles.seen) memory += "  handles " + Trend(handles, false);
  if (committed.seen) memory += "  committed " + Trend(committed, true);
  if (memory == "memory:") memory += " no memory lines yet";
  out.Add(memory);
  std::string note = status.note;
  if (model.Notices() != 0) {
    if (!note.empty()) note += "  |  ";
    note += fmt::format("{} lines not read, last: {}", model.Notices(), model.LastNotice());
  }
  out.Add(note);
}

void OpenCalls(Builder& out, const NameTable& names, const std::vector<OpenLevel>& open, Micros now,
               int rows) {
  // The levels of each thread in stack order; the thread whose outermost level opened
  // first leads (a hang is at the top).
  std::map<std::uint32_t, std::vector<const OpenLevel*>> byThread;
  for (const OpenLevel& level : open) byThread[level.thread].push_back(&level);
  std::vector<const std::vector<const OpenLevel*>*> threads;
  for (const auto& entry : byThread) threads.push_back(&entry.second);
  std::stable_sort(threads.begin(), threads.end(), [](const auto* a, const auto* b) {
    return a->front()->start < b->front()->start;
  });
  out.Add(fmt::format("OPEN CALLS ({} levels on {} threads, the longest open first)", open.size(),
                      threads.size()),
          true);
  if (open.empty()) {
    out.Add("  (none)");
    return;
  }
  out.Add(fmt::format("{:>10} {:>12}  {}", "thread", "open for", "routine"));
  int shown = 0;
  for (const auto* levels : threads) {
    for (std::size_t i = 0; i < levels->size(); ++i) {
      if (shown == rows - 1 && open.size() > static_cast<std::size_t>(rows)) {
        out.Add(fmt::format("{:>10} ... {} more levels", "", open.size() - shown));
        return;
      }
      const OpenLevel& level = *(*levels)[i];
      out.Add(fmt::format("{:>10} {:>12}  {}{}", i == 0 ? std::to_string(level.thread) : "",
                          SpanText(now - level.start), std::string(2 * i, ' '),
                          names.Text(level.name)));
      ++shown;
    }
  }
}

void Routines(Builder& out, const LiveModel& model, const NameTable& names, const ViewOptions& view,
              Micros now, int rows) {
  std::vector<LiveRoutine> all = model.Routines(now);
  const std::string filter = Lower(view.filter);
  std::vector<LiveRoutine> shown;
  for (const LiveRoutine& r : all) {
    if (filter.empty() || Lower(names.Text(r.name)).find(filter) != std::string::npos)
      shown.push_back(r);
  }
  auto key = [&](const LiveRoutine& r) -> double {
    switch (view.sort) {
      case RoutineSort::kWindowCalls:
        return static_cast<double>(r.window.calls);
      case RoutineSort::kP95:
        return static_cast<double>(r.window.P95());
      case RoutineSort::kMean:
        return r.window.Mean();
      case RoutineSort::kErrors:
        return static_cast<double>(r.window.errors * 1000000 + r.errors);
      case RoutineSort::kCalls:
        return static_cast<double>(r.calls);
      case RoutineSort::kName:
        return 0;
    }
    return 0;
  };
  std::sort(shown.begin(), shown.end(), [&](const LiveRoutine& a, const LiveRoutine& b) {
    const double ka = key(a), kb = key(b);
    if (ka != kb) return ka > kb;
    return names.Text(a.name) < names.Text(b.name);
  });
  std::string title = fmt::format("ROUTINES ({} of {}; window {}; sort: {}", shown.size(),
                                  all.size(), SpanText(model.Window()), SortName(view.sort));
  if (!view.filter.empty()) title += "; filter: " + view.filter;
  out.Add(title + ")", true);
  std::size_t width = 24;
  for (const LiveRoutine& r : shown)
    width = std::max(width, std::min<std::size_t>(40, names.Text(r.name).size()));
  out.Add(fmt::format("{:<{}} {:>9} {:>7} {:>10} {:>10} {:>11} {:>8}", "routine", width,
                      "win calls", "win err", "mean ms", "p95 ms", "calls", "errors"));
  for (int i = 0; i < rows && i < static_cast<int>(shown.size()); ++i) {
    const LiveRoutine& r = shown[static_cast<std::size_t>(i)];
    const bool any = r.window.calls != 0;
    out.Add(fmt::format("{:<{}} {:>9} {:>7} {:>10} {:>10} {:>11} {:>8}", names.Text(r.name), width,
                        r.window.calls, r.window.errors, any ? Millis(r.window.Mean()) : "-",
                        any ? Millis(static_cast<double>(r.window.P95())) : "-", r.calls,
                        r.errors));
  }
}

}  // namespace

RoutineSort NextSort(RoutineSort sort) {
  switch (sort) {
    case RoutineSort::kWindowCalls:
      return RoutineSort::kP95;
    case RoutineSort::kP95:
      return RoutineSort::kMean;
    case RoutineSort::kMean:
      return RoutineSort::kErrors;
    case RoutineSort::kErrors:
      return RoutineSort::kCalls;
    case RoutineSort::kCalls:
      return RoutineSort::kName;
    case RoutineSort::kName:
      return RoutineSort::kWindowCalls;
  }
  return RoutineSort::kWindowCalls;
}

const char* SortName(RoutineSort sort) {
  switch (sort) {
    case RoutineSort::kWindowCalls:
      return "calls in window";
    case RoutineSort::kP95:
      return "p95 in window";
    case RoutineSort::kMean:
      return "mean in window";
    case RoutineSort::kErrors:
      return "errors";
    case RoutineSort::kCalls:
      return "total calls";
    case RoutineSort::kName:
      return "name";
  }
  return "";
}

std::string SpanText(Micros span) {
  if (span < 0) span = 0;
  if (span < 1000000) return fmt::format("{:.1f} ms", static_cast<double>(span) / 1000);
  if (span < 60000000) return fmt::format("{:.3f} s", static_cast<double>(span) / 1000000);
  const Micros seconds = span / 1000000;
  return fmt::format("{}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::vector<ScreenLine> BuildScreen(const LiveModel& model, const NameTable& names,
                                    const std::vector<OpenLevel>& open, const LiveStatus& status,
                                    const ViewOptions& view, int width, int height) {
  Builder out(width, view.keys ? height - 1 : height);
  Header(out, model, status, view);
  if (!status.waiting) {
    // What is left after the fixed lines: a third for the open calls, the rest for the
    // routines, and the last texts below.
    const int texts = static_cast<int>(std::min(kTextRows, model.Texts().size()));
    const int free = std::max(out.Left() - 2 - 3 - 1 - std::max(texts, 1), 6);
    const int openRows = std::max(2, free / 3);
    OpenCalls(out, names, open, status.now, openRows);
    Routines(out, model, names, view, status.now, std::max(1, out.Left() - 2 - std::max(texts, 1)));
    out.Add("LAST TEXTS", true);
    const auto& all = model.Texts();
    for (std::size_t i = all.size() - static_cast<std::size_t>(texts); i < all.size(); ++i)
      out.Add(fmt::format("{}  [{}]  {}", ClockText(all[i].time), all[i].thread, all[i].text));
    if (texts == 0) out.Add("  (none)");
  }
  std::vector<ScreenLine> lines = out.Take();
  if (view.keys) {
    // The key line stays on the bottom row, where a paused screen redraws it alone.
    lines.resize(static_cast<std::size_t>(std::max(height - 1, 0)));
    std::string keys = view.editingFilter
                           ? "filter routines: " + view.filter + "_   (Enter keeps it, Esc clears)"
                           : "q quit  p " + std::string(view.paused ? "resume" : "pause") +
                                 "  s sort  / filter  r reset window";
    lines.push_back({Fit(keys, width), true});
  }
  return lines;
}

}  // namespace jov::analyzer
