// crc32_internal.h - the pieces of the CRC-32 shared between the byte-table path and the
// carry-less multiply folding path.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jov::platform {

// Reflected form of the polynomial 0x04C11DB7.
constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// The smallest run handed to the folding path: it starts with four 16-byte lanes.
constexpr std::size_t kFoldMinimum = 64;

// True when the processor offers PCLMULQDQ and SSE4.1 (asked once, then cached).
bool FoldingAvailable();

// Continues `crc` over `count` bytes with the carry-less multiply folding. `count` is a
// multiple of 16 and at least kFoldMinimum; only call when FoldingAvailable().
std::uint32_t FoldBlocks(std::uint32_t crc, const unsigned char* bytes, std::size_t count);

}  // namespace jov::platform
