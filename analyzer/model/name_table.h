// name_table.h - routine names ("Class.Routine", as UTF-8) interned to small numbers, so the
// reader and its sinks key their figures by a number instead of a string.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "analyzer/model/trace_model.h"

namespace jov::analyzer {

class NameTable {
 public:
  NameTable();
  // The id of `name` (as it stands in the trace, narrow), added on first sight.
  NameId Intern(std::string_view name);
  // The UTF-8 text of an id; "(unknown)" for kUnknownName.
  const std::string& Text(NameId id) const { return texts_[id]; }
  // The name as it stands in the trace.
  const std::string& Raw(NameId id) const { return raw_[id]; }
  std::size_t Size() const { return texts_.size(); }

 private:
  void Grow();

  struct Slot {
    std::uint64_t hash = 0;
    NameId id = kUnknownName;  // kUnknownName: empty slot
  };
  std::deque<std::string> raw_;    // the names as read, which the slots compare against
  std::deque<std::string> texts_;  // the same as UTF-8
  std::vector<Slot> slots_;        // open addressing, a power of two
};

}  // namespace jov::analyzer
