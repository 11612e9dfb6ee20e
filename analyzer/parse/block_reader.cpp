// block_reader.cpp - a ring of slots: a worker takes the next free one, reads a chunk into it
// (one reader at a time: the chunker carries the start of a line from chunk to chunk) and
// parses it outside the lock; the caller takes the slots back in the order they were read.
#include "analyzer/parse/block_reader.h"

#include <algorithm>

namespace jov::analyzer {
namespace {

// Slots per worker beyond the one it parses: blocks parsed ahead while the caller is busy.
constexpr unsigned kAhead = 1;
// More workers than this only wait: the one thread that applies the records in order takes
// about as long for a block as two workers take to parse it.
constexpr unsigned kMostWorkers = 4;

}  // namespace

BlockReader::BlockReader(ByteSource& source, const ParseOptions& options)
    : source_(source), options_(options), chunker_(options.maxLine) {
  unsigned workers = options.workers;
  if (workers == 0) workers = std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
  if (source.Size() < 4 * options.block) workers = 0;
  slots_.resize(workers == 0 ? 1 : workers * (1 + kAhead) + 1);
  for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { Work(); });
}

BlockReader::~BlockReader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  slotFreed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

std::uint64_t BlockReader::BytesRead() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytesRead_;
}

bool BlockReader::ReadChunk(Slot& slot) {
  std::uint64_t got = 0;
  const ReadFn read = [this, &got](char* buffer, std::size_t size) {
    const std::size_t n = source_.Read(buffer, size);
    got += n;
    return n;
  };
  const bool more = chunker_.Next(slot.block.chunk, options_.block, read, true);
  bytesRead_ += got;
  slot.block.bytes = got;
  return more;
}

void BlockReader::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    slotFreed_.wait(lock, [this] {
      return stopping_ || ended_ || slots_[nextRead_ % slots_.size()].state == SlotState::kFree;
    });
    if (stopping_ || ended_) return;
    Slot& slot = slots_[nextRead_ % slots_.size()];
    ++nextRead_;
    if (!ReadChunk(slot)) {
      slot.state = SlotState::kEnd;
      ended_ = true;
      slotReady_.notify_all();
      slotFreed_.notify_all();
      return;
    }
    slot.state = SlotState::kParsing;
    lock.unlock();
    ParseChunk(slot.block, options_.maxLine, options_.decoder, options_.wantTexts);
    lock.lock();
    slot.state = SlotState::kReady;
    slotReady_.notify_all();
  }
}

const ParsedBlock* BlockReader::Next() {
  if (workers_.empty()) {
    Slot& slot = slots_.front();
    if (slot.state == SlotState::kEnd || !ReadChunk(slot)) {
      slot.state = SlotState::kEnd;
      return nullptr;
    }
    ParseChunk(slot.block, options_.maxLine, options_.decoder, options_.wantTexts);
    return &slot.block;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  if (handedOut_) {
    slots_[(nextOut_ - 1) % slots_.size()].state = SlotState::kFree;
    handedOut_ = false;
    slotFreed_.notify_one();
  }
  Slot& slot = slots_[nextOut_ % slots_.size()];
  slotReady_.wait(
      lock, [&slot] { return slot.state == SlotState::kReady || slot.state == SlotState::kEnd; });
  if (slot.state == SlotState::kEnd) return nullptr;
  ++nextOut_;
  handedOut_ = true;
  return &slot.block;
}

}  // namespace jov::analyzer
