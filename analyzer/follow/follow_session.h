// follow_session.h - one `jovtrace follow` reading: the tail of the trace's files fed line by
// line into the reader, whose calls and texts go to the live model and to the summary that
// is printed when the trace closes. A truncated or replaced file starts all of it afresh.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analyzer/follow/live_model.h"
#include "analyzer/follow/screen_view.h"
#include "analyzer/follow/trace_tail.h"
#include "analyzer/model/name_table.h"
#include "analyzer/model/trace_reader.h"
#include "analyzer/outputs/summary_sink.h"

namespace jov::analyzer {

class FollowSession : private TailListener {
 public:
  using Clock = std::chrono::steady_clock;

  // `decoder`: the code page the trace's writer used.
  FollowSession(std::string target, Micros window, const TextDecoder& decoder = TextDecoder());
  ~FollowSession() override;

  // Reads about `budget` bytes of what is new.
  TailState Poll(std::size_t budget);
  // The last Poll reached the end of what is written.
  bool AtEnd() const { return tail_.AtEnd(); }
  // The trace's closing line has been read.
  bool Closed() const { return model_->Closed(); }
  const std::string& Error() const { return tail_.Error(); }

  std::uint64_t Lines() const;
  // The trace clock now: its latest line, plus the time since that line was read (a
  // program stuck in a routine writes nothing, and its open calls go on ageing).
  Micros Now() const;
  LiveStatus Status(double linesPerSecond) const;
  LiveModel& Model() { return *model_; }
  const NameTable& Names() const { return names_; }
  void OpenLevels(std::vector<OpenLevel>& out) const;
  // Ends the reading (what is open is closed at the last line) and gives the figures
  // `jovtrace summary` gives for the same files; null when no trace was found.
  SummarySink* Finish();

 private:
  void BeginFile(const FileFacts& facts, bool continues) override;
  void Lines(LineChunk& chunk) override;
  void EndFile(std::uint64_t bytes) override;
  void Restart(const std::string& why) override;
  void Note(const std::string& what) override;
  void Fresh();

  Micros window_;
  TextDecoder decoder_;
  NameTable names_;
  TraceTail tail_;
  std::unique_ptr<LiveModel> model_;
  std::unique_ptr<SummarySink> summary_;
  std::unique_ptr<SinkFanout> fanout_;
  std::unique_ptr<TraceFeed> feed_;
  TraceInfo info_;
  std::string note_;
  Clock::time_point lastArrival_;
};

}  // namespace jov::analyzer
