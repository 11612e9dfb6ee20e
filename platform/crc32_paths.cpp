// crc32_paths.cpp - the CRC-32 by any of its paths: the byte table, computed by the compiler,
// and CrcByPath, which hands a run's 16-byte blocks to the folding path asked for and the
// rest to the table.
#include "platform/crc32_internal.h"

namespace jov::platform {
namespace {

// No thread ever builds the table or waits for it.
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

// A single block already goes to the folding: its few multiplies and the reduction take
// fewer cycles than sixteen dependent table steps.
std::uint32_t CrcByPath(CrcPath path, std::uint32_t crc, const unsigned char* bytes,
                        std::size_t count) {
  const std::size_t blocks = count & ~std::size_t{15};
  if (blocks != 0 && path != CrcPath::kTable) {
    if (path == CrcPath::kFold512)
      crc = Fold512(crc, bytes, blocks);
    else if (path == CrcPath::kFold256)
      crc = Fold256(crc, bytes, blocks);
    else
      crc = Fold128(crc, bytes, blocks);
    bytes += blocks;
    count -= blocks;
  }
  return TableBytes(crc, bytes, count);
}

}  // namespace jov::platform
