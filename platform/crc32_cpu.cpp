// crc32_cpu.cpp - which of the CRC-32's paths this processor and system can run, and their
// names. The DLL chooses by it once; its benchmark names the path with the same code.
#include <cpuid.h>

#include "platform/crc32_internal.h"

namespace jov::platform {
namespace {

// XCR0's bits for the register state the system saves on a thread switch: SSE and AVX
// (the YMM registers' upper halves), and the three of AVX-512 (the mask registers and the
// ZMM registers' upper halves and upper sixteen).
constexpr unsigned kYmmState = 0x06;
constexpr unsigned kZmmState = 0xE6;

struct Features {
  bool pclmul = false;      // PCLMULQDQ and SSE4.1
  bool avx2 = false;        // AVX and AVX2, YMM state saved
  bool avx512 = false;      // AVX-512F, ZMM state saved
  bool vpclmulqdq = false;  // VPCLMULQDQ
};

Features AskProcessor() {
  Features f;
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return f;
  f.pclmul = (ecx & bit_PCLMUL) && (ecx & bit_SSE4_1);
  const bool avx = (ecx & bit_AVX) != 0;
  // Without OSXSAVE the system saves no extended state: XGETBV itself would fault.
  unsigned xcr0 = 0;
  if (ecx & bit_OSXSAVE) {
    unsigned xcr0High = 0;
    asm volatile("xgetbv" : "=a"(xcr0), "=d"(xcr0High) : "c"(0));
  }
  if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) return f;
  f.avx2 = avx && (ebx & bit_AVX2) && (xcr0 & kYmmState) == kYmmState;
  f.avx512 = (ebx & bit_AVX512F) && (xcr0 & kZmmState) == kZmmState;
  f.vpclmulqdq = (ecx & bit_VPCLMULQDQ) != 0;
  return f;
}

}  // namespace

const char* CrcPathName(CrcPath path) {
  switch (path) {
    case CrcPath::kFold128:
      return "pclmul-128";
    case CrcPath::kFold256:
      return "vpclmul-256";
    case CrcPath::kFold512:
      return "vpclmul-512";
    case CrcPath::kTable:
      break;
  }
  return "table";
}

bool CrcPathSupported(CrcPath path) {
  const Features f = AskProcessor();
  switch (path) {
    case CrcPath::kFold128:
      return f.pclmul;
    case CrcPath::kFold256:
      return f.pclmul && f.avx2 && f.vpclmulqdq;
    case CrcPath::kFold512:
      return f.pclmul && f.avx2 && f.avx512 && f.vpclmulqdq;  // it ends in 256-bit steps
    case CrcPath::kTable:
      break;
  }
  return true;
}

CrcPath FastestCrcPath() {
  CrcPath fastest = CrcPath::kTable;
  for (CrcPath path : kCrcPaths)
    if (CrcPathSupported(path)) fastest = path;
  return fastest;
}

}  // namespace jov::platform
