// narrow_text.cpp - the narrow copy of a path or drive name that the narrow system calls
// outside the NT family are given.
#include <cstdlib>
#include <new>

#include "JOVMemory.h"
#include "names/names_internal.h"

namespace jov::names {

NarrowText::NarrowText(const JOVString& text) {
  // Two bytes per character cover every double-byte code page, plus the terminator.
  const std::size_t size = static_cast<std::size_t>(text.length()) * 2 + 1;
  bytes_ = static_cast<char*>(JOV_MemoryGet(static_cast<unsigned long>(size), 0, nullptr, 0));
  if (!bytes_) throw std::bad_alloc();
  bytes_[0] = '\0';
  std::size_t converted = 0;
  // A character the locale cannot represent fails the conversion, which leaves "" behind.
  if (::wcstombs_s(&converted, bytes_, size, text.c_str(), size) != 0) bytes_[0] = '\0';
}

NarrowText::~NarrowText() { JOV_MemoryFree(bytes_); }

}  // namespace jov::names
