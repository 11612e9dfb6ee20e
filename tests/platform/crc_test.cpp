// crc_test.cpp - JOV_CRCCompute against a bit-at-a-time reference of the reflected CRC-32,
// over the lengths, alignments and running values that select its different paths.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// One bit at a time, straight from the polynomial: shares nothing with a table or folding.
std::uint32_t ReferenceCrc(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return crc;
}

std::uint32_t Crc(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  return static_cast<std::uint32_t>(JOV_CRCCompute(crc, p, static_cast<unsigned long>(n)));
}

std::vector<unsigned char> RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<unsigned char> bytes(n);
  for (auto& b : bytes) b = static_cast<unsigned char>(random());
  return bytes;
}

}  // namespace

TEST(CrcCompute, StandardCheckValueOfTheNineDigits) {
  const char digits[] = "123456789";
  EXPECT_EQ(JOV_CRCCompute(0xFFFFFFFFul, digits, 9) ^ 0xFFFFFFFFul, 0xCBF43926ul);
  // No initial value or final inversion of its own.
  EXPECT_EQ(JOV_CRCCompute(0, digits, 9),
            ReferenceCrc(0, reinterpret_cast<const unsigned char*>(digits), 9));
}

TEST(CrcCompute, EmptyOrNullInputReturnsTheRunningValue) {
  const unsigned char byte = 0x5A;
  EXPECT_EQ(JOV_CRCCompute(0x12345678ul, &byte, 0), 0x12345678ul);
  EXPECT_EQ(JOV_CRCCompute(0xFFFFFFFFul, nullptr, 0), 0xFFFFFFFFul);
  EXPECT_EQ(JOV_CRCCompute(0xDEADBEEFul, nullptr, 100), 0xDEADBEEFul);
}

TEST(CrcCompute, MatchesReferenceOverEveryShortLengthAndAlignment) {
  std::vector<unsigned char> data = RandomBytes(640 + 16, 1);
  const std::uint32_t starts[] = {0xFFFFFFFFu, 0u, 0x9E3779B9u};
  for (std::size_t offset = 0; offset < 16; offset += (offset < 8 ? 1 : 7)) {
    for (std::size_t length = 0; length <= 640; ++length) {
      std::uint32_t start = starts[(offset + length) % 3];
      const unsigned char* p = data.data() + offset;
      ASSERT_EQ(Crc(start, p, length), ReferenceCrc(start, p, length))
          << "length " << length << ", offset " << offset << ", start " << start;
    }
  }
}

TEST(CrcCompute, MatchesReferenceOverLargeBuffers) {
  std::vector<unsigned char> data = RandomBytes((1u << 20) + 64, 2);
  const std::size_t lengths[] = {4096, 4096 + 63, 65536 + 13, (1u << 20) + 47};
  for (std::size_t length : lengths) {
    for (std::size_t offset : {std::size_t{5}, std::size_t{16}}) {
      const unsigned char* p = data.data() + offset;
      EXPECT_EQ(Crc(0xFFFFFFFFu, p, length), ReferenceCrc(0xFFFFFFFFu, p, length))
          << "length " << length << ", offset " << offset;
    }
  }
  // Runs of one repeated byte, all zeros and all ones, stress the reduction's edge values.
  for (unsigned char fill : {0x00, 0xFF}) {
    std::vector<unsigned char> same(5000, fill);
    for (std::uint32_t start : {0u, 0xFFFFFFFFu})
      EXPECT_EQ(Crc(start, same.data(), same.size()),
                ReferenceCrc(start, same.data(), same.size()));
  }
}

TEST(CrcCompute, RunningValueContinuesAcrossAnySplit) {
  std::vector<unsigned char> data = RandomBytes(700, 3);
  const std::uint32_t whole = Crc(0xFFFFFFFFu, data.data(), data.size());
  for (std::size_t split = 0; split <= data.size(); ++split) {
    std::uint32_t first = Crc(0xFFFFFFFFu, data.data(), split);
    ASSERT_EQ(Crc(first, data.data() + split, data.size() - split), whole) << "split " << split;
  }
  std::mt19937 random(4);
  for (int i = 0; i < 200; ++i) {
    std::uint32_t start = static_cast<std::uint32_t>(random());
    std::size_t length = 64 + random() % 300;
    ASSERT_EQ(Crc(start, data.data(), length), ReferenceCrc(start, data.data(), length))
        << "start " << start << ", length " << length;
  }
}
