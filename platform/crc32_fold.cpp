// crc32_fold.cpp - the CRC-32 of runs of 16-byte blocks by carry-less multiplication: blocks
// are folded (carried forward and added) into several accumulators at once, the
// accumulators into one, and its 128 bits reduced to the 32-bit remainder (Barrett).
//
// Three widths of register: PCLMULQDQ on 128 bits, VPCLMULQDQ on 256 bits (AVX2) and on 512
// bits (AVX-512). Each path folds as many blocks in flight as hide the multiply's latency,
// then finishes in steps of its own width and narrower ones. Only the functions marked with
// a target attribute use the instructions, so the rest of the library still runs on
// processors without them; CrcPathSupported says which may be called.
#include <immintrin.h>

#include "platform/crc32_internal.h"

namespace jov::platform {
namespace {

// ---- Constants, computed from the polynomial -----------------------------------------------

constexpr std::uint64_t Reflect(std::uint64_t value, int bits) {
  std::uint64_t reflected = 0;
  for (int i = 0; i < bits; ++i)
    if ((value >> i) & 1u) reflected |= std::uint64_t{1} << (bits - 1 - i);
  return reflected;
}

// x^n mod P(x), bit-reflected and shifted left by one (so that a carry-less product with a
// reflected 64-bit half lines up with the reflected data).
constexpr std::uint64_t XPowerModP(int n) {
  const auto normal = static_cast<std::uint32_t>(Reflect(kPolynomial, 32));  // P less x^32
  std::uint32_t remainder = 1;
  for (int i = 0; i < n; ++i) remainder = (remainder << 1) ^ ((remainder >> 31) ? normal : 0u);
  return Reflect(remainder, 32) << 1;
}

// floor(x^64 / P(x)), bit-reflected (33 bits): Barrett's estimate of a quotient.
constexpr std::uint64_t BarrettMu() {
  const std::uint64_t divisor = (std::uint64_t{1} << 32) | Reflect(kPolynomial, 32);
  std::uint64_t window = 0, quotient = 0;
  for (int bit = 64; bit >= 0; --bit) {
    window = (window << 1) | (bit == 64 ? 1u : 0u);
    if (window >> 32) {
      window ^= divisor;
      quotient |= std::uint64_t{1} << bit;
    }
  }
  return Reflect(quotient, 33);
}

// The multipliers that carry a 128-bit lane `bytes` forward: its low half (the earlier
// bytes) by x^(8 bytes + 32), its high half by x^(8 bytes - 32).
struct FoldPair {
  std::uint64_t low, high;
};
constexpr FoldPair Distance(int bytes) {
  return {XPowerModP(8 * bytes + 32), XPowerModP(8 * bytes - 32)};
}
// kApart[i] carries a lane 16 << i bytes forward: 16 to 256 bytes, the longest run.
constexpr FoldPair kApart[] = {Distance(16), Distance(32), Distance(64), Distance(128),
                               Distance(256)};
constexpr int kApart16 = 0, kApart32 = 1, kApart64 = 2;
constexpr std::uint64_t kX64 = XPowerModP(64);
constexpr std::uint64_t kPolyReflected = (std::uint64_t{kPolynomial} << 1) | 1u;  // 33 bits
constexpr std::uint64_t kMu = BarrettMu();

// Accumulators in flight. A fold's chain is a multiply and two additions (5 to 9 cycles),
// and processors issue one or two multiplies a cycle, so eight folds in flight keep the
// multiplier busy where four may not. The i686 build has eight vector registers in all: four
// accumulators there leave room for the constant and the products (eight would spill to the
// stack in the loop). The 512-bit path keeps four on both builds: its registers hold four
// lanes each and it adds with one ternary operation, and eight measured no faster
// (bench/platform/crc32_paths_bench.cpp, jovutil_bench's crc32 rows).
#if defined(__x86_64__)
constexpr int kLanes = 8;
#else
constexpr int kLanes = 4;
#endif
constexpr int kLanes512 = 4;

constexpr int Log2(int n) { return n > 1 ? 1 + Log2(n / 2) : 0; }

// The index in kApart of the distance `lanes` registers of `laneBytes` bytes span.
constexpr int ApartIndex(int lanes, int laneBytes) { return Log2(lanes * laneBytes / 16); }
constexpr int kApartCount = sizeof kApart / sizeof kApart[0];
static_assert(ApartIndex(kLanes, 32) < kApartCount && ApartIndex(kLanes512, 64) < kApartCount,
              "kApart holds the distance of every path's run");

#define JOV_SSE_TARGET __attribute__((target("pclmul,sse4.1")))
#define JOV_AVX2_TARGET __attribute__((target("avx2,vpclmulqdq,pclmul,sse4.1")))
#define JOV_AVX512_TARGET __attribute__((target("avx512f,avx2,vpclmulqdq,pclmul,sse4.1")))

// ---- 128 bits --------------------------------------------------------------------------------

JOV_SSE_TARGET inline __m128i LoadX(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Built from 32-bit halves: the 64-bit set intrinsics differ between the i686 and x86_64
// compilers, the 32-bit ones do not.
JOV_SSE_TARGET inline __m128i PairX(std::uint64_t low, std::uint64_t high) {
  return _mm_set_epi32(static_cast<int>(high >> 32), static_cast<int>(high),
                       static_cast<int>(low >> 32), static_cast<int>(low));
}
JOV_SSE_TARGET inline __m128i PairX(FoldPair k) { return PairX(k.low, k.high); }

// The running value enters as the first 32 bits of the message, which is what the table
// form does byte by byte.
JOV_SSE_TARGET inline __m128i FirstX(std::uint32_t crc, const unsigned char* p) {
  return _mm_xor_si128(LoadX(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
}

// Carries `acc` forward over the distance of `k` and adds `next`.
JOV_SSE_TARGET inline __m128i FoldX(__m128i acc, __m128i k, __m128i next) {
  __m128i low = _mm_clmulepi64_si128(acc, k, 0x00);
  __m128i high = _mm_clmulepi64_si128(acc, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// Folds the remaining 16-byte blocks into `x`, then reduces it to the 32-bit remainder.
JOV_SSE_TARGET inline std::uint32_t FinishX(__m128i x, const unsigned char* p, std::size_t count) {
  const __m128i k16 = PairX(kApart[kApart16]);
  for (; count >= 16; p += 16, count -= 16) x = FoldX(x, k16, LoadX(p));

  // 128 bits to 64: the low half moves up by 64 bits (x^(128-32) mod P) onto the high half.
  __m128i t = _mm_clmulepi64_si128(x, k16, 0x10);
  x = _mm_xor_si128(_mm_srli_si128(x, 8), t);

  // 64 bits to 32 (plus the 32 zero bits of the CRC's implicit shift).
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  t = _mm_srli_si128(x, 4);
  x = _mm_and_si128(x, mask32);
  x = _mm_clmulepi64_si128(x, PairX(kX64, 0), 0x00);
  x = _mm_xor_si128(x, t);

  // Barrett reduction: quotient estimate by mu, then subtract quotient * P.
  const __m128i polyMu = PairX(kPolyReflected, kMu);
  t = x;
  x = _mm_and_si128(x, mask32);
  x = _mm_clmulepi64_si128(x, polyMu, 0x10);
  x = _mm_and_si128(x, mask32);
  x = _mm_clmulepi64_si128(x, polyMu, 0x00);
  x = _mm_xor_si128(x, t);
  return static_cast<std::uint32_t>(_mm_extract_epi32(x, 1));
}

// ---- 256 bits --------------------------------------------------------------------------------

JOV_AVX2_TARGET inline __m256i LoadY(const unsigned char* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
JOV_AVX2_TARGET inline __m256i PairY(FoldPair k) { return _mm256_broadcastsi128_si256(PairX(k)); }
JOV_AVX2_TARGET inline __m256i FirstY(std::uint32_t crc, const unsigned char* p) {
  return _mm256_xor_si256(LoadY(p),
                          _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(crc))));
}
// Carries each 16-byte lane of `acc` forward and adds the next 32 bytes.
JOV_AVX2_TARGET inline __m256i FoldY(__m256i acc, __m256i k, __m256i next) {
  __m256i low = _mm256_clmulepi64_epi128(acc, k, 0x00);
  __m256i high = _mm256_clmulepi64_epi128(acc, k, 0x11);
  return _mm256_xor_si256(_mm256_xor_si256(low, high), next);
}

// Folds the remaining 32-byte blocks into `y`, its earlier lane onto its later one, and
// finishes in 16-byte steps.
JOV_AVX2_TARGET inline std::uint32_t FinishY(__m256i y, const unsigned char* p, std::size_t count) {
  const __m256i k32 = PairY(kApart[kApart32]);
  for (; count >= 32; p += 32, count -= 32) y = FoldY(y, k32, LoadY(p));
  const __m128i x =
      FoldX(_mm256_castsi256_si128(y), PairX(kApart[kApart16]), _mm256_extracti128_si256(y, 1));
  return FinishX(x, p, count);
}

// ---- 512 bits --------------------------------------------------------------------------------

JOV_AVX512_TARGET inline __m512i LoadZ(const unsigned char* p) {
  return _mm512_loadu_si512(reinterpret_cast<const void*>(p));
}
// The masked broadcast (all lanes kept) starts from zero rather than an undefined value.
JOV_AVX512_TARGET inline __m512i PairZ(FoldPair k) {
  return _mm512_maskz_broadcast_i32x4(0xFFFF, PairX(k));
}
JOV_AVX512_TARGET inline __m512i FirstZ(std::uint32_t crc, const unsigned char* p) {
  return _mm512_xor_si512(LoadZ(p),
                          _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
}
// Carries each 16-byte lane of `acc` forward and adds the next 64 bytes.
JOV_AVX512_TARGET inline __m512i FoldZ(__m512i acc, __m512i k, __m512i next) {
  __m512i low = _mm512_clmulepi64_epi128(acc, k, 0x00);
  __m512i high = _mm512_clmulepi64_epi128(acc, k, 0x11);
  return _mm512_ternarylogic_epi64(low, high, next, 0x96);  // low ^ high ^ next
}

}  // namespace

// Each path: kLanes registers in flight over runs of kLanes registers' bytes; then the
// registers folded into one, halving their number each step (register i carries forward
// onto register i + half, half the remaining registers' bytes ahead); then the path's
// narrower finish. The accumulators stay in registers only when every loop over them is
// unrolled whole (a loop left rolled keeps them in an array on the stack), hence the pragmas.
JOV_SSE_TARGET std::uint32_t Fold128(std::uint32_t crc, const unsigned char* p, std::size_t count) {
  constexpr std::size_t kRun = kLanes * 16;
  if (count < kRun) return FinishX(FirstX(crc, p), p + 16, count - 16);
  __m128i x[kLanes];
#pragma GCC unroll 8
  for (int i = 0; i < kLanes; ++i) x[i] = LoadX(p + 16 * i);
  x[0] = FirstX(crc, p);
  const __m128i kRunApart = PairX(kApart[ApartIndex(kLanes, 16)]);
  for (p += kRun, count -= kRun; count >= kRun; p += kRun, count -= kRun) {
#pragma GCC unroll 8
    for (int i = 0; i < kLanes; ++i) x[i] = FoldX(x[i], kRunApart, LoadX(p + 16 * i));
  }
#pragma GCC unroll 8
  for (int level = Log2(kLanes) - 1; level >= 0; --level) {
    const int half = 1 << level;
#pragma GCC unroll 8
    for (int i = 0; i < half; ++i)
      x[i] = FoldX(x[i], PairX(kApart[ApartIndex(half, 16)]), x[i + half]);
  }
  return FinishX(x[0], p, count);
}

JOV_AVX2_TARGET std::uint32_t Fold256(std::uint32_t crc, const unsigned char* p,
                                      std::size_t count) {
  constexpr std::size_t kRun = kLanes * 32;
  if (count < 32) return FinishX(FirstX(crc, p), p + 16, count - 16);
  if (count < kRun) return FinishY(FirstY(crc, p), p + 32, count - 32);
  __m256i y[kLanes];
#pragma GCC unroll 8
  for (int i = 0; i < kLanes; ++i) y[i] = LoadY(p + 32 * i);
  y[0] = FirstY(crc, p);
  const __m256i kRunApart = PairY(kApart[ApartIndex(kLanes, 32)]);
  for (p += kRun, count -= kRun; count >= kRun; p += kRun, count -= kRun) {
#pragma GCC unroll 8
    for (int i = 0; i < kLanes; ++i) y[i] = FoldY(y[i], kRunApart, LoadY(p + 32 * i));
  }
#pragma GCC unroll 8
  for (int level = Log2(kLanes) - 1; level >= 0; --level) {
    const int half = 1 << level;
#pragma GCC unroll 8
    for (int i = 0; i < half; ++i)
      y[i] = FoldY(y[i], PairY(kApart[ApartIndex(half, 32)]), y[i + half]);
  }
  return FinishY(y[0], p, count);
}

JOV_AVX512_TARGET std::uint32_t Fold512(std::uint32_t crc, const unsigned char* p,
                                        std::size_t count) {
  constexpr std::size_t kRun = kLanes512 * 64;
  if (count < kRun) return Fold256(crc, p, count);
  __m512i z[kLanes512];
#pragma GCC unroll 8
  for (int i = 0; i < kLanes512; ++i) z[i] = LoadZ(p + 64 * i);
  z[0] = FirstZ(crc, p);
  const __m512i kRunApart = PairZ(kApart[ApartIndex(kLanes512, 64)]);
  for (p += kRun, count -= kRun; count >= kRun; p += kRun, count -= kRun) {
#pragma GCC unroll 8
    for (int i = 0; i < kLanes512; ++i) z[i] = FoldZ(z[i], kRunApart, LoadZ(p + 64 * i));
  }
#pragma GCC unroll 8
  for (int level = Log2(kLanes512) - 1; level >= 0; --level) {
    const int half = 1 << level;
#pragma GCC unroll 8
    for (int i = 0; i < half; ++i)
      z[i] = FoldZ(z[i], PairZ(kApart[ApartIndex(half, 64)]), z[i + half]);
  }
  const __m512i k64 = PairZ(kApart[kApart64]);
  for (; count >= 64; p += 64, count -= 64) z[0] = FoldZ(z[0], k64, LoadZ(p));
  // The earlier 32 bytes carried onto the later ones, then 256-bit steps. (The zero-masked
  // extracts start from zero rather than an undefined value, as in PairZ.)
  const __m256i y = FoldY(_mm512_maskz_extracti64x4_epi64(0xFF, z[0], 0), PairY(kApart[kApart32]),
                          _mm512_maskz_extracti64x4_epi64(0xFF, z[0], 1));
  return FinishY(y, p, count);
}

}  // namespace jov::platform
