// block_reader.cpp - blocks parsed by a few threads and applied in order. A thread applies the
// blocks it parsed itself, each once every block before it has been applied: records handed
// from one core to another cost more than parsing them, while the state of the stage after
// (stack, clock, sinks) is small and moves between the threads only once per block.
#include "analyzer/parse/block_reader.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace jov::analyzer {
namespace {

// More threads than this find nothing to do: every block is applied one after the other.
constexpr unsigned kMostThreads = 4;
// Blocks a thread may have parsed ahead while it waits for its turn to apply them.
constexpr unsigned kSlotsPerThread = 3;

class Pipeline {
 public:
  Pipeline(ByteSource& source, const ParseOptions& options,
           const std::function<void(const ParsedBlock&)>& apply, unsigned threads)
      : source_(source), options_(options), apply_(apply), slots_(threads * kSlotsPerThread) {}

  // One thread's part; `me` tells its blocks from the others'.
  void Work(unsigned me);
  std::uint64_t Bytes() const { return bytes_; }
  std::exception_ptr Error() const { return error_; }

 private:
  enum class SlotState { kFree, kParsing, kReady };
  struct Slot {
    ParsedBlock block;
    SlotState state = SlotState::kFree;
    unsigned owner = 0;
    std::size_t rest = 0;  // where the lines not parsed yet start (a block of very short lines)
  };
  Slot& SlotOf(std::uint64_t index) { return slots_[index % slots_.size()]; }
  // Whether `me` may apply the next block now. No one else can meanwhile: the next block is
  // one thread's, and it stays the next until that thread has applied it.
  bool MyTurn(unsigned me) {
    if (stopping_ || nextApply_ >= end_) return false;
    const Slot& next = SlotOf(nextApply_);
    return next.state == SlotState::kReady && next.owner == me;
  }
  void ApplyMine(unsigned me, std::unique_lock<std::mutex>& lock);
  void ParseNext(unsigned me, std::unique_lock<std::mutex>& lock);

  ByteSource& source_;
  const ParseOptions& options_;
  const std::function<void(const ParsedBlock&)>& apply_;
  std::vector<Slot> slots_;  // block i in slots_[i % size]

  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t nextRead_ = 0;      // the next block to parse
  std::uint64_t nextApply_ = 0;     // the next block to apply
  std::uint64_t end_ = UINT64_MAX;  // the first block past the end of the source
  bool stopping_ = false;           // a parse or apply threw
  std::exception_ptr error_;
  std::uint64_t bytes_ = 0;
};

void Pipeline::ApplyMine(unsigned me, std::unique_lock<std::mutex>& lock) {
  while (MyTurn(me)) {
    Slot& slot = SlotOf(nextApply_);
    const std::uint64_t covered = slot.block.bytes;
    lock.unlock();
    try {
      apply_(slot.block);
      // The rest of a block of very short lines, part by part, while its turn lasts.
      while (slot.rest < slot.block.chunk.size) {
        slot.block.bytes = 0;
        slot.rest = ParseChunk(slot.block, options_.maxLine, options_.decoder, options_.wantTexts,
                               slot.rest);
        apply_(slot.block);
      }
    } catch (...) {
      lock.lock();
      if (!error_) error_ = std::current_exception();
      stopping_ = true;
      break;
    }
    lock.lock();
    bytes_ += covered;
    slot.state = SlotState::kFree;
    ++nextApply_;
  }
  changed_.notify_all();
}

void Pipeline::ParseNext(unsigned me, std::unique_lock<std::mutex>& lock) {
  const std::uint64_t index = nextRead_++;
  Slot& slot = SlotOf(index);
  slot.state = SlotState::kParsing;
  slot.owner = me;
  lock.unlock();
  bool more = false;
  std::exception_ptr error;
  try {
    std::uint64_t covered = 0;
    more =
        ReadBlockLines(source_, index, options_.block, options_.maxLine, slot.block.chunk, covered);
    if (more) {
      slot.block.bytes = covered;
      slot.rest = ParseChunk(slot.block, options_.maxLine, options_.decoder, options_.wantTexts);
    }
  } catch (...) {
    error = std::current_exception();  // out of memory: the reading stops, the caller learns
  }
  lock.lock();
  if (error) {
    if (!error_) error_ = error;
    stopping_ = true;
  }
  if (more && !error) {
    slot.state = SlotState::kReady;
  } else {
    slot.state = SlotState::kFree;
    end_ = std::min(end_, index);
  }
  changed_.notify_all();
}

void Pipeline::Work(unsigned me) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (MyTurn(me)) {
      ApplyMine(me, lock);
    } else if (stopping_ || nextApply_ >= end_) {
      return;  // every block before the end is applied
    } else if (nextRead_ < end_ && SlotOf(nextRead_).state == SlotState::kFree) {
      ParseNext(me, lock);
    } else {
      changed_.wait(lock);
    }
  }
}

}  // namespace

ParseResult ParseInOrder(ByteSource& source, const ParseOptions& options,
                         const std::function<void(const ParsedBlock&)>& apply) {
  unsigned threads = options.threads;
  if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1u, kMostThreads);
  if (source.Size() < 4 * options.block) threads = 1;
  Pipeline pipeline(source, options, apply, threads);
  std::vector<std::thread> helpers;
  for (unsigned i = 1; i < threads; ++i) helpers.emplace_back([&pipeline, i] { pipeline.Work(i); });
  pipeline.Work(0);
  for (std::thread& helper : helpers) helper.join();
  if (pipeline.Error()) std::rethrow_exception(pipeline.Error());
  ParseResult result;
  result.bytes = pipeline.Bytes();
  result.failed = source.Failed();
  return result;
}

}  // namespace jov::analyzer
