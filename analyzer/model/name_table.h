// name_table.h - routine names ("Class.Routine", as UTF-8) interned to small numbers, so the
// reader and its sinks key their figures by a number instead of a string.
#pragma once

#include <cstdint>
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
  // The id of `name` (UTF-8), added on first sight; `hash` is its NameHash.
  NameId Intern(std::string_view name, std::uint64_t hash);
  NameId Intern(std::string_view name) { return Intern(name, NameHash(name)); }
  // The text of an id; "(unknown)" for kUnknownName.
  const std::string& Text(NameId id) const { return texts_[id]; }
  std::size_t Size() const { return texts_.size(); }

 private:
  void Grow();

  struct Slot {
    std::uint64_t hash = 0;
    NameId id = kUnknownName;  // kUnknownName: empty slot
  };
  std::deque<std::string> texts_;
  std::vector<Slot> slots_;  // open addressing, a power of two
};

}  // namespace jov::analyzer
