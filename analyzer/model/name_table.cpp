// name_table.cpp - interning of routine names in an open-addressing table.
#include "analyzer/model/name_table.h"

namespace jov::analyzer {

NameTable::NameTable() : slots_(256) { texts_.emplace_back("(unknown)"); }

NameId NameTable::Intern(std::string_view name, std::uint64_t hash) {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (slot.id == kUnknownName) {
      const auto id = static_cast<NameId>(texts_.size());
      texts_.emplace_back(name);
      slot.hash = hash;
      slot.id = id;
      if (2 * texts_.size() > slots_.size()) Grow();
      return id;
    }
    if (slot.hash == hash && texts_[slot.id] == name) return slot.id;
  }
}

void NameTable::Grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& slot : old) {
    if (slot.id == kUnknownName) continue;
    std::size_t i = slot.hash & mask;
    while (slots_[i].id != kUnknownName) i = (i + 1) & mask;
    slots_[i] = slot;
  }
}

}  // namespace jov::analyzer
