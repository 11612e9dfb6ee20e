// crc32_internal.h - the CRC-32's paths: the byte table and the carry-less multiply folding
// at three register widths. Portable (no Win32 header): the native tests and benchmark
// compile these sources and call each path directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace jov::platform {

// Reflected form of the polynomial 0x04C11DB7.
constexpr std::uint32_t kPolynomial = 0xEDB88320u;

// The ways to compute the CRC, slowest first. Each folding path needs PCLMULQDQ and SSE4.1;
// the 256-bit one AVX2 and VPCLMULQDQ too, with the system saving the YMM registers; the
// 512-bit one AVX-512F and VPCLMULQDQ, with the system saving the ZMM registers.
enum class CrcPath : unsigned char { kTable, kFold128, kFold256, kFold512 };
inline constexpr CrcPath kCrcPaths[] = {CrcPath::kTable, CrcPath::kFold128, CrcPath::kFold256,
                                        CrcPath::kFold512};

// The path's name as the benchmarks print it: "table", "pclmul-128", "vpclmul-256",
// "vpclmul-512".
const char* CrcPathName(CrcPath path);

// Whether this processor and system can run `path` (CPUID and XGETBV, asked on every call).
bool CrcPathSupported(CrcPath path);

// The fastest path this processor and system can run: the widest supported.
CrcPath FastestCrcPath();

// Continues `crc` over `count` bytes (any count) by `path`: its 16-byte blocks by the path's
// folding, the rest by the table. Only for a path that CrcPathSupported accepts.
std::uint32_t CrcByPath(CrcPath path, std::uint32_t crc, const unsigned char* bytes,
                        std::size_t count);

// The folding paths proper: continue `crc` over `count` bytes, a multiple of 16 and at least
// 16. Each needs the support CrcPathSupported asks for.
std::uint32_t Fold128(std::uint32_t crc, const unsigned char* bytes, std::size_t count);
std::uint32_t Fold256(std::uint32_t crc, const unsigned char* bytes, std::size_t count);
std::uint32_t Fold512(std::uint32_t crc, const unsigned char* bytes, std::size_t count);

}  // namespace jov::platform
