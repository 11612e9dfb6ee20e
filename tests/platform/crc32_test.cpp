// crc32_test.cpp - the CRC-32 against a bitwise reference. Under Wine through the export, by
// the path that processor gets; natively (tests/platform/CMakeLists.txt) by each path the
// host can run, calling the DLL's own sources.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <functional>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#ifdef _WIN32
#include <JOVPlatform.h>
#else
#include "platform/crc32_internal.h"
#endif

namespace {

struct Implementation {
  std::string name;
  std::function<std::uint32_t(std::uint32_t, const unsigned char*, std::size_t)> crc;
};
void PrintTo(const Implementation& implementation, std::ostream* out) {
  *out << implementation.name;
}

std::vector<Implementation> Implementations() {
#ifdef _WIN32
  return {{"Export", [](std::uint32_t crc, const unsigned char* p, std::size_t n) {
             return static_cast<std::uint32_t>(JOV_CRCCompute(crc, p, static_cast<DWORD>(n)));
           }}};
#else
  std::vector<Implementation> paths;
  for (jov::platform::CrcPath path : jov::platform::kCrcPaths)
    if (jov::platform::CrcPathSupported(path))
      paths.push_back({jov::platform::CrcPathName(path),
                       [path](std::uint32_t crc, const unsigned char* p, std::size_t n) {
                         return jov::platform::CrcByPath(path, crc, p, n);
                       }});
  return paths;
#endif
}

// One bit at a time, straight from the polynomial: shares nothing with a table or folding.
std::uint32_t ReferenceCrc(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    for (int bit = 0, byte = p[i]; bit < 8; ++bit, byte >>= 1)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - ((crc ^ byte) & 1u)));
  return crc;
}

std::vector<unsigned char> RandomBytes(std::size_t count, std::mt19937& random) {
  std::vector<unsigned char> bytes(count);
  for (auto& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

class Crc32 : public testing::TestWithParam<Implementation> {};

// The implementation's name with what a test name may not hold ("-") as "_".
std::string TestName(const testing::TestParamInfo<Implementation>& info) {
  std::string name = info.param.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

}  // namespace

// Every length from 0 to 4096 at every start offset from 0 to 63, each offset from a running
// value of its own: every path's shortest runs, its block and run boundaries (runs of 512
// bytes at most) and its tails, at every alignment.
TEST_P(Crc32, MatchesTheReferenceAtEveryLengthAndOffset) {
  const auto& crc = GetParam().crc;
  std::mt19937 random(1);
  const std::vector<unsigned char> data = RandomBytes(64 + 4096, random);
  EXPECT_EQ(crc(~0u, reinterpret_cast<const unsigned char*>("123456789"), 9), ~0xCBF43926u);
  for (std::size_t offset = 0; offset < 64; ++offset) {
    const std::uint32_t start = random();
    std::uint32_t expected = start;  // of the first `length` bytes
    for (std::size_t length = 0; length <= 4096; ++length) {
      const std::uint32_t actual = crc(start, &data[offset], length);
      if (actual != expected) {
        ADD_FAILURE() << "length " << length << " at offset " << offset;
        return;
      }
      expected = ReferenceCrc(expected, &data[offset + length], 1);
    }
  }
}

// Long runs, each the whole of its buffer (so a read past its end is a sanitiser's error),
// from random running values: past the main loop's end by up to a run, and 1 MiB and a tail.
TEST_P(Crc32, LongRunsMatchTheReference) {
  const auto& crc = GetParam().crc;
  std::mt19937 random(2);
  for (std::size_t length : {65536u + 16 * 31, 65536u + 511, (1u << 20) + 47}) {
    const std::vector<unsigned char> data = RandomBytes(length, random);
    const std::uint32_t start = random();
    EXPECT_EQ(crc(start, data.data(), length), ReferenceCrc(start, data.data(), length)) << length;
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, Crc32, testing::ValuesIn(Implementations()), TestName);
