// crc_buffers.h - the CRC-32 benchmarks' buffers, shared by the DLL's rows (crc_bench.cpp)
// and the native benchmark of each path (platform/crc32_paths_bench.cpp): their rows, sizes
// and bytes.
#pragma once

#include <vector>

namespace jov::bench {

struct CrcCase {
  const char* row;  // the DLL benchmark's row
  unsigned long size;
};
inline constexpr CrcCase kCrc4KiB = {"crc32_4KiB", 4096};
inline constexpr CrcCase kCrc1MiB = {"crc32_1MiB", 1ul << 20};

// The same pseudo-random bytes for every size and run.
inline std::vector<unsigned char> CrcBuffer(unsigned long size) {
  std::vector<unsigned char> data(size);
  unsigned seed = 12345;
  for (auto& b : data) b = static_cast<unsigned char>((seed = seed * 1103515245u + 12345u) >> 16);
  return data;
}

}  // namespace jov::bench
