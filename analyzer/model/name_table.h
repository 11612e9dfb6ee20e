// name_table.h - routine names ("Class.Routine", as UTF-8) interned to small numbers, so the
// reader and its sinks key their figures by a number instead of a string.
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/model/trace_model.h"
#include "analyzer/parse/parsed_block.h"

namespace jov::analyzer {

class NameTable {
 public:
  NameTable();
  // The id of `name` (UTF-8), added on first sight; `hash` is its NameHash. Inline: the reader
  // asks once per Push and Pop line.
  NameId Intern(std::string_view name, std::uint64_t hash) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.id == kUnknownName) return Add(name, hash, i);
      if (slot.hash == hash && slot.size == name.size() &&
          SameBytes(slot.text, name.data(), name.size()))
        return slot.id;
    }
  }
  NameId Intern(std::string_view name) { return Intern(name, NameHash(name)); }
  // The text of an id; "(unknown)" for kUnknownName.
  const std::string& Text(NameId id) const { return texts_[id]; }
  std::size_t Size() const { return texts_.size(); }

 private:
  NameId Add(std::string_view name, std::uint64_t hash, std::size_t slot);
  void Grow();
  // Names are short: compared eight bytes at a time rather than through a call.
  static bool SameBytes(const char* a, const char* b, std::size_t size) {
    for (; size >= 8; size -= 8, a += 8, b += 8) {
      std::uint64_t x, y;
      std::memcpy(&x, a, 8);
      std::memcpy(&y, b, 8);
      if (x != y) return false;
    }
    for (; size != 0; --size)
      if (*a++ != *b++) return false;
    return true;
  }

  struct Slot {
    std::uint64_t hash = 0;
    const char* text = nullptr;  // the name's text in texts_, which never moves
    std::uint32_t size = 0;
    NameId id = kUnknownName;  // kUnknownName: empty slot
  };
  std::deque<std::string> texts_;
  std::vector<Slot> slots_;  // open addressing, a power of two
};

}  // namespace jov::analyzer
