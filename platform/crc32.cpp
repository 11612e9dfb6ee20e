// crc32.cpp - JOV_CRCCompute: the reflected CRC-32 by the fastest path this processor and
// system can run, chosen on the first call (platform/crc32_internal.h lists the paths).
#include "JOVPlatform.h"
#include "platform/crc32_internal.h"
#include "platform/once.h"

namespace {

jov::Once pathChosen;
jov::platform::CrcPath path = jov::platform::CrcPath::kTable;

}  // namespace

// Choice: a null pointer with a nonzero count is treated like an empty buffer (the running
// value comes back unchanged) rather than read from.
unsigned long JOV_CRCCompute(unsigned long crc, const void* bytes, unsigned long count) {
  const auto value = static_cast<std::uint32_t>(crc);
  if (count == 0 || bytes == nullptr) return value;
  pathChosen.Run([] { path = jov::platform::FastestCrcPath(); });
  return jov::platform::CrcByPath(path, value, static_cast<const unsigned char*>(bytes), count);
}
