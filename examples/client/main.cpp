// main.cpp - a small client of JOVUtil32.dll: reads the DLL's version resource, asks the
// platform queries, and gets, checks and frees guarded blocks, including a damaged one.
// Exits with 0 when every answer is the expected one.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include <JOVMemory.h>
#include <JOVPlatform.h>

namespace {

int failures = 0;

void Check(bool ok, const char* what) {
  if (!ok) {
    std::printf("FAILED: %s\n", what);
    ++failures;
  }
}

// Prints the version and original file name of the JOVUtil32.dll this process loaded.
void ShowDllVersion() {
  wchar_t path[MAX_PATH] = {};
  HMODULE module = ::GetModuleHandleW(L"JOVUtil32.dll");
  DWORD handle = 0;
  DWORD size = module ? ::GetModuleFileNameW(module, path, MAX_PATH) : 0;
  size = size ? ::GetFileVersionInfoSizeW(path, &handle) : 0;
  std::vector<unsigned char> info(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  wchar_t* original = nullptr;
  UINT length = 0;
  bool ok = size != 0 && ::GetFileVersionInfoW(path, 0, size, info.data()) &&
            ::VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) &&
            ::VerQueryValueW(info.data(), L"\\StringFileInfo\\040904B0\\OriginalFilename",
                             reinterpret_cast<void**>(&original), &length);
  Check(ok, "JOVUtil32.dll carries a version resource");
  if (!ok) return;
  std::printf("JOVUtil32.dll version %u.%u.%u.%u, original name %ls\n",
              unsigned{HIWORD(fixed->dwFileVersionMS)}, unsigned{LOWORD(fixed->dwFileVersionMS)},
              unsigned{HIWORD(fixed->dwFileVersionLS)}, unsigned{LOWORD(fixed->dwFileVersionLS)},
              original);
}

void ShowPlatform() {
  std::printf("NT family: %d, Vista or later: %d, big-endian: %d\n", JOV_IsWinNT(),
              JOV_IsWinVista(), JOV_IsBigEndian());
  // The CRC applies no initial value and no final inversion: the caller does both.
  const char digits[] = "123456789";
  unsigned long crc = ~JOV_CRCCompute(0xFFFFFFFFUL, digits, 9) & 0xFFFFFFFFUL;
  std::printf("CRC-32 of \"%s\": %08lx\n", digits, crc);
  Check(crc == 0xCBF43926UL, "CRC-32 check value");
  unsigned long long first = JOV_TimerValue();
  unsigned long long second = JOV_TimerValue();
  std::printf("timer runs forward: %s\n", second >= first ? "yes" : "no");
  Check(second >= first, "timer never decreases");
}

void ShowMemory() {
  // Before the first allocation: count the bytes held and frame every block.
  JOV_MonitorMemory = 1;
  unsigned long defined = JOV_MemoryDefine(JOVMemAllocMalloc, 0, JOVMemOptGuard);
  Check(defined == 0, "JOV_MemoryDefine returns 0");

  void* raw = JOV_MemoryGet(64, JOVMemOptZeroFill, __FILE__, __LINE__);
  auto* block = static_cast<unsigned char*>(raw);
  Check(block != nullptr, "JOV_MemoryGet gives a block");
  if (!block) return;
  bool zeroed = true;
  for (int i = 0; i < 64; ++i) zeroed = zeroed && block[i] == 0;
  unsigned long long held = JOV_PoolMemBusy;
  std::printf("64-byte block: zero-filled %s, %llu bytes held with its guard frame\n",
              zeroed ? "yes" : "no", held);
  Check(zeroed && held > 64, "zero-filled block counted with its frame");

  // Overwrite the first byte behind the block: the rear guard record.
  block[64] ^= 0xFF;
  long thrown = 0;
  try {
    JOV_MemoryFree(block);
  } catch (long code) {
    thrown = code;
  }
  std::printf("damaged guard frame: caught long %ld\n", thrown);
  Check(thrown == 9, "a damaged frame throws long 9 into the client");

  // The block stayed allocated: repair the frame and free it for real.
  block[64] ^= 0xFF;
  unsigned long freed = JOV_MemoryFree(block);
  std::printf("repaired block freed: %lu, %llu bytes held\n", freed, JOV_PoolMemBusy);
  Check(freed == 0 && JOV_PoolMemBusy == 0, "repaired block freed and uncounted");
}

}  // namespace

int main() {
  ShowDllVersion();
  ShowPlatform();
  ShowMemory();
  std::printf("%s\n", failures == 0 ? "client: all checks passed" : "client: checks failed");
  return failures == 0 ? 0 : 1;
}
