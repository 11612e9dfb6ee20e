// crc32.cpp - JOV_CRCCompute: the reflected CRC-32 over a byte table, with long runs handed
// to the carry-less multiply folding path when the processor has it.
#include <atomic>

#include "JOVPlatform.h"
#include "platform/crc32_internal.h"

namespace jov::platform {
namespace {

using Table = std::uint32_t[256];

enum TableState : unsigned char { kTableEmpty, kTableBuilding, kTableBuilt };

Table sharedTable;
std::atomic<unsigned char> sharedTableState{kTableEmpty};

void BuildTable(Table& table) {
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ ((value & 1u) ? kPolynomial : 0u);
    table[i] = value;
  }
}

// The table is built once and published by the flag only after its last entry is written.
// A thread that races the builder fills a private copy instead of waiting or reading a
// half-built table; the copy costs about two thousand shifts and happens at most once.
const std::uint32_t* TableOrPrivateCopy(Table& privateCopy) {
  unsigned char state = sharedTableState.load(std::memory_order_acquire);
  if (state == kTableBuilt) return sharedTable;
  unsigned char expected = kTableEmpty;
  if (state == kTableEmpty && sharedTableState.compare_exchange_strong(expected, kTableBuilding,
                                                                       std::memory_order_acquire)) {
    BuildTable(sharedTable);
    sharedTableState.store(kTableBuilt, std::memory_order_release);
    return sharedTable;
  }
  BuildTable(privateCopy);
  return privateCopy;
}

std::uint32_t TableBytes(std::uint32_t crc, const unsigned char* bytes, std::size_t count,
                         const std::uint32_t* table) {
  for (std::size_t i = 0; i < count; ++i) crc = (crc >> 8) ^ table[(crc ^ bytes[i]) & 0xFFu];
  return crc;
}

}  // namespace
}  // namespace jov::platform

// Choice: a null pointer with a nonzero count is treated like an empty buffer (the running
// value comes back unchanged) rather than read from.
unsigned long JOV_CRCCompute(unsigned long crc, const void* bytes, unsigned long count) {
  using namespace jov::platform;
  std::uint32_t value = static_cast<std::uint32_t>(crc);
  if (count == 0 || bytes == nullptr) return value;

  Table privateCopy;
  const std::uint32_t* table = TableOrPrivateCopy(privateCopy);
  auto* p = static_cast<const unsigned char*>(bytes);
  std::size_t remaining = count;
  if (remaining >= kFoldMinimum && FoldingAvailable()) {
    std::size_t blocks = remaining & ~static_cast<std::size_t>(15);
    value = FoldBlocks(value, p, blocks);
    p += blocks;
    remaining -= blocks;
  }
  return TableBytes(value, p, remaining, table);
}
