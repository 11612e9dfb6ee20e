// names_internal.h - helpers shared by the path and name functions: guarded access to the
// platform's networking entries and the narrow form of a wide path.
#pragma once

#include <windows.h>

#include "JOVStrings.h"

namespace jov::names {

// The code an import thunk of this library jumps to now (the import table entry it reads),
// or `thunk` itself when it is not such a thunk. Reading the entry at every call keeps the
// library's view and its actual call target the same.
const void* FollowImportThunk(const void* thunk);

// False when `entry` is a placeholder that the platform exports for a call it does not
// implement and that ends the process when called (see platform_entries.cpp); true for any
// other non-null entry.
bool PlatformImplements(const void* entry);

// The current target of an imported platform function, or null when the platform only
// exports a placeholder for it. Callers treat null as a failed call.
template <typename Function>
Function ImplementedImport(Function imported) {
  const void* target = FollowImportThunk(reinterpret_cast<const void*>(imported));
  return PlatformImplements(target) ? reinterpret_cast<Function>(const_cast<void*>(target))
                                    : nullptr;
}

// Narrow text of a wide string for the narrow system calls outside the NT family: a
// library block of length * 2 + 1 bytes filled by wcstombs_s (same size and count) under
// the current C locale. Text the locale cannot represent converts to the empty string.
class NarrowText {
 public:
  explicit NarrowText(const JOVString& text);  // throws std::bad_alloc when no block is given
  ~NarrowText();
  NarrowText(const NarrowText&) = delete;
  NarrowText& operator=(const NarrowText&) = delete;

  const char* c_str() const { return bytes_; }

 private:
  char* bytes_ = nullptr;
};

}  // namespace jov::names
