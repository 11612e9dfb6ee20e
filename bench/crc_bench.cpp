// crc_bench.cpp - CRC-32 throughput of JOV_CRCCompute beside zlib's crc32 on the same
// buffers, in GB/s, with the path the DLL takes on this processor.
#include <zlib.h>

#include <cstdio>
#include <vector>

#include <JOVUtil.h>

#include "bench_harness.h"
#include "crc_buffers.h"
#include "platform/crc32_internal.h"

namespace {

jov::bench::Row CrcRow(const jov::bench::CrcCase& c, long iterations) {
  const std::vector<unsigned char> data = jov::bench::CrcBuffer(c.size);
  const unsigned long size = c.size;

  // Same bytes, same standard form (initial all ones, final inversion) on both sides.
  unsigned long ours = JOV_CRCCompute(0xFFFFFFFFul, data.data(), size) ^ 0xFFFFFFFFul;
  unsigned long peer = crc32(0, data.data(), size);
  if (ours != peer)
    std::printf("warning: CRC mismatch over %lu bytes: ours %08lx, zlib %08lx\n", size, ours, peer);

  double oursNs = jov::bench::NanosecondsPerCall(
      [&] {
        unsigned long crc = JOV_CRCCompute(0xFFFFFFFFul, data.data(), size);
        jov::bench::KeepAlive(crc);
      },
      iterations);
  double peerNs = jov::bench::NanosecondsPerCall(
      [&] {
        unsigned long crc = crc32(0, data.data(), size);
        jov::bench::KeepAlive(crc);
      },
      iterations);

  jov::bench::Row row;
  row.ours = size / oursNs;  // bytes per nanosecond is GB/s
  row.peer = size / peerNs;
  row.unit = "GB/s";
  row.higherIsBetter = true;
  row.peerName = "zlib crc32";
  // The DLL chooses by the same code, once per process.
  row.note = jov::platform::CrcPathName(jov::platform::FastestCrcPath());
  return row;
}

}  // namespace

JOV_BENCH_ROW(crc32_4KiB) { return CrcRow(jov::bench::kCrc4KiB, 20000); }

JOV_BENCH_ROW(crc32_1MiB) { return CrcRow(jov::bench::kCrc1MiB, 100); }
