// crc32.cpp - JOV_CRCCompute: the reflected CRC-32 over a byte table, with long runs handed
// to the carry-less multiply folding path when the processor has it.
#include "JOVPlatform.h"
#include "platform/crc32_internal.h"

namespace jov::platform {
namespace {

// The byte table, computed by the compiler: no thread ever builds or waits for it.
struct Table {
  std::uint32_t entry[256];
};
constexpr Table BuildTable() {
  Table table{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t value = i;
    for (int bit = 0; bit < 8; ++bit) value = (value >> 1) ^ ((value & 1u) ? kPolynomial : 0u);
    table.entry[i] = value;
  }
  return table;
}
constexpr Table kTable = BuildTable();

std::uint32_t TableBytes(std::uint32_t crc, const unsigned char* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) crc = (crc >> 8) ^ kTable.entry[(crc ^ bytes[i]) & 0xFFu];
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

  auto* p = static_cast<const unsigned char*>(bytes);
  std::size_t remaining = count;
  if (remaining >= kFoldMinimum && FoldingAvailable()) {
    std::size_t blocks = remaining & ~static_cast<std::size_t>(15);
    value = FoldBlocks(value, p, blocks);
    p += blocks;
    remaining -= blocks;
  }
  return TableBytes(value, p, remaining);
}
