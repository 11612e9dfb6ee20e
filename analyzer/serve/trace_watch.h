// trace_watch.h - the traces under the paths `serve` was given, found and followed: those
// there at start and each new one as it appears, each read by the tail that `follow` uses
// and the reader's push entry, its calls and figures put into the metric store.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "analyzer/input/text_encoding.h"
#include "analyzer/model/name_table.h"
#include "analyzer/serve/metric_store.h"

namespace jov::analyzer::serve {

enum class StartAt {
  kEnd,    // traces there at start count from what is written after it
  kStart,  // they are read whole
};

// One trace followed, as the status page shows it.
struct FollowedTrace {
  std::string program;
  std::uint32_t pid = 0;
  std::string path;  // the file being read
  bool catchingUp = false;
};

class TraceWatch {
 public:
  // `lock` guards the store and the names: the reading takes it for each piece it reads.
  // `decoder`: the code page the traces were written in.
  TraceWatch(std::vector<std::string> inputs, StartAt startAt, const TextDecoder& decoder,
             MetricStore& store, NameTable& names, std::mutex& lock);
  ~TraceWatch();

  // Looks for traces not followed yet; the first call finds those there at start.
  void Discover();
  enum class Progress {
    kBehind,  // a trace has more to read now
    kRead,    // lines came, and every trace is at the end of what is written
    kQuiet,   // nothing came
  };
  // Reads a piece of each followed trace.
  Progress Poll();

  // Under the lock: what is followed, and the exporter's own figures.
  std::vector<FollowedTrace> Followed() const;
  std::size_t NotTraces() const { return notTraces_.size(); }
  std::uint64_t TracesEnded() const { return tracesEnded_; }
  std::uint64_t TailErrors() const { return tailErrors_; }
  const std::vector<std::string>& Inputs() const { return inputs_; }

  class Watched;

 private:
  void Start(const std::vector<std::string>& files, bool atStart);
  bool Owned(const std::string& program, std::uint32_t pid) const;

  std::vector<std::string> inputs_;
  StartAt startAt_;
  TextDecoder decoder_;
  MetricStore& store_;
  NameTable& names_;
  std::mutex& lock_;
  bool discovered_ = false;
  std::vector<std::unique_ptr<Watched>> watched_;
  std::set<std::string> known_;      // files followed, or left to the trace they continue
  std::set<std::string> notTraces_;  // files that hold no trace
  std::map<std::string, std::uint64_t> pendingSize_;  // files not recognisable yet
  std::uint64_t tracesEnded_ = 0;
  std::uint64_t tailErrors_ = 0;
};

}  // namespace jov::analyzer::serve
