// crc32_fold.cpp - the CRC-32 of long runs by folding 16-byte blocks with carry-less
// multiplication (PCLMULQDQ), then a Barrett reduction to the 32-bit remainder. Processors
// with AVX-512 and VPCLMULQDQ fold four 64-byte blocks at a time first.
//
// Only the functions marked with a target attribute use the instructions, so the rest of
// the library still runs on processors without them; FoldingAvailable() guards the call,
// and the wide path is taken only when the processor and the system support it.
#include <cpuid.h>
#include <immintrin.h>

#include <atomic>

#include "platform/crc32_internal.h"

namespace jov::platform {
namespace {

// Folding constants for the reflected polynomial: each is x^n mod P(x), bit-reflected and
// shifted left by one, for the distance n that a block is carried forward.
constexpr unsigned long long kFold4Low = 0x154442BD4ull;    // n = 4*128 + 32
constexpr unsigned long long kFold4High = 0x1C6E41596ull;   // n = 4*128 - 32
constexpr unsigned long long kFold1Low = 0x1751997D0ull;    // n = 128 + 32
constexpr unsigned long long kFold1High = 0x0CCAA009Eull;   // n = 128 - 32
constexpr unsigned long long kFold64 = 0x163CD6124ull;      // n = 64
constexpr unsigned long long kFold16Low = 0x11542778Aull;   // n = 16*128 + 32
constexpr unsigned long long kFold16High = 0x1322D1430ull;  // n = 16*128 - 32
// Barrett reduction: P(x) itself and mu = floor(x^64 / P(x)), both reflected (33 bits).
constexpr unsigned long long kPolyReflected = 0x1DB710641ull;
constexpr unsigned long long kMuReflected = 0x1F7011641ull;

enum Support : int { kUnknown, kAbsent, kPresent };
std::atomic<int> support{kUnknown};
std::atomic<int> wideSupport{kUnknown};

// The wide path runs four 64-byte accumulators, so it starts at 256 bytes.
constexpr std::size_t kWideMinimum = 256;

#define JOV_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))
#define JOV_WIDE_TARGET __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

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

// AVX-512 with VPCLMULQDQ, and a system that saves the 512-bit registers (XCR0 holds the
// SSE, AVX and the three AVX-512 state bits).
bool WideFoldingAvailable() {
  int known = wideSupport.load(std::memory_order_relaxed);
  if (known == kUnknown) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    bool present = __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_OSXSAVE) &&
                   __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) && (ebx & bit_AVX512F) &&
                   (ecx & bit_VPCLMULQDQ);
    if (present) {
      unsigned xcr0Low = 0, xcr0High = 0;
      asm volatile("xgetbv" : "=a"(xcr0Low), "=d"(xcr0High) : "c"(0));
      present = (xcr0Low & 0xE6) == 0xE6;
    }
    known = present ? kPresent : kAbsent;
    wideSupport.store(known, std::memory_order_relaxed);
  }
  return known == kPresent;
}

// Carries each 16-byte lane of `acc` forward and adds the next 64 bytes.
JOV_WIDE_TARGET inline __m512i Fold512(__m512i acc, __m512i constants, __m512i next) {
  __m512i low = _mm512_clmulepi64_epi128(acc, constants, 0x00);
  __m512i high = _mm512_clmulepi64_epi128(acc, constants, 0x11);
  return _mm512_ternarylogic_epi64(low, high, next, 0x96);  // low ^ high ^ next
}

JOV_WIDE_TARGET inline __m512i Load512(const unsigned char* p) {
  return _mm512_loadu_si512(reinterpret_cast<const void*>(p));
}

// Folds runs of 256 bytes with four 64-byte accumulators, then runs of 64 bytes with one,
// and leaves the four 16-byte lanes of the last 64 bytes in `lanes` for the narrow finish.
// Returns the bytes consumed.
JOV_WIDE_TARGET std::size_t FoldWide(std::uint32_t crc, const unsigned char* p, std::size_t count,
                                     unsigned char* lanes) {
  const unsigned char* start = p;
  __m512i x0 = _mm512_xor_si512(Load512(p),
                                _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(crc))));
  __m512i x1 = Load512(p + 64);
  __m512i x2 = Load512(p + 128);
  __m512i x3 = Load512(p + 192);
  p += 256;
  count -= 256;
  // The masked broadcast (all lanes kept) starts from zero rather than an undefined value.
  const __m512i fold16 = _mm512_maskz_broadcast_i32x4(0xFFFF, Pair(kFold16Low, kFold16High));
  while (count >= 256) {
    x0 = Fold512(x0, fold16, Load512(p));
    x1 = Fold512(x1, fold16, Load512(p + 64));
    x2 = Fold512(x2, fold16, Load512(p + 128));
    x3 = Fold512(x3, fold16, Load512(p + 192));
    p += 256;
    count -= 256;
  }
  const __m512i fold4 = _mm512_maskz_broadcast_i32x4(0xFFFF, Pair(kFold4Low, kFold4High));
  x0 = Fold512(x0, fold4, x1);
  x0 = Fold512(x0, fold4, x2);
  x0 = Fold512(x0, fold4, x3);
  for (; count >= 64; p += 64, count -= 64) x0 = Fold512(x0, fold4, Load512(p));
  _mm512_storeu_si512(reinterpret_cast<void*>(lanes), x0);
  return static_cast<std::size_t>(p - start);
}

// Folds four 16-byte lanes (64 bytes at `lanes`) and the remaining 16-byte blocks into the
// 32-bit remainder.
JOV_FOLD_TARGET std::uint32_t FinishFold(const unsigned char* lanes, const unsigned char* p,
                                         std::size_t count) {
  __m128i x0 = Load(lanes);
  const __m128i fold1 = Pair(kFold1Low, kFold1High);
  x0 = Fold(x0, fold1, Load(lanes + 16));
  x0 = Fold(x0, fold1, Load(lanes + 32));
  x0 = Fold(x0, fold1, Load(lanes + 48));
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

}  // namespace

bool FoldingAvailable() {
  int known = support.load(std::memory_order_relaxed);
  if (known == kUnknown) {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    bool present =
        __get_cpuid(1, &eax, &ebx, &ecx, &edx) && (ecx & bit_PCLMUL) && (ecx & bit_SSE4_1);
    known = present ? kPresent : kAbsent;
    support.store(known, std::memory_order_relaxed);
  }
  return known == kPresent;
}

JOV_FOLD_TARGET
std::uint32_t FoldBlocks(std::uint32_t crc, const unsigned char* p, std::size_t count) {
  alignas(64) unsigned char lanes[64];
  if (count >= kWideMinimum && WideFoldingAvailable()) {
    const std::size_t done = FoldWide(crc, p, count, lanes);
    return FinishFold(lanes, p + done, count - done);
  }

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
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), x0);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 16), x1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 32), x2);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes + 48), x3);
  return FinishFold(lanes, p, count);
}

}  // namespace jov::platform
