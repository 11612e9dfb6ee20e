// names_platform.cpp - the C interface's file and directory tests, path forms, user and
// computer names, and the platform queries (release tests, timer, CRC-32).
#include "JOVNames.h"
#include "JOVPlatform.h"
#include "capi/capi_internal.h"

using jov::capi::CopyOut;
using jov::capi::LengthShell;

namespace {

// The test's Win32 code, or 8 (ERROR_NOT_ENOUGH_MEMORY) when the path's copy cannot be had.
template <typename Test>
std::uint32_t PathTest(const wchar_t* path, Test test) noexcept {
  try {
    return static_cast<std::uint32_t>(test(JOVString(path != nullptr ? path : L"")));
  } catch (...) {
    return 8;
  }
}

}  // namespace

extern "C" {

uint32_t JOVC_CALL jovc_test_file(const wchar_t* path) {
  return PathTest(path, [](const JOVString& p) { return JOV_TestFileExists(p); });
}

uint32_t JOVC_CALL jovc_test_directory(const wchar_t* path) {
  return PathTest(path, [](const JOVString& p) { return JOV_TestDirExists(p); });
}

int32_t JOVC_CALL jovc_unc_path(const wchar_t* path, wchar_t* buffer, uint32_t capacity) {
  if (path == nullptr) return -JOVC_ERR_NULL;
  return LengthShell([&] { return CopyOut(JOV_GetUNCPath(JOVString(path)), buffer, capacity); });
}

int32_t JOVC_CALL jovc_long_path(const wchar_t* path, int32_t resolveDfs, wchar_t* buffer,
                                 uint32_t capacity) {
  if (path == nullptr) return -JOVC_ERR_NULL;
  return LengthShell(
      [&] { return CopyOut(JOV_InternalPath(JOVString(path), resolveDfs), buffer, capacity); });
}

int32_t JOVC_CALL jovc_logon_id(wchar_t* buffer, uint32_t capacity) {
  return LengthShell([&] { return CopyOut(JOV_GetLogonId(), buffer, capacity); });
}

int32_t JOVC_CALL jovc_computer_name(wchar_t* buffer, uint32_t capacity) {
  return LengthShell([&] { return CopyOut(JOV_GetComputerName(), buffer, capacity); });
}

int32_t JOVC_CALL jovc_is_windows(int32_t release) {
  switch (release) {
    case JOVC_WIN_NT:
      return JOV_IsWinNT();
    case JOVC_WIN_2000:
      return JOV_IsWin2K();
    case JOVC_WIN_XP:
      return JOV_IsWinXP();
    case JOVC_WIN_2003:
      return JOV_IsWin2003();
    case JOVC_WIN_VISTA:
      return JOV_IsWinVista();
    case JOVC_WIN_2008:
      return JOV_IsWin2008();
    case JOVC_WIN_7_OR_2008R2:
      return JOV_IsWin7Or2008R2();
    default:
      return 0;
  }
}

uint64_t JOVC_CALL jovc_timer_value(void) { return JOV_TimerValue(); }

uint32_t JOVC_CALL jovc_crc32(uint32_t crc, const void* bytes, uint32_t count) {
  return JOV_CRCCompute(crc, bytes, count);
}

}  // extern "C"
