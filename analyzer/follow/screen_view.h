// screen_view.h - the follow screen as lines of text, made from the live model for a given
// width and height: the header, the open calls longest first, the routines, the last
// texts. The terminal draws them; a redirected output prints them as they are.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "analyzer/follow/live_model.h"
#include "analyzer/model/call_stack.h"
#include "analyzer/model/name_table.h"

namespace jov::analyzer {

enum class RoutineSort { kWindowCalls, kP95, kMean, kErrors, kCalls, kName };
// The next sort of the `s` key's cycle, and its name on the screen.
RoutineSort NextSort(RoutineSort sort);
const char* SortName(RoutineSort sort);

// The reading's figures that the model does not hold.
struct LiveStatus {
  std::string file;  // the file being read
  bool waiting = false;
  std::uint64_t lines = 0;
  double linesPerSecond = 0;
  std::uint64_t calls = 0;
  std::size_t threads = 0;
  std::size_t files = 0;
  Micros first = 0;  // the trace's first line (trace clock)
  Micros now = 0;    // the trace clock now: its last line plus the time since it was read
  std::string note;  // the last thing worth saying (the next file, a fresh reading)
};

struct ViewOptions {
  RoutineSort sort = RoutineSort::kWindowCalls;
  std::string filter;
  bool editingFilter = false;
  bool paused = false;
  bool keys = true;  // the key line at the bottom (a terminal's)
};

struct ScreenLine {
  std::string text;
  bool title = false;  // a section's title, drawn highlighted on a terminal
};

// The screen's lines, each at most `width` characters, at most `height` of them.
std::vector<ScreenLine> BuildScreen(const LiveModel& model, const NameTable& names,
                                    const std::vector<OpenLevel>& open, const LiveStatus& status,
                                    const ViewOptions& view, int width, int height);

// "12.345 s", "250.0 ms", "1:02:03": a span of time for the screen.
std::string SpanText(Micros span);

}  // namespace jov::analyzer
