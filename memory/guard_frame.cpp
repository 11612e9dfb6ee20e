// guard_frame.cpp - the guard frame written around a block when JOVMemOptGuard is set, and
// its check on free: front and rear records that name each other, with fixed patterns.
#include <cstdint>
#include <cstring>

#include "memory/memory_internal.h"

namespace jov::memory {
namespace {

constexpr unsigned char kFrontPattern[16] = {0xFE, 0xFD, 0xFE, 0xFD, 0xAA, 0xBB, 0xCC, 0xDD,
                                             0xAF, 0xBF, 0xCF, 0xDF, 0xEA, 0xEB, 0xEC, 0xED};
constexpr unsigned char kRearPattern[16] = {0xEE, 0xEF, 0xFE, 0xEE, 0xDD, 0xCC, 0xBB, 0xAA,
                                            0xFD, 0xFC, 0xFB, 0xFA, 0xDE, 0xCE, 0xBE, 0xAE};

constexpr DWORD kReadableProtections = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY |
                                       PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE |
                                       PAGE_EXECUTE_WRITECOPY;

// True when all `length` bytes from `address` are committed and readable. A foreign or
// wild pointer then fails the check with the documented exception instead of faulting.
bool IsReadable(const void* address, std::size_t length) {
  auto current = reinterpret_cast<std::uintptr_t>(address);
  const std::uintptr_t end = current + length;
  if (end < current) return false;
  while (current < end) {
    MEMORY_BASIC_INFORMATION info;
    if (::VirtualQuery(reinterpret_cast<void*>(current), &info, sizeof info) == 0) return false;
    if (info.State != MEM_COMMIT || !(info.Protect & kReadableProtections) ||
        (info.Protect & (PAGE_GUARD | PAGE_NOACCESS))) {
      return false;
    }
    current = reinterpret_cast<std::uintptr_t>(info.BaseAddress) + info.RegionSize;
  }
  return true;
}

}  // namespace

void* WriteGuardFrame(void* systemBlock, std::size_t callerSize) {
  auto* bytes = static_cast<unsigned char*>(systemBlock);
  std::memset(bytes, kGuardFill, callerSize + kGuardFrameSize);
  auto* front = reinterpret_cast<GuardRecord*>(bytes);
  auto* rear = bytes + kGuardRecordSize + callerSize;
  // Records are copied in byte-wise: the rear one sits wherever the caller's size ends.
  GuardRecord record;
  record.frontRecord = front;
  record.rearRecord = rear;
  std::memcpy(record.pattern, kFrontPattern, sizeof kFrontPattern);
  std::memcpy(front, &record, sizeof record);
  std::memcpy(record.pattern, kRearPattern, sizeof kRearPattern);
  std::memcpy(rear, &record, sizeof record);
  return bytes + kGuardRecordSize;
}

// The tests run in the documented order and the first failure ends the check.
void* CheckGuardFrame(void* callerBlock) {
  auto* frontAddress = static_cast<unsigned char*>(callerBlock) - kGuardRecordSize;
  if (static_cast<unsigned char*>(callerBlock) < frontAddress) return nullptr;
  if (!IsReadable(frontAddress, kGuardRecordSize)) return nullptr;
  GuardRecord front;
  std::memcpy(&front, frontAddress, sizeof front);
  if (front.frontRecord != frontAddress) return nullptr;
  if (std::memcmp(front.pattern, kFrontPattern, sizeof kFrontPattern) != 0) return nullptr;

  auto* rearAddress = static_cast<unsigned char*>(front.rearRecord);
  // The rear record lies behind the front one; anything else is a damaged address word.
  if (rearAddress < frontAddress + kGuardRecordSize) return nullptr;
  if (!IsReadable(rearAddress, kGuardRecordSize)) return nullptr;
  GuardRecord rear;
  std::memcpy(&rear, rearAddress, sizeof rear);
  if (rear.frontRecord != frontAddress) return nullptr;
  if (rear.rearRecord != rearAddress) return nullptr;
  if (std::memcmp(rear.pattern, kRearPattern, sizeof kRearPattern) != 0) return nullptr;
  return frontAddress;
}

}  // namespace jov::memory
