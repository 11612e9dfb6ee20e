// crc32_fold.cpp - the CRC-32 of long runs by folding 16-byte blocks with carry-less
// multiplication (PCLMULQDQ), then a Barrett reduction to the 32-bit remainder.
//
// Only the functions marked with the target attribute use the instructions, so the rest of
// the library still runs on processors without them; FoldingAvailable() guards the call.
#include <cpuid.h>
#include <immintrin.h>

#include <atomic>

#include "platform/crc32_internal.h"

namespace jov::crc32 {
namespace {

// Folding constants for the reflected polynomial: each is x^n mod P(x), bit-reflected and
// shifted left by one, for the distance n that a block is carried forward.
constexpr unsigned long long kFold4Low = 0x154442BD4ull;   // n = 4*128 + 32
constexpr unsigned long long kFold4High = 0x1C6E41596ull;  // n = 4*128 - 32
constexpr unsigned long long kFold1Low = 0x1751997D0ull;   // n = 128 + 32
constexpr unsigned long long kFold1High = 0x0CCAA009Eull;  // n = 128 - 32
constexpr unsigned long long kFold64 = 0x163CD6124ull;     // n = 64
// Barrett reduction: P(x) itself and mu = floor(x^64 / P(x)), both reflected (33 bits).
constexpr unsigned long long kPolyReflected = 0x1DB710641ull;
constexpr unsigned long long kMuReflected = 0x1F7011641ull;

enum Support : int { kUnknown, kAbsent, kPresent };
std::atomic<int> support{kUnknown};

#define JOV_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))

JOV_FOLD_TARGET inline __m128i Load(const unsigned char* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// Carries `acc` forward over the distance its constants encode and adds the next block.
JOV_FOLD_TARGET inline __m128i Fold(__m128i acc, __m128i constants, __m128i next) {
  __m128i low = _mm_clmulepi64_si128(acc, constants, 0x00);
  __m128i high = _mm_clmulepi64_si128(acc, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// Built from 32-bit halves: the 64-bit set intrinsics differ between the i686 and x86_64
// compilers, the 32-bit ones do not.
JOV_FOLD_TARGET inline __m128i Pair(unsigned long long low, unsigned long long high) {
  return _mm_set_epi32(static_cast<int>(high >> 32), static_cast<int>(high),
                       static_cast<int>(low >> 32), static_cast<int>(low));
}

}  // namespace

bool FoldingAvailable() {
  int known = support.load(std::memory_order_relaxed);
  if (known == kUnknown) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    bool present = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_PCLMUL) &&
                   (ecx & bit_SSE4_1);
    known = present ? kPresent : kAbsent;
    support.store(known, std::memory_order_relaxed);
  }
  return known == kPresent;
}

JOV_FOLD_TARGET
std::uint32_t FoldBlocks(std::uint32_t crc, const unsigned char* p, std::size_t count) {
  // Four independent lanes hide the multiplier's latency; the running value enters as the
  // first 32 bits of the message, which is what the table form does byte by byte.
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = Load(p + 16);
  __m128i x2 = Load(p + 32);
  __m128i x3 = Load(p + 48);
  p += 64;
  count -= 64;

  const __m128i fold4 = Pair(kFold4Low, kFold4High);
  while (count >= 64) {
    x0 = Fold(x0, fold4, Load(p));
    x1 = Fold(x1, fold4, Load(p + 16));
    x2 = Fold(x2, fold4, Load(p + 32));
    x3 = Fold(x3, fold4, Load(p + 48));
    p += 64;
    count -= 64;
  }

  const __m128i fold1 = Pair(kFold1Low, kFold1High);
  x0 = Fold(x0, fold1, x1);
  x0 = Fold(x0, fold1, x2);
  x0 = Fold(x0, fold1, x3);
  for (; count >= 16; p += 16, count -= 16) x0 = Fold(x0, fold1, Load(p));

  // 128 bits to 64: the low half moves up by 64 bits (x^(128-32) mod P) onto the high half.
  __m128i t = _mm_clmulepi64_si128(x0, fold1, 0x10);
  x0 = _mm_xor_si128(_mm_srli_si128(x0, 8), t);

  // 64 bits to 32 (plus the 32 zero bits of the CRC's implicit shift).
  const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);
  t = _mm_srli_si128(x0, 4);
  x0 = _mm_and_si128(x0, mask32);
  x0 = _mm_clmulepi64_si128(x0, Pair(kFold64, 0), 0x00);
  x0 = _mm_xor_si128(x0, t);

  // Barrett reduction: quotient estimate by mu, then subtract quotient * P.
  const __m128i polyMu = Pair(kPolyReflected, kMuReflected);
  t = x0;
  x0 = _mm_and_si128(x0, mask32);
  x0 = _mm_clmulepi64_si128(x0, polyMu, 0x10);
  x0 = _mm_and_si128(x0, mask32);
  x0 = _mm_clmulepi64_si128(x0, polyMu, 0x00);
  x0 = _mm_xor_si128(x0, t);
  return static_cast<std::uint32_t>(_mm_extract_epi32(x0, 1));
}

}  // namespace jov::crc32
