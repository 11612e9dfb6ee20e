// crc_test.cpp - JOV_CRCCompute against a bit-at-a-time reference of the reflected CRC-32,
// over the lengths, alignments and running values that select its table, 16-byte folding
// and 256-byte wide folding paths.
#include <gtest/gtest.h>

#include <JOVUtil.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// One bit at a time, straight from the polynomial: shares nothing with a table or folding.
std::uint32_t Reference(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    for (int bit = 0, byte = p[i]; bit < 8; ++bit, byte >>= 1) crc = (crc >> 1) ^ (0xEDB88320u & (0u - ((crc ^ byte) & 1u)));
  return crc;
}
std::uint32_t Crc(std::uint32_t crc, const unsigned char* p, std::size_t n) {
  return static_cast<std::uint32_t>(JOV_CRCCompute(crc, p, static_cast<unsigned long>(n)));
}

}  // namespace

TEST(CrcCompute, MatchesTheReferenceOverLengthsAlignmentsAndSplits) {
  EXPECT_EQ(JOV_CRCCompute(0xFFFFFFFFul, "123456789", 9) ^ 0xFFFFFFFFul, 0xCBF43926ul);  // no inversion of its own
  EXPECT_EQ(JOV_CRCCompute(0xDEADBEEFul, nullptr, 100), 0xDEADBEEFul);  // null: as empty
  std::mt19937 random(1);
  std::vector<unsigned char> data((1u << 20) + 64), same(5000, 0xFF);
  for (auto& b : data) b = static_cast<unsigned char>(random());
  const std::uint32_t starts[] = {0xFFFFFFFFu, 0u, 0x9E3779B9u};
  for (std::size_t offset : {0, 1, 3, 8, 15})
    for (std::size_t length = 0; length <= 1100; ++length)
      ASSERT_EQ(Crc(starts[length % 3], &data[offset], length), Reference(starts[length % 3], &data[offset], length))
          << "length " << length << ", offset " << offset;
  for (std::size_t length : {4096u + 63u, 65536u + 13u, (1u << 20) + 47u})
    EXPECT_EQ(Crc(~0u, &data[5], length), Reference(~0u, &data[5], length)) << length;
  EXPECT_EQ(Crc(0, same.data(), same.size()), Reference(0, same.data(), same.size()));
  const std::uint32_t whole = Crc(~0u, data.data(), 900);  // the running value carries across splits
  for (std::size_t split = 0; split <= 900; split += 7) ASSERT_EQ(Crc(Crc(~0u, data.data(), split), &data[split], 900 - split), whole) << split;
}
